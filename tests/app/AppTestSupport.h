#pragma once
// A recording stand-in for the dialogs, a settings store of each test's own,
// and the window built on both over a scratch folder.

#include "AppSettings.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Form1.h"
#include "TempTree.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using Texts = std::vector<std::string>;

struct RecordedBox {
    std::string Text, Caption;
    MsgButtons Buttons = MsgButtons::OK;
    MsgIcon Icon = MsgIcon::None;
    bool operator==(const RecordedBox&) const = default;
};
inline void PrintTo(const RecordedBox& box, std::ostream* out) {
    *out << "{\"" << box.Text << "\", \"" << box.Caption << "\", buttons " << int(box.Buttons)
         << ", icon " << int(box.Icon) << "}";
}
// The error report of a step of one of the window's handlers.
inline RecordedBox ErrorBox(const std::string& description, const char* procedure, int32_t step) {
    return {ErrorReportText(description, LocationString("Form1", procedure), step),
            "Application Error", MsgButtons::OK, MsgIcon::Exclamation};
}

// folder + "/" + each name.
inline Texts PathsIn(const std::string& folder, const Texts& names) {
    Texts paths;
    for (const std::string& name : names) paths.push_back(folder + "/" + name);
    return paths;
}

class FakeDialogs final : public cDialogs {
public:
    std::vector<RecordedBox> Boxes;
    std::function<void(const RecordedBox&)> OnBox;  // runs while the box "is shown"
    MsgAnswer Answer = MsgAnswer::OK;               // to Yes/No questions
    std::optional<std::string> InputAnswer;         // nullopt: Cancel
    std::string FolderAnswer;                       // empty: Cancel
    Texts OpenFilesAnswer;                          // empty: Cancel
    bool FolderOpens = true;                        // whether a file manager starts
    // What each prompt, folder chooser and open dialog was asked; what was opened.
    std::vector<Texts> Inputs, Folders, OpenFiles;
    Texts OpenedUrls, OpenedFolders;

    MsgAnswer MsgBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                     MsgIcon icon) override {
        Boxes.push_back({text, caption, buttons, icon});
        if (OnBox) OnBox(Boxes.back());
        return buttons == MsgButtons::OK ? MsgAnswer::OK : Answer;
    }
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        Inputs.push_back({prompt, title, defaultText});
        return InputAnswer;
    }
    std::string BrowseForFolder(const std::string& title, const std::string& start) override {
        Folders.push_back({title, start});
        return FolderAnswer;
    }
    Texts GetOpenFileNames(const std::string& title, const std::string& filter) override {
        OpenFiles.push_back({title, filter});
        return OpenFilesAnswer;
    }
    void OpenUrl(const std::string& url) override { OpenedUrls.push_back(url); }
    bool OpenFolder(const std::string& path) override {
        OpenedFolders.push_back(path);
        return FolderOpens;
    }

    Texts BoxTexts() const {
        Texts texts;
        for (const RecordedBox& box : Boxes) texts.push_back(box.Text);
        return texts;
    }
};

// Every test gets an empty settings store of its own.
class SettingsFixture : public ::testing::Test {
protected:
    TempTree store;

    void SetUp() override {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.Root().c_str());
    }
    std::string StoreFileText() const {
        QFile file(store.Path("Vantrope.ini").c_str());
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    bool Stored(const std::string& line) const {
        return StoreFileText().find(line) != std::string::npos;
    }
    void WriteStoreFile(const std::string& text) { store.File("Vantrope.ini", 0644, text); }
};

// A loaded window on screen over the fake dialogs (the home page never opens
// unless a test asks), and a scratch folder for the files it works on.
class WindowFixture : public SettingsFixture {
protected:
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;
    TempTree tree;

    void SetUp() override {
        SettingsFixture::SetUp();
        form = MakeForm();
        form->show();
        QApplication::processEvents();
    }
    // programFolder: where the optional files are looked for ("": the program's own).
    std::unique_ptr<Form1> MakeForm(int32_t randomPercent = 1,
                                    const std::string& programFolder = {}) {
        auto made = std::make_unique<Form1>(dialogs);
        made->RandomPercent = [randomPercent] { return randomPercent; };
        if (!programFolder.empty()) made->ProgramPath = programFolder;
        made->Form_Load();
        return made;
    }

    QTreeWidget& List() const { return *form->ListView1; }
    Texts ListTexts() const {
        Texts texts;
        for (int32_t i = 1; i <= form->ListItemCount(); ++i) texts.push_back(form->ListItemText(i));
        return texts;
    }
    void Select(int row) { List().setCurrentItem(List().topLevelItem(row - 1)); }  // 1-based
};

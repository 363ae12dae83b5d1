#pragma once
// A recording stand-in for the dialogs, a settings store in a temporary
// folder, and a window built on both.

#include "AppSettings.h"
#include "Dialogs.h"
#include "Form1.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct RecordedBox {
    std::string Text;
    std::string Caption;
    MsgButtons Buttons;
    MsgIcon Icon;
};

class FakeDialogs final : public cDialogs {
public:
    std::vector<RecordedBox> Boxes;
    std::function<void(const RecordedBox&)> OnBox;  // runs while the box "is shown"
    MsgAnswer Answer = MsgAnswer::OK;

    // The extension prompt: what was asked, and the answer (nullopt: Cancel).
    std::optional<std::string> InputAnswer;
    std::vector<std::string> InputPrompts;
    std::vector<std::string> InputTitles;
    std::vector<std::string> InputDefaults;

    // The open dialog: what was asked, and the chosen paths (empty: Cancel).
    std::vector<std::string> OpenFilesAnswer;
    std::vector<std::string> OpenFilesTitles;
    std::vector<std::string> OpenFilesFilters;

    std::string FolderAnswer;
    std::vector<std::string> FolderStarts;
    std::vector<std::string> FolderTitles;
    std::vector<std::string> OpenedUrls;
    std::vector<std::string> OpenedFolders;

    MsgAnswer MsgBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                     MsgIcon icon) override {
        Boxes.push_back({text, caption, buttons, icon});
        if (OnBox) OnBox(Boxes.back());
        return buttons == MsgButtons::OK ? MsgAnswer::OK : Answer;
    }
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        InputPrompts.push_back(prompt);
        InputTitles.push_back(title);
        InputDefaults.push_back(defaultText);
        return InputAnswer;
    }
    std::string BrowseForFolder(const std::string& title, const std::string& start) override {
        FolderTitles.push_back(title);
        FolderStarts.push_back(start);
        return FolderAnswer;
    }
    std::vector<std::string> GetOpenFileNames(const std::string& title, const std::string& filter) override {
        OpenFilesTitles.push_back(title);
        OpenFilesFilters.push_back(filter);
        return OpenFilesAnswer;
    }
    void OpenUrl(const std::string& url) override { OpenedUrls.push_back(url); }
    void OpenFolder(const std::string& path) override { OpenedFolders.push_back(path); }
};

// Every test gets an empty settings store of its own.
class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store_.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store_.path());
    }

    // The store's file as text, for checking the stored form of values.
    std::string StoreFileText() const {
        QFile file(store_.filePath("Vantrope.ini"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll().toStdString();
    }
    void WriteStoreFile(const std::string& text) {
        QFile file(store_.filePath("Vantrope.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.c_str());
    }
    std::string StorePath() const { return store_.path().toStdString(); }

private:
    QTemporaryDir store_;
};

// A loaded window over the fake dialogs; the home page never opens unless a test asks.
class WindowFixture : public SettingsFixture {
protected:
    FakeDialogs dialogs;
    std::unique_ptr<Form1> form;

    void SetUp() override {
        SettingsFixture::SetUp();
        form = MakeForm();
    }
    std::unique_ptr<Form1> MakeForm() {
        auto f = std::make_unique<Form1>(dialogs);
        f->RandomPercent = [] { return 1; };
        f->Form_Load();
        return f;
    }
};

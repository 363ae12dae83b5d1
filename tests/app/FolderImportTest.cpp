// "Add All BMP File(s) In Folder": the extension prompt and the folder
// chooser with their settings, the pattern made from the typed extension,
// the busy state, and cancelling at each step.

#include "AppTestSupport.h"

#include <QTimer>

class FolderImport : public WindowFixture {
protected:
    std::string root;

    void SetUp() override {
        WindowFixture::SetUp();
        root = tree.Folder("pics");
        for (const char* name : {"a.bmp", "B.BMP", "notes.txt", "noext", "~temp.bmp", "sub/c.bmp"})
            tree.File(std::string("pics/") + name);
    }
    void Import(const std::optional<std::string>& extension, const std::string& folder) {
        dialogs.InputAnswer = extension;
        dialogs.FolderAnswer = folder;
        form->PushButton3->click();
    }
};

TEST_F(FolderImport, PromptChooserAndSettingsAtEachCancel) {
    cSettings::SetText(Setting::LastFolder, "/var");
    const std::string before = StoreFileText();
    Import(std::nullopt, root);  // cancelled at the prompt
    Import("", root);            // OK with nothing typed
    EXPECT_EQ(StoreFileText(), before);
    EXPECT_TRUE(dialogs.Folders.empty());

    cSettings::SetText(Setting::Extension, "jpg");
    Import("png", "");  // cancelled at the folder: the new extension stays, and the old folder
    const std::string prompt =
        "Enter file extension to load:\r\r(* for all files, txt for all txt "
        "files, doc for all doc files, etc.)";
    EXPECT_EQ(dialogs.Inputs, (std::vector<Texts>{{prompt, "Pixolune", "bmp"},
                                                  {prompt, "Pixolune", "bmp"},
                                                  {prompt, "Pixolune", "jpg"}}));
    EXPECT_EQ(dialogs.Folders, (std::vector<Texts>{{"Please select folder:", "/var"}}));
    EXPECT_EQ(cSettings::Text(Setting::Extension), "png");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "/var");
    EXPECT_TRUE(ListTexts().empty());
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
}

TEST_F(FolderImport, ThePatternIsTheTypedExtensionWithoutRegardToCase) {
    const std::pair<const char*, Texts> cases[] = {
        {"BMP", {"B.BMP", "a.bmp", "sub/c.bmp"}},
        {"*", {"B.BMP", "a.bmp", "noext", "notes.txt", "sub/c.bmp"}},  // also names without a dot
        {".bmp", {}},                                                  // "*..bmp" matches nothing
    };
    for (const auto& [extension, names] : cases) {
        form->PushButton7_Click();
        Import(std::string(extension), root);
        EXPECT_EQ(ListTexts(), PathsIn(root, names)) << extension;
        EXPECT_EQ(cSettings::Text(Setting::Extension), extension);
        EXPECT_EQ(cSettings::Text(Setting::LastFolder), root);
    }
    EXPECT_TRUE(dialogs.Boxes.empty());  // not even for an empty result
}

TEST_F(FolderImport, TwiceListsTwiceAndAChosenSeparatorIsNotDoubled) {
    Import("txt", root);
    Import("txt", root + "/");
    EXPECT_EQ(ListTexts(), PathsIn(root, {"notes.txt", "notes.txt"}));
}

TEST_F(FolderImport, BusyForTheWholeImport) {
    for (int i = 0; i < 3; ++i) tree.File("pics/more" + std::to_string(i) + "/d.bmp");
    form->AppendListItem("/kept.bmp");
    Select(1);
    bool busyDuringWalk = false;
    QTimer::singleShot(0, form.get(), [&] {
        busyDuringWalk = form->IsBusy() && form->cursor().shape() == Qt::WaitCursor;
        form->PushButton7_Click();  // held back while busy
        form->ListView1_KeyDown(Qt::Key_Delete);
    });
    Import("bmp", root);
    EXPECT_TRUE(busyDuringWalk);
    EXPECT_EQ(form->ListItemText(1), "/kept.bmp");
    EXPECT_EQ(form->ListItemCount(), 1 + 6);
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    EXPECT_FALSE(form->IsBusy());
}

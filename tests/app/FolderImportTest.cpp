// "Add All BMP File(s) In Folder": the extension prompt and the folder
// chooser with their settings, the pattern made from the typed extension,
// the busy state, and cancelling at each step.

#include "ErrorReport.h"
#include "ListTestSupport.h"

#include <QTimer>

namespace {

const std::string kPrompt =
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)";

}  // namespace

class FolderImport : public ListFixture {
protected:
    FolderTree tree;
    std::string root;

    void SetUp() override {
        ListFixture::SetUp();
        root = tree.Folder("pics");
        tree.File("pics/a.bmp");
        tree.File("pics/B.BMP");
        tree.File("pics/notes.txt");
        tree.File("pics/noext");
        tree.File("pics/~temp.bmp");
        tree.File("pics/sub/c.bmp");
    }
    void Import(const std::string& extension) {
        dialogs.InputAnswer = extension;
        dialogs.FolderAnswer = root;
        form->PushButton3_Click();
    }
};

TEST_F(FolderImport, PromptCaptionAndDefaults) {
    form->PushButton3->click();  // cancelled at the prompt
    ASSERT_EQ(dialogs.InputPrompts.size(), 1u);
    EXPECT_EQ(dialogs.InputPrompts[0], kPrompt);
    EXPECT_EQ(dialogs.InputTitles[0], "Pixolune");
    EXPECT_EQ(dialogs.InputDefaults[0], "bmp");

    cSettings::SetText(Setting::Extension, "jpg");
    cSettings::SetText(Setting::LastFolder, "/var");
    dialogs.InputAnswer = "png";
    form->PushButton3_Click();
    EXPECT_EQ(dialogs.InputDefaults[1], "jpg");
    ASSERT_EQ(dialogs.FolderTitles.size(), 1u);
    EXPECT_EQ(dialogs.FolderTitles[0], "Please select folder:");
    EXPECT_EQ(dialogs.FolderStarts[0], "/var");
}

TEST_F(FolderImport, ExtensionMatchesWithoutRegardToCase) {
    Import("BMP");
    EXPECT_EQ(Texts(), (std::vector<std::string>{root + "/B.BMP", root + "/a.bmp", root + "/sub/c.bmp"}));
    EXPECT_EQ(cSettings::Text(Setting::Extension), "BMP");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), root);
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(FolderImport, StarListsEveryFileAlsoWithoutADot) {
    Import("*");
    EXPECT_EQ(Texts(), (std::vector<std::string>{root + "/B.BMP", root + "/a.bmp", root + "/noext", root + "/notes.txt",
                                                 root + "/sub/c.bmp"}));
}

TEST_F(FolderImport, ALeadingDotMatchesNothing) {
    Import(".bmp");  // "*..bmp"
    EXPECT_TRUE(Texts().empty());
    EXPECT_TRUE(dialogs.Boxes.empty());  // no message for an empty result
    EXPECT_EQ(cSettings::Text(Setting::Extension), ".bmp");
}

TEST_F(FolderImport, ImportingTwiceListsTwice) {
    Import("txt");
    Import("txt");
    EXPECT_EQ(Texts(), (std::vector<std::string>{root + "/notes.txt", root + "/notes.txt"}));
}

TEST_F(FolderImport, TheRootChosenGivesSingleSeparators) {
    dialogs.FolderAnswer = root + "/";  // a chooser answer that keeps its separator
    dialogs.InputAnswer = "txt";
    form->PushButton3_Click();
    EXPECT_EQ(Texts(), (std::vector<std::string>{root + "/notes.txt"}));
}

TEST_F(FolderImport, CancellingThePromptChangesNoSetting) {
    cSettings::SetText(Setting::LastFolder, "/var");
    const std::string before = StoreFileText();
    dialogs.InputAnswer = std::nullopt;
    form->PushButton3_Click();
    dialogs.InputAnswer = "";  // OK with nothing typed
    form->PushButton3_Click();
    EXPECT_EQ(StoreFileText(), before);
    EXPECT_TRUE(dialogs.FolderTitles.empty());
    EXPECT_TRUE(Texts().empty());
}

TEST_F(FolderImport, CancellingTheFolderKeepsTheNewExtensionAndTheOldFolder) {
    cSettings::SetText(Setting::LastFolder, "/var");
    dialogs.InputAnswer = "txt";
    dialogs.FolderAnswer = "";
    form->PushButton3_Click();
    EXPECT_EQ(cSettings::Text(Setting::Extension), "txt");
    EXPECT_EQ(cSettings::Text(Setting::LastFolder), "/var");
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
}

TEST_F(FolderImport, BusyForTheWholeImport) {
    for (int i = 0; i < 3; ++i) tree.File("pics/more" + std::to_string(i) + "/d.bmp");
    Fill({"/kept.bmp"});
    Select(1);
    bool busyDuringWalk = false;
    QTimer::singleShot(0, form.get(), [&] {
        busyDuringWalk = form->IsBusy() && form->cursor().shape() == Qt::WaitCursor;
        form->PushButton7_Click();  // held back while busy
        form->ListView1_KeyDown(Qt::Key_Delete);
    });
    Import("bmp");
    EXPECT_TRUE(busyDuringWalk);
    EXPECT_EQ(form->ListItemText(1), "/kept.bmp");
    EXPECT_EQ(form->ListItemCount(), 1 + 6);
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    EXPECT_FALSE(form->IsBusy());
}

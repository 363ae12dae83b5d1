// "Load Sample/Example Files": the files of the Samples folder beside the
// program, once each, and the offer to open that folder.

#include "AppTestSupport.h"
#include "MainUtilities.h"
#include "SampleFiles.h"

class SampleFiles : public WindowFixture {
protected:
    const RecordedBox question{
        "Would you like this software to open the folder where these "
        "sample files are stored (so that you can view them before "
        "working with them)?",
        "Pixolune", MsgButtons::YesNo, MsgIcon::None};
    // The scratch folder stands for the program's folder.
    void Load() { LoadSampleFiles(List(), dialogs, tree.Root()); }
};

TEST_F(SampleFiles, AppendsEachSampleOnceAndAlwaysAsks) {
    form->AppendListItem("/elsewhere/x.bmp");
    dialogs.Answer = MsgAnswer::No;
    Load();  // no Samples folder
    tree.Folder("Samples");
    Load();  // an empty one
    EXPECT_EQ(ListTexts(), Texts{"/elsewhere/x.bmp"});

    const std::string d = tree.File("Samples/d.bmp");
    const std::string b = tree.File("Samples/b.bmp");
    const std::string a = tree.File("Samples/a.png");
    tree.File("Samples/nested/c.bmp");  // only the folder itself
    form->AppendListItem(b);            // listed before: stays where it is, once
    Load();
    EXPECT_EQ(ListTexts(), (Texts{"/elsewhere/x.bmp", b, a, d}));  // in folder-listing order
    Load();                                                        // nothing new
    EXPECT_EQ(ListTexts().size(), 4u);
    EXPECT_EQ(dialogs.Boxes, std::vector<RecordedBox>(4, question));
    EXPECT_TRUE(dialogs.OpenedFolders.empty());

    dialogs.Answer = MsgAnswer::Yes;
    Load();
    EXPECT_EQ(dialogs.OpenedFolders, Texts{tree.Path("Samples")});
    EXPECT_EQ(dialogs.Boxes.size(), 5u);  // opened: nothing more to say

    dialogs.FolderOpens = false;
    Load();
    EXPECT_EQ(dialogs.Boxes.back(),
              (RecordedBox{
                  "No file manager could be started to open this folder:\r" + tree.Path("Samples"),
                  "Pixolune", MsgButtons::OK, MsgIcon::None}));
    EXPECT_EQ(dialogs.Boxes.size(), 7u);
}

TEST_F(SampleFiles, TheButtonUsesTheFolderBesideTheProgram) {
    dialogs.Answer = MsgAnswer::Yes;
    form->PushButton8->click();
    EXPECT_EQ(dialogs.Boxes, std::vector{question});
    EXPECT_EQ(dialogs.OpenedFolders, Texts{ProgramFolder() + "/Samples"});
    for (const std::string& path : ListTexts())
        EXPECT_TRUE(path.starts_with(ProgramFolder() + "/Samples/")) << path;
}

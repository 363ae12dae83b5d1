// "Load Sample/Example Files": the files of the Samples folder beside the
// program, once each, and the offer to open that folder.

#include "ErrorReport.h"
#include "ListTestSupport.h"
#include "MainUtilities.h"
#include "SampleFiles.h"

namespace {

const std::string kQuestion =
    "Would you like this software to open the folder where these sample files are stored (so that you can "
    "view them before working with them)?";

}  // namespace

class SampleFiles : public ListFixture {
protected:
    FolderTree program;  // stands for the program's folder
    void Load() { LoadSampleFiles(List(), dialogs, program.Root()); }
};

TEST_F(SampleFiles, AppendsEachSampleOnceAndAlwaysAsks) {
    const std::string b = program.File("Samples/b.bmp");
    const std::string a = program.File("Samples/a.png");
    program.File("Samples/nested/c.bmp");  // only the folder itself
    Fill({"/elsewhere/x.bmp"});
    dialogs.Answer = MsgAnswer::No;

    Load();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"/elsewhere/x.bmp", a, b}));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, kQuestion);
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Pixolune");
    EXPECT_EQ(dialogs.Boxes[0].Buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.Boxes[0].Icon, MsgIcon::None);

    Load();  // nothing new, still asks
    EXPECT_EQ(Texts().size(), 3u);
    EXPECT_EQ(dialogs.Boxes.size(), 2u);
    EXPECT_EQ(dialogs.Boxes[1].Text, kQuestion);
    EXPECT_TRUE(dialogs.OpenedFolders.empty());
}

TEST_F(SampleFiles, SamplesListedBeforeStayAndTheRestArrive) {
    const std::string a = program.File("Samples/a.bmp");
    const std::string b = program.File("Samples/b.bmp");
    form->AppendListItem(b);
    form->AppendListItem(b);
    Load();
    EXPECT_EQ(Texts(), (std::vector<std::string>{b, b, a}));
}

TEST_F(SampleFiles, MissingOrEmptyFolderAppendsNothingButStillAsks) {
    Load();
    program.Folder("Samples");
    Load();
    EXPECT_TRUE(Texts().empty());
    ASSERT_EQ(dialogs.Boxes.size(), 2u);
    EXPECT_EQ(dialogs.Boxes[0].Text, kQuestion);
    EXPECT_EQ(dialogs.Boxes[1].Text, kQuestion);
}

TEST_F(SampleFiles, YesOpensTheSampleFolder) {
    program.File("Samples/a.bmp");
    dialogs.Answer = MsgAnswer::Yes;
    Load();
    EXPECT_EQ(dialogs.OpenedFolders, (std::vector<std::string>{program.Path("Samples")}));
}

// The button loads the Samples folder beside the program itself.
TEST_F(SampleFiles, TheButtonUsesTheFolderBesideTheProgram) {
    dialogs.Answer = MsgAnswer::Yes;
    form->PushButton8->click();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, kQuestion);
    EXPECT_EQ(dialogs.OpenedFolders, (std::vector<std::string>{ProgramFolder() + "/Samples"}));
    for (const std::string& path : Texts()) EXPECT_EQ(path.rfind(ProgramFolder() + "/Samples/", 0), 0u) << path;
}

// Dropping files and folders on the list: which drags are taken, what a
// dropped file or folder tree adds, and in which order.

#include "ListTestSupport.h"

#include <QFile>

using FileDrop = ListFixture;

TEST_F(FileDrop, DragsWithoutLocalFilesAreRefused) {
    QMimeData text;
    text.setText("/tmp/a.bmp");
    EXPECT_FALSE(DragEnters(text));

    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/a.bmp")});
    EXPECT_FALSE(DragEnters(remote));

    QMimeData files;
    files.setUrls({QUrl("https://example.org/a.bmp"), QUrl::fromLocalFile("/tmp/a.bmp")});
    EXPECT_TRUE(DragEnters(files));
}

TEST_F(FileDrop, AFileIsCopiedNeverMoved) {
    FolderTree tree;
    EXPECT_EQ(Drop({tree.File("a.bmp")}), Qt::CopyAction);  // the source keeps its file
    EXPECT_TRUE(QFile::exists(QString::fromStdString(tree.Path("a.bmp"))));
}

TEST_F(FileDrop, FilesAreAppendedAsGivenWhateverTheirType) {
    FolderTree tree;
    Fill({"/already.bmp"});
    const std::string text = tree.File("notes.txt");
    const std::string missing = tree.Path("gone.bmp");  // cannot be examined: taken as given
    Drop({text, missing, text});
    EXPECT_EQ(Texts(), (std::vector<std::string>{"/already.bmp", text, missing, text}));
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(FileDrop, AFolderAddsEveryFileOfItsTreeLevelByLevel) {
    FolderTree tree;
    const std::string root = tree.Folder("drop");
    tree.File("drop/b.txt");
    tree.File("drop/a.bmp");
    tree.File("drop/README");
    tree.File("drop/~lock.bmp");        // skipped: tilde
    tree.File("drop/.hidden.bmp");      // skipped: hidden + archive
    tree.File("drop/A/deep/x.png");
    tree.File("drop/A/one.jpg");
    tree.File("drop/B/two.bmp");
    const std::string readOnlyHidden = tree.File("drop/.kept.bmp");  // hidden + read-only + archive
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(readOnlyHidden), QFile::ReadOwner | QFile::ReadGroup));

    Drop({root});
    EXPECT_EQ(Texts(), (std::vector<std::string>{root + "/.kept.bmp", root + "/README", root + "/a.bmp",
                                                 root + "/b.txt", root + "/A/one.jpg", root + "/B/two.bmp",
                                                 root + "/A/deep/x.png"}));
    EXPECT_FALSE(form->IsBusy());  // a drop does not make the window busy
}

TEST_F(FileDrop, TwoFoldersInOneDropFirstTreeFirst) {
    FolderTree tree;
    const std::string second = tree.Folder("second");
    const std::string first = tree.Folder("first");
    tree.File("second/s.bmp");
    tree.File("second/sub/t.bmp");
    tree.File("first/f.bmp");
    tree.File("first/sub/g.bmp");
    const std::string single = tree.File("single.bmp");

    Drop({second, single, first});
    EXPECT_EQ(Texts(), (std::vector<std::string>{second + "/s.bmp", second + "/sub/t.bmp", single, first + "/f.bmp",
                                                 first + "/sub/g.bmp"}));
}

TEST_F(FileDrop, AFolderDroppedWithATrailingSeparatorGivesCleanPaths) {
    FolderTree tree;
    const std::string folder = tree.Folder("f");
    tree.File("f/a.bmp");
    Drop({folder + "/"});
    EXPECT_EQ(Texts(), (std::vector<std::string>{folder + "/a.bmp"}));
}

TEST_F(FileDrop, AnEmptyFolderAddsNothingAndSaysNothing) {
    FolderTree tree;
    Drop({tree.Folder("empty/inner")});
    EXPECT_TRUE(Texts().empty());
    EXPECT_TRUE(dialogs.Boxes.empty());
}

// The walk lets events run: a button pressed meanwhile is handled at once.
TEST_F(FileDrop, TheWindowStaysResponsiveDuringTheWalk) {
    FolderTree tree;
    for (int i = 0; i < 5; ++i) tree.File("tree/sub" + std::to_string(i) + "/a.bmp");
    bool clearedDuringWalk = false;
    form->AppendListItem("old.bmp");
    QTimer::singleShot(0, form.get(), [&] {
        form->PushButton7->click();  // removal is not held back by a drop
        clearedDuringWalk = form->ListItemCount() == 0;
    });
    form->ListView1_OLEDragDrop({tree.Path("tree")});
    EXPECT_TRUE(clearedDuringWalk);
    EXPECT_EQ(Texts().size(), 5u);
}

TEST_F(FileDrop, ClosingTheWindowStopsTheWalk) {
    FolderTree tree;
    for (int i = 0; i < 5; ++i) tree.File("tree/sub" + std::to_string(i) + "/a.bmp");
    QTimer::singleShot(0, form.get(), [&] { form->close(); });
    form->ListView1_OLEDragDrop({tree.Path("tree"), tree.File("later.bmp")});
    EXPECT_TRUE(form->IsUnloaded());
    EXPECT_TRUE(Texts().empty());
}

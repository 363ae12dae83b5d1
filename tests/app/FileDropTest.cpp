// Dropping files and folders on the list: which drags are taken, what a
// dropped file or folder tree adds, and in which order.

#include "AppTestSupport.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <filesystem>

class FileDrop : public WindowFixture {
protected:
    // A drag entering the list; true when the list would take it.
    bool DragEnters(const QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.accept();  // the list has to refuse it itself
        QApplication::sendEvent(List().viewport(), &enter);
        return enter.isAccepted();
    }
    // Drops paths on the list and lets the drop's work run.
    Qt::DropAction Drop(const Texts& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(path.c_str()));
        data.setUrls(urls);
        EXPECT_TRUE(DragEnters(data));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(List().viewport(), &drop);
        QApplication::processEvents();
        return drop.dropAction();
    }
};

TEST_F(FileDrop, DragsWithoutLocalFilesAreRefused) {
    QMimeData text, remote, mixed;
    text.setText("/tmp/a.bmp");
    remote.setUrls({QUrl("https://example.org/a.bmp")});
    mixed.setUrls({QUrl("https://example.org/a.bmp"), QUrl::fromLocalFile("/tmp/a.bmp")});
    EXPECT_FALSE(DragEnters(text));
    EXPECT_FALSE(DragEnters(remote));
    EXPECT_TRUE(DragEnters(mixed));
}

TEST_F(FileDrop, FilesAreCopiedAndAppendedAsGivenWhateverTheirType) {
    form->AppendListItem("/already.bmp");
    const std::string text = tree.File("notes.txt");
    const std::string missing = tree.Path("gone.bmp");  // cannot be examined: taken as given
    EXPECT_EQ(Drop({text, missing, text}), Qt::CopyAction);
    EXPECT_TRUE(std::filesystem::exists(text));  // the source keeps its file
    EXPECT_EQ(ListTexts(), (Texts{"/already.bmp", text, missing, text}));
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(FileDrop, AFolderAddsEveryFileOfItsTreeLevelByLevel) {
    const std::string root = tree.Folder("drop");
    // Skipped: a tilde name, and a hidden + archive file; listed: hidden + read-only + archive.
    for (const char* name : {"b.txt", "a.bmp", "README", "A/deep/x.png", "A/one.jpg", "B/two.bmp",
                             "~lock.bmp", ".hidden.bmp"})
        tree.File(std::string("drop/") + name);
    tree.File("drop/.kept.bmp", 0440);
    Drop({root});
    EXPECT_EQ(ListTexts(), PathsIn(root, {".kept.bmp", "README", "a.bmp", "b.txt", "A/one.jpg",
                                          "B/two.bmp", "A/deep/x.png"}));
    EXPECT_FALSE(form->IsBusy());  // a drop does not make the window busy
}

TEST_F(FileDrop, SeveralFoldersInOneDropOneTreeAfterTheOther) {
    const Texts files{"second/s.bmp", "second/sub/t.bmp", "single.bmp", "first/f.bmp",
                      "first/sub/g.bmp"};
    for (const std::string& file : files) tree.File(file);
    // A trailing separator gives clean paths; an empty tree adds nothing and says nothing.
    Drop({tree.Path("second"), tree.Path("single.bmp"), tree.Folder("empty/inner"),
          tree.Path("first/")});
    EXPECT_EQ(ListTexts(), PathsIn(tree.Root(), files));
    EXPECT_TRUE(dialogs.Boxes.empty());
}

// The walk lets events run: a button pressed meanwhile is handled at once,
// and closing the window stops the walk.
TEST_F(FileDrop, TheWindowStaysResponsiveDuringTheWalk) {
    for (int i = 0; i < 5; ++i) tree.File("tree/sub" + std::to_string(i) + "/a.bmp");
    form->AppendListItem("old.bmp");
    bool clearedDuringWalk = false;
    QTimer::singleShot(0, form.get(), [&] {
        form->PushButton7->click();  // removal is not held back by a drop
        clearedDuringWalk = form->ListItemCount() == 0;
    });
    form->ListView1_OLEDragDrop({tree.Path("tree")});
    EXPECT_TRUE(clearedDuringWalk);
    EXPECT_EQ(ListTexts().size(), 5u);

    form->PushButton7_Click();
    QTimer::singleShot(0, form.get(), [&] { form->close(); });
    form->ListView1_OLEDragDrop({tree.Path("tree"), tree.File("later.bmp")});
    EXPECT_TRUE(form->IsUnloaded());
    EXPECT_TRUE(ListTexts().empty());
}

// File attributes, the existing-file test, wildcard listing and the folder
// import's file collection on real temporary trees.

#include "AddFolder.h"
#include "TempTree.h"
#include "WildcardMatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

using Names = std::vector<std::string>;
namespace Attr = FileAttribute;

TEST(FileAttributes, MapFromTheFileSystem) {
    TempTree tree;
    const std::string folder = tree.Folder("dir");
    const std::string hiddenFolder = tree.Folder(".dir");
    const std::string file = tree.File("a.bmp", 0644);
    const std::string hidden = tree.File(".h.bmp", 0644);
    const std::string readOnly = tree.File("ro.bmp", 0444);
    const std::string hiddenReadOnly = tree.File(".hro.bmp", 0444);
    const std::string fileLink = tree.Link("link.bmp", file);
    const std::string folderLink = tree.Link("linkdir", folder);
    const std::string fifo = tree.Fifo("pipe");

    EXPECT_EQ(GetAttr(folder), Attr::Directory);
    EXPECT_EQ(GetAttr(folder + "/"), Attr::Directory);
    EXPECT_EQ(GetAttr(hiddenFolder + "/"), Attr::Directory | Attr::Hidden);
    EXPECT_EQ(GetAttr(file), Attr::Archive);
    EXPECT_EQ(GetAttr(hidden), Attr::Archive | Attr::Hidden);
    EXPECT_EQ(GetAttr(readOnly), Attr::Archive | Attr::ReadOnly);
    EXPECT_EQ(GetAttr(hiddenReadOnly), 35);
    EXPECT_EQ(GetAttr(fileLink), Attr::Archive | Attr::ReparsePoint);
    EXPECT_EQ(GetAttr(folderLink + "/"), 1040);
    EXPECT_EQ(GetAttr(fifo), 0);
    EXPECT_EQ(GetAttr(tree.Path("missing")), -1);
    EXPECT_EQ(GetAttr(""), -1);
    EXPECT_EQ(GetAttr("/") & ~Attr::ReadOnly, Attr::Directory);
}

TEST(IsExistingFile, OnlyRegularFilesThatOpen) {
    TempTree tree;
    const std::string file = tree.File("a.bmp");
    const std::string unreadableByMode = tree.File("b.bmp", 0);
    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_TRUE(IsExistingFile(tree.Link("to-file", file)));
    EXPECT_FALSE(IsExistingFile(tree.Link("dangling", tree.Path("nothing"))));
    EXPECT_FALSE(IsExistingFile(tree.Folder("dir")));
    EXPECT_FALSE(IsExistingFile(tree.Path("missing.bmp")));
    EXPECT_FALSE(IsExistingFile(file + "/"));
    EXPECT_FALSE(IsExistingFile(""));
    EXPECT_FALSE(IsExistingFile("/dev/null"));
    if (geteuid() == 0) {
        EXPECT_TRUE(IsExistingFile(unreadableByMode));  // root opens it anyway
    } else {
        EXPECT_FALSE(IsExistingFile(unreadableByMode));
    }
}

TEST(IsExistingFile, FifoIsNeverOpened) {
    TempTree tree;
    tree.File("F/a.bmp");
    const std::string fifo = tree.Fifo("F/pipe.bmp");
    // Opening the FIFO for reading with no writer would block here.
    EXPECT_FALSE(IsExistingFile(fifo));
    EXPECT_EQ(ListFolderFiles(tree.Path("F"), "*.*"), Names{"a.bmp"});
    EXPECT_EQ(CollectFolderFiles(tree.Path("F"), "*.bmp"), Names{tree.Path("F/a.bmp")});
}

TEST(Wildcards, MatchTable) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"a.bmp", "*", true},
        {"noext", "*", true},
        {"a.bmp", "*.*", true},
        {"noext", "*.*", true},
        {".hidden", "*.*", true},
        {"a.b.c", "*.*", true},
        {"a.bmp", "*.bmp", true},
        {"A.BMP", "*.bmp", true},
        {"a.bmp", "*.BMP", true},
        {"a.bmpx", "*.bmp", false},
        {"abmp", "*.bmp", false},
        {"a.bmp.txt", "*.bmp", false},
        {"a.bmp", "*..bmp", false},
        {"a..bmp", "*..bmp", true},
        {"a.txt", "?.txt", true},
        {"ab.txt", "?.txt", false},
        {".txt", "?.txt", false},
        {"\xc3\xa9.txt", "?.txt", true},
        {"\xc3\x89.TXT", "\xc3\xa9.txt", true},
        {"photo", "photo.*", true},
        {"photo.jpg", "photo.*", true},
        {"photos", "photo.*", false},
        {"x", "", false},
        {"a*b", "a*b", true},
        {"aXXbYYb", "a*b", true},
        {"aXXbYYc", "a*b", false},
        {"bad\xff.bmp", "*.bmp", true},
        {"bad\xff.bmp", "bad?.bmp", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches)
            << "name " << c.name << " pattern " << c.pattern;
    }
}

TEST(ListFolderFiles, FilesOnlyInNameOrder) {
    TempTree tree;
    for (const char* name :
         {"b.bmp", "A.BMP", "noext", "x.txt", "ab.txt", ".hidden.bmp", "~tmp.bmp"}) {
        tree.File(std::string("F/") + name);
    }
    tree.Folder("F/dir.bmp");
    tree.Link("F/link.bmp", tree.Path("F/b.bmp"));
    tree.Link("F/dangling.bmp", tree.Path("F/none"));
    const std::string f = tree.Path("F");

    const Names all{".hidden.bmp", "A.BMP", "ab.txt", "b.bmp",
                    "link.bmp",    "noext", "x.txt",  "~tmp.bmp"};
    EXPECT_EQ(ListFolderFiles(f, "*"), all);
    EXPECT_EQ(ListFolderFiles(f, "*.*"), all);
    EXPECT_EQ(ListFolderFiles(f + "/", "*.*"), all);
    EXPECT_EQ(ListFolderFiles(f, "*.bmp"),
              (Names{".hidden.bmp", "A.BMP", "b.bmp", "link.bmp", "~tmp.bmp"}));
    EXPECT_EQ(ListFolderFiles(f, "*.BMP"), ListFolderFiles(f, "*.bmp"));
    EXPECT_EQ(ListFolderFiles(f, "*..bmp"), Names{});
    EXPECT_EQ(ListFolderFiles(f, "?.txt"), Names{"x.txt"});
    EXPECT_EQ(ListFolderFiles(f, "*.png"), Names{});
    EXPECT_EQ(ListFolderFiles(tree.Path("missing"), "*.*"), Names{});
}

TEST(CollectFolderFiles, FolderByFolderSkippingTildeAndWritableHidden) {
    TempTree tree;
    tree.File("F/b.bmp");
    tree.File("F/a.bmp");
    tree.File("F/~lock.bmp");
    tree.File("F/.thumb.bmp", 0644);  // hidden + archive: left out
    tree.File("F/.kept.bmp", 0444);   // hidden + archive + read-only: taken
    tree.File("F/notes.txt");
    tree.File("F/A/inner.BMP");
    tree.File("F/A/A1/deep.bmp");
    tree.File("F/B/other.bmp");
    tree.Link("F/B/alias.bmp", tree.Path("F/a.bmp"));
    const std::string f = tree.Path("F");

    const Names expected{
        f + "/.kept.bmp",   f + "/a.bmp",       f + "/b.bmp",         f + "/A/inner.BMP",
        f + "/B/alias.bmp", f + "/B/other.bmp", f + "/A/A1/deep.bmp",
    };
    EXPECT_EQ(CollectFolderFiles(f, "*.bmp"), expected);
    // A folder given with its separator (as a drive root is) gives the same paths.
    EXPECT_EQ(CollectFolderFiles(f + "/", "*.bmp"), expected);
    EXPECT_EQ(CollectFolderFiles(f, "*.txt"), Names{f + "/notes.txt"});
    EXPECT_EQ(CollectFolderFiles(f, "*.png"), Names{});
    EXPECT_EQ(CollectFolderFiles(tree.Path("missing"), "*.*"), Names{});
}

TEST(CollectFolderFiles, RefusedSubtreeContributesNothing) {
    TempTree tree;
    tree.File("F/ok/a.bmp");
    tree.File("F/bad\x01/b.bmp");
    tree.File("F/bad\x01/sub/c.bmp");
    const std::string f = tree.Path("F");
    EXPECT_EQ(CollectFolderFiles(f, "*.*"), Names{f + "/ok/a.bmp"});
}

// File attributes, the existing-file test, wildcard listing, the folder import's file
// collection and the path helpers, on real temporary trees.

#include "AddFolder.h"
#include "MainPaths.h"
#include "TempTree.h"
#include "WildcardMatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

using Names = std::vector<std::string>;
namespace Attr = FileAttribute;

TEST(FileAttributes, MapFromTheFileSystem) {
    TempTree tree;
    const std::string folder = tree.Folder("dir"), file = tree.File("a.bmp");
    const std::pair<std::string, int32_t> cases[] = {
        {folder, Attr::Directory},
        {folder + "/", Attr::Directory},
        {tree.Folder(".dir") + "/", Attr::Directory | Attr::Hidden},
        {file, Attr::Archive},
        {tree.File(".h.bmp"), Attr::Archive | Attr::Hidden},
        {tree.File("ro.bmp", 0444), Attr::Archive | Attr::ReadOnly},
        {tree.File(".hro.bmp", 0444), 35},
        {tree.Link("link.bmp", file), Attr::Archive | Attr::ReparsePoint},
        {tree.Link("linkdir", folder) + "/", 1040},
        {tree.Fifo("pipe"), 0},
        {tree.Path("missing"), -1},
        {"", -1},
    };
    for (const auto& [path, attr] : cases) EXPECT_EQ(GetAttr(path), attr) << path;
    EXPECT_EQ(GetAttr("/") & ~Attr::ReadOnly, Attr::Directory);
}

TEST(IsExistingFile, OnlyRegularFilesThatOpenNeverAFifo) {
    TempTree tree;
    const std::string file = tree.File("F/a.bmp"), fifo = tree.Fifo("F/pipe.bmp");
    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_TRUE(IsExistingFile(tree.Link("to-file", file)));
    for (const std::string& absent :
         {tree.Link("dangling", tree.Path("nothing")), tree.Folder("dir"), tree.Path("missing.bmp"),
          file + "/", std::string(), std::string("/dev/null"), fifo})
        EXPECT_FALSE(IsExistingFile(absent)) << absent;
    // Opening the FIFO for reading, with no writer, would block these.
    EXPECT_EQ(ListFolderFiles(tree.Path("F"), "*.*"), Names{"a.bmp"});
    EXPECT_EQ(CollectFolderFiles(tree.Path("F"), "*.bmp"), Names{file});
    EXPECT_EQ(IsExistingFile(tree.File("b.bmp", 0)), geteuid() == 0) << "only root opens mode 000";
}

TEST(Wildcards, MatchTable) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
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
        {"photos", "photo.*", false},
        {"photo", "photo.*", true},
        {"photo.jpg", "photo.*", true},
        {"x", "", false},
        {"a*b", "a*b", true},
        {"aXXbYYb", "a*b", true},
        {"aXXbYYc", "a*b", false},
        {"\xc3\xa9.txt", "?.txt", true},
        {"\xc3\x89.TXT", "\xc3\xa9.txt", true},
        {"bad\xff.bmp", "*.bmp", true},
        {"bad\xff.bmp", "bad?.bmp", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

// The one rule for "files of an extension", shared by the folder import and pixolune-cli -e.
TEST(Wildcards, ExtensionPatternTakesOnlyThatExtension) {
    const struct {
        const char* extension;
        const char* name;
        bool taken;
    } cases[] = {
        {"bmp", "a.bmp", true},   {"bmp", "A.BMP", true},      {"bmp", "abmp", false},
        {"bmp", "a.xbmp", false}, {"bmp", "a.bmp.txt", false}, {"*", "noext", true},
        {"*", "a.b.c", true},     {".bmp", "a.bmp", false},    {"b?p", "a.bmp", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, ExtensionPattern(c.extension)), c.taken)
            << c.name << " with extension " << c.extension;
}

TEST(ListFolderFiles, FilesOnlyInNameOrder) {
    TempTree tree;
    for (const char* name : {"b.bmp", "A.BMP", "noext", "x.txt", "ab.txt", ".hidden.bmp", "~t.bmp"})
        tree.File(std::string("F/") + name);
    tree.Folder("F/dir.bmp");
    tree.Link("F/link.bmp", tree.Path("F/b.bmp"));
    tree.Link("F/dangling.bmp", tree.Path("F/none"));
    const std::string f = tree.Path("F");

    const Names all{".hidden.bmp", "A.BMP", "ab.txt", "b.bmp",
                    "link.bmp",    "noext", "x.txt",  "~t.bmp"};
    EXPECT_EQ(ListFolderFiles(f, "*"), all);
    EXPECT_EQ(ListFolderFiles(f, "*.*"), all);
    EXPECT_EQ(ListFolderFiles(f + "/", "*.*"), all);
    EXPECT_EQ(ListFolderFiles(f, "*.BMP"),
              (Names{".hidden.bmp", "A.BMP", "b.bmp", "link.bmp", "~t.bmp"}));
    EXPECT_EQ(ListFolderFiles(f, "?.txt"), Names{"x.txt"});
    EXPECT_EQ(ListFolderFiles(f, "*..bmp"), Names{});
    EXPECT_EQ(ListFolderFiles(tree.Path("missing"), "*.*"), Names{});
}

TEST(CollectFolderFiles, FolderByFolderSkippingTildeWritableHiddenAndRefusedFolders) {
    TempTree tree;
    for (const char* name : {"b.bmp", "a.bmp", "~lock.bmp", "notes.txt", "A/inner.BMP",
                             "A/A1/deep.bmp", "B/other.bmp", "bad\x01/c.bmp", "bad\x01/sub/d.bmp"})
        tree.File(std::string("F/") + name);
    tree.File("F/.thumb.bmp", 0644);  // hidden + archive: left out
    tree.File("F/.kept.bmp", 0444);   // hidden + archive + read-only: taken
    tree.Link("F/B/alias.bmp", tree.Path("F/a.bmp"));
    const std::string f = tree.Path("F");

    const Names expected{f + "/.kept.bmp",    f + "/a.bmp",       f + "/b.bmp",
                         f + "/A/inner.BMP",  f + "/B/alias.bmp", f + "/B/other.bmp",
                         f + "/A/A1/deep.bmp"};
    EXPECT_EQ(CollectFolderFiles(f, "*.bmp"), expected);
    EXPECT_EQ(CollectFolderFiles(f + "/", "*.bmp"), expected) << "with a separator, as a root";
    EXPECT_EQ(CollectFolderFiles(f, "*.txt"), Names{f + "/notes.txt"});
    EXPECT_EQ(CollectFolderFiles(f, "*.png"), Names{});
    EXPECT_EQ(CollectFolderFiles(tree.Path("missing"), "*.*"), Names{});
}

TEST(Paths, CollapseBackslashesAndFileNameFromPath) {
    const std::pair<std::string, std::string> collapsed[] = {
        {"/out//a.bmp", "/out/a.bmp"},
        {"/out/a.bmp", "/out/a.bmp"},
        {"rel/a.bmp", "rel/a.bmp"},
        {"///x", "/x"},
        {"//x//y", "/x/y"},
        {"/", "/"},
        {"////", "/"},
        {"a///b", "a//b"},
        {"a////b", "a//b"},
        {"a//b//c", "a/b/c"},
        {"", ""},
        {"a\\\\b", "a\\\\b"},  // a backslash is an ordinary character here
    };
    for (const auto& [in, out] : collapsed) EXPECT_EQ(CollapseBackslashes(in), out) << in;
    const std::pair<std::string, std::string> names[] = {{"/in/photo.bmp", "photo.bmp"},
                                                         {"photo.bmp", "photo.bmp"},
                                                         {"/in/", ""},
                                                         {"/in\\x.bmp", "in\\x.bmp"},
                                                         {"", ""}};
    for (const auto& [in, out] : names) EXPECT_EQ(FileNameFromPath(in), out) << in;
}

TEST(Paths, ExistenceTests) {
    TempTree tree;
    const std::string file = tree.File("a.bmp"), folder = tree.Folder("dir");
    const std::string missing = tree.Path("missing");
    for (const std::string& f : {folder, folder + "/", tree.Link("to-dir", folder)})
        EXPECT_TRUE(FolderExists(f)) << f;
    for (const std::string& f : {file, std::string(), missing}) EXPECT_FALSE(FolderExists(f)) << f;
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(""));
    EXPECT_EQ(GetShortFilename(file), file);
    for (const std::string& f : {folder, missing, std::string()})
        EXPECT_EQ(GetShortFilename(f), "") << f;
}

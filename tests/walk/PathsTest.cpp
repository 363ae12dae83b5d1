// Path helpers: the separator collapsing table, file names, and the
// existence tests for files and folders.

#include "MainPaths.h"
#include "TempTree.h"

#include <gtest/gtest.h>

TEST(CollapseBackslashes, Table) {
    const std::pair<std::string, std::string> cases[] = {
        {"/out//a.bmp", "/out/a.bmp"},
        {"/out/a.bmp", "/out/a.bmp"},
        {"///x", "/x"},
        {"//x//y", "/x/y"},
        {"/", "/"},
        {"////", "/"},
        {"a///b", "a//b"},
        {"a////b", "a//b"},
        {"a//b//c", "a/b/c"},
        {"rel/a.bmp", "rel/a.bmp"},
        {"a\\\\b", "a\\\\b"},  // a backslash is an ordinary character here
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(CollapseBackslashes(in), out) << in;
    }
}

TEST(FileNameFromPath, Table) {
    EXPECT_EQ(FileNameFromPath("/in/photo.bmp"), "photo.bmp");
    EXPECT_EQ(FileNameFromPath("photo.bmp"), "photo.bmp");
    EXPECT_EQ(FileNameFromPath("/in/"), "");
    EXPECT_EQ(FileNameFromPath("/in\\x.bmp"), "in\\x.bmp");
    EXPECT_EQ(FileNameFromPath(""), "");
}

TEST(ExistenceTests, FilesAndFolders) {
    TempTree tree;
    const std::string file = tree.File("a.bmp");
    const std::string folder = tree.Folder("dir");
    const std::string missing = tree.Path("missing");
    const std::string folderLink = tree.Link("to-dir", folder);

    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(FolderExists(missing));
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(FolderExists(folder + "/"));
    EXPECT_TRUE(FolderExists(folderLink));

    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(""));

    EXPECT_EQ(GetShortFilename(file), file);
    EXPECT_EQ(GetShortFilename(folder), "");
    EXPECT_EQ(GetShortFilename(missing), "");
    EXPECT_EQ(GetShortFilename(""), "");
}

// The breadth-first folder walk on real temporary trees, and through a substituted file
// system for attribute values and listing failures that a Linux tree run as root cannot give.

#include "AddFolder.h"
#include "FolderWalk.h"
#include "TempTree.h"
#include "cError.h"

#include <algorithm>
#include <map>
#include <set>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using Folders = std::vector<std::string>;

namespace {

// The example tree: F holds A and B, A holds A1, B holds B1, A1 holds X.
std::string MakeExampleTree(const TempTree& tree) {
    tree.Folder("F/A/A1/X");
    tree.Folder("F/B/B1");
    tree.File("F/A/file.bmp");  // files are no folders
    return tree.Path("F/");
}

Folders Walk(Folders folders, bool recurse = true, const WalkHooks& hooks = {}) {
    GetSubDirectories2016(folders, recurse, hooks);
    return folders;
}

// The real file system, except for the attribute values, drive root and listing failures set.
class StagedFolderSystem : public FolderSystem {
public:
    std::map<std::string, int32_t> attributes;
    std::map<std::string, int> listingErrors;
    std::string driveRoot;

    int32_t GetAttr(const std::string& path) const override {
        const auto it = attributes.find(path);
        return it != attributes.end() ? it->second : FolderSystem::GetAttr(path);
    }
    bool IsDriveRoot(const std::string& path) const override {
        return path == driveRoot || FolderSystem::IsDriveRoot(path);
    }
    int ListSubFolders(const std::string& folder, std::vector<std::string>& names) const override {
        const auto it = listingErrors.find(folder);
        if (it == listingErrors.end()) return FolderSystem::ListSubFolders(folder, names);
        if (it->second == EIO) {  // fails part-way: what was read stays
            FolderSystem::ListSubFolders(folder, names);
            names.resize(std::min<size_t>(names.size(), 3));  // ".", "..", the first real one
        }
        return it->second;
    }
    Folders Walk(Folders folders, const WalkHooks& hooks = {}) const {
        WalkSubDirectories(folders, true, hooks, *this);
        return folders;
    }
};

}  // namespace

TEST(FolderWalk, ExpandsBreadthFirstInNameOrderYieldingAsItGoes) {
    TempTree tree;
    const std::string f = MakeExampleTree(tree);
    int yields = 0;
    const Folders all = Walk({f}, true, {[&yields] { ++yields; }, {}, {}});
    EXPECT_EQ(all, (Folders{f, f + "A/", f + "B/", f + "A/A1/", f + "B/B1/", f + "A/A1/X/"}));
    // At least once for every folder entered and once for every sub-folder met.
    EXPECT_GE(yields, 2 * static_cast<int>(all.size()) - 1);
    EXPECT_EQ(Walk({f}, false), (Folders{f, f + "A/", f + "B/"}));

    // Several start folders keep their order; a missing one stays in the list.
    tree.Folder("P/p1");
    const std::string a = f + "A/", p = tree.Path("P/"), missing = tree.Path("gone/");
    EXPECT_EQ(Walk({a, missing, p}), (Folders{a, missing, p, a + "A1/", p + "p1/", a + "A1/X/"}));
}

TEST(FolderWalk, RefusesNamesWithTheirSubtree) {
    TempTree tree;
    for (const std::string name :
         {"ctl\x01name", "del\x7f", "c1\xc2\x85", "bad\xff", "overlong\xc0\xaf", "what?"})
        tree.Folder("F/" + name + "/below");
    // Any valid UTF-8 name is representable: accents, the euro sign, CJK.
    tree.Folder("F/caf\xc3\xa9/below");
    tree.Folder("F/euro\xe2\x82\xac");
    tree.Folder("F/kanji\xe6\x97\xa5");
    const std::string f = tree.Path("F/");
    std::set<std::pair<std::string, int>> missed;
    WalkHooks hooks;
    hooks.FolderMissed = [&](const std::string& folder, int error) {
        missed.emplace(folder, error);
    };
    EXPECT_EQ(Walk({f}, true, hooks),
              (Folders{f, f + "caf\xc3\xa9/", f + "euro\xe2\x82\xac/", f + "kanji\xe6\x97\xa5/",
                       f + "caf\xc3\xa9/below/"}));
    std::set<std::pair<std::string, int>> refused;
    for (const std::string name :
         {"ctl\x01name", "del\x7f", "c1\xc2\x85", "bad\xff", "overlong\xc0\xaf", "what?"})
        refused.emplace(f + name + "/", 0);
    EXPECT_EQ(missed, refused);
}

TEST(FolderWalk, HasInvalidNameCharsTable) {
    const std::pair<std::string, bool> cases[] = {
        {"photos", false},
        {"My Pictures (2021)", false},
        {".hidden", false},
        {"\xc2\xa0nbsp", false},
        {"\xc3\xbf", false},
        {"~", false},
        {"\xc5\x81odz", false},
        {"\xf0\x9f\x98\x80", false},
        {"", false},
        {"tab\there", true},
        {"\x1f", true},
        {"a?b", true},
        {"\x7f", true},
        {"\xc2\x9f", true},
        {"\xed\xa0\x80", true},
        {"trunc\xc3", true},
    };
    for (const auto& [name, invalid] : cases) EXPECT_EQ(HasInvalidNameChars(name), invalid) << name;
}

TEST(FolderWalk, LinkLoopsAndSecondWaysInEndWithEveryFolderOnce) {
    TempTree tree;
    tree.Folder("F/A/A1");
    tree.Folder("Outside/deep");
    tree.Link("F/A/A1/up", "../..");  // back to F
    tree.Link("F/C/toA", "../A");     // a second way into A
    tree.Link("F/C/self", ".");
    tree.Link("F/B", tree.Path("Outside"));  // met first, so this path is kept
    tree.Link("F/A/out", tree.Path("Outside"));
    const std::string f = tree.Path("F/");
    EXPECT_EQ(Walk({f}), (Folders{f, f + "A/", f + "B/", f + "C/", f + "A/A1/", f + "B/deep/"}));
    EXPECT_EQ(GetAttr(f + "B/"), FileAttribute::Directory | FileAttribute::ReparsePoint);
}

TEST(FolderWalk, DeepTreeIsWalkedToTheBottom) {
    TempTree tree;
    std::string relative = "F";
    for (int i = 0; i < 300; ++i) relative += "/d";
    tree.Folder(relative);
    const Folders all = Walk({tree.Path("F/")});
    ASSERT_EQ(all.size(), 301u);
    EXPECT_EQ(all.back(), tree.Path(relative + "/"));
}

TEST(FolderWalk, RefusedAttributeValuesAndDriveRoots) {
    TempTree tree;
    tree.Folder("F/Sys/below");
    tree.Folder("F/Junction/below");
    tree.Folder("F/Archived/below");
    const std::string f = tree.Path("F/");
    StagedFolderSystem fs;
    fs.attributes = {{f + "Sys/", 22}, {f + "Junction/", 1046}, {f + "Archived/", 54}};
    EXPECT_EQ(fs.Walk({f}), (Folders{f, f + "Archived/", f + "Archived/below/"}));

    fs.attributes = {{f, 22}};  // a start folder is kept, but not entered...
    EXPECT_EQ(fs.Walk({f}), Folders{f});
    fs.driveRoot = f;  // ...unless it is a drive root
    EXPECT_EQ(fs.Walk({f}).size(), 7u);

    const Folders top = Walk({"/"}, false);  // the file system root is the drive root
    EXPECT_NE(std::find(top.begin(), top.end(), "/tmp/"), top.end());
    EXPECT_TRUE(FolderSystem{}.IsDriveRoot("//"));
    EXPECT_FALSE(FolderSystem{}.IsDriveRoot("/tmp/"));
}

TEST(FolderWalk, UnlistableFoldersAreRemovedAndMissedSiblingsUnaffected) {
    TempTree tree;
    tree.Folder("F/Locked/below");
    tree.Folder("F/Open/below");
    tree.Folder("F/Vanishing");
    tree.Folder("P/p1");
    const std::string f = tree.Path("F/"), p = tree.Path("P/");
    StagedFolderSystem fs;
    fs.listingErrors = {{f + "Locked/", EACCES}, {f + "Vanishing/", ENOENT}, {p, EPERM}};
    int reports = 0;
    std::vector<std::pair<std::string, int>> missed;  // a folder that went away is no loss
    const WalkHooks hooks{
        {},
        [&reports](const cError&, const std::string&, int) { ++reports; },
        [&](const std::string& folder, int error) { missed.emplace_back(folder, error); }};
    EXPECT_EQ(fs.Walk({p, f}, hooks), (Folders{f, f + "Open/", f + "Open/below/"}));
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(missed,
              (std::vector<std::pair<std::string, int>>{{p, EPERM}, {f + "Locked/", EACCES}}));
}

TEST(FolderWalk, OtherListingFailureIsReportedAndKeepsWhatWasRead) {
    TempTree tree;
    tree.Folder("F/A/a1");
    tree.Folder("F/B");
    const std::string f = tree.Path("F/");
    StagedFolderSystem fs;
    fs.listingErrors[f] = EIO;  // fails after ".", ".." and "A"
    std::vector<std::pair<ErrorNumber, std::string>> reports;
    int step = 0;
    std::vector<std::pair<std::string, int>> missed;
    const WalkHooks hooks{
        {},
        [&](const cError& e, const std::string& where, int at) {
            reports.emplace_back(e.Number(), where);
            step = at;
        },
        [&](const std::string& folder, int error) { missed.emplace_back(folder, error); }};
    EXPECT_EQ(fs.Walk({f}, hooks), (Folders{f, f + "A/", f + "A/a1/"}));
    EXPECT_EQ(missed, (std::vector<std::pair<std::string, int>>{{f, EIO}}));
    const std::string location = "in Dotwane2021/08/31.AddFolder.GetSubDirectories2016 ";
    EXPECT_EQ(
        reports,
        (std::vector<std::pair<ErrorNumber, std::string>>{{ErrorNumber::DeviceIO, location}}));
    EXPECT_GT(step, 0);
}

TEST(FolderWalk, FolderWithoutReadRightsIsRemoved) {
    TempTree tree;
    tree.File("F/Locked/inside.bmp");
    tree.Folder("F/Open");
    const std::string locked = tree.Path("F/Locked"), f = tree.Path("F/");
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    if (DIR* probe = opendir(locked.c_str())) {
        closedir(probe);
        GTEST_SKIP() << "these rights list a mode-000 folder (root): the staged test covers it";
    }
    EXPECT_EQ(Walk({f}), (Folders{f, f + "Open/"}));
    EXPECT_EQ(CollectFolderFiles(tree.Path("F"), "*.*"), Folders{});
}

#include "DoEvents.h"
#include "FileDelete.h"
#include "TestFolder.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Counts event pumps for the length of a test.
class CountingEvents {
public:
    CountingEvents() {
        SetDoEventsHandler([this] { ++pumps; });
    }
    ~CountingEvents() { SetDoEventsHandler(nullptr); }
    int pumps = 0;
};

}  // namespace

TEST(DeleteFileSafe, DeletesReadOnlyFilesAndPumpsEventsOnce) {
    TestFolder folder;
    const std::string path = folder.File("readonly.bmp");
    WriteBytes(path, {1, 2, 3});
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    CountingEvents events;
    DeleteFileSafe(path);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(events.pumps, 1);
}

TEST(DeleteFileSafe, MissingFilesAndFoldersAreQuietlyLeftAlone) {
    TestFolder folder;
    EXPECT_NO_THROW(DeleteFileSafe(folder.File("missing.bmp")));
    EXPECT_NO_THROW(DeleteFileSafe(folder.File("missing/deeper.bmp")));
    const std::string sub = folder.File("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    EXPECT_NO_THROW(DeleteFileSafe(sub));
    EXPECT_TRUE(Exists(sub));
}

TEST(DeleteFileSafe, WithoutAHandlerEventsAreANoOp) {
    SetDoEventsHandler(nullptr);
    EXPECT_NO_THROW(DoEvents());
}

TEST(ForceDeleteFile, DeletesOrRaisesWithANumberAndTheName) {
    TestFolder folder;
    const std::string path = folder.File("x.bmp");
    WriteBytes(path, {1});
    ASSERT_EQ(::chmod(path.c_str(), 0400), 0);
    ForceDeleteFile(path);
    EXPECT_FALSE(Exists(path));

    try {
        ForceDeleteFile(path);
        ADD_FAILURE() << "deleting a missing file raised nothing";
    } catch (const cError& e) {
        EXPECT_EQ(e.Number(), ErrorNumber::FileNotFound);
        EXPECT_NE(e.Description().find(path), std::string::npos);
    }

    const std::string sub = folder.File("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    EXPECT_THROW(ForceDeleteFile(sub), cError);
    EXPECT_TRUE(Exists(sub));
}

TEST(ForceDeleteFile, FileInAReadOnlyFolderIsPermissionDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root deletes from read-only folders";
    TestFolder folder;
    const std::string locked = folder.File("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    WriteBytes(locked + "/f.bmp", {1});
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    try {
        ForceDeleteFile(locked + "/f.bmp");
        ADD_FAILURE() << "no error";
    } catch (const cError& e) {
        EXPECT_EQ(e.Number(), ErrorNumber::PermissionDenied);
    }
    EXPECT_NO_THROW(DeleteFileSafe(locked + "/f.bmp"));
    EXPECT_TRUE(Exists(locked + "/f.bmp"));
    ::chmod(locked.c_str(), 0755);
}

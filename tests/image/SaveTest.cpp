#include "TestFolder.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t Read16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

struct FileShape {
    int32_t width, height, bpp;
    uint32_t offBits, size;
};

// The error a failing Save raises; fails the test when it raises none.
cError SaveError(const cDIB& dib, const std::string& path) {
    try {
        dib.Save(path);
    } catch (const cError& e) {
        return e;
    }
    ADD_FAILURE() << "no error saving " << path;
    return cError(ErrorNumber::InvalidCall, "");
}

}  // namespace

TEST(BmpSave, ThreeByTwoEightBitFileHoldsHeadersTableAndBottomRowFirst) {
    TestFolder folder;
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 2, 8));
    std::vector<uint8_t> table(1024);
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i * 7);
    dib.SetPalette(table);
    // Memory row 0 is the bottom row of the picture; padding bytes go out as held.
    const uint8_t memory[8] = {4, 5, 6, 0xEE, 1, 2, 3, 0xDD};
    std::memcpy(dib.lpBits(), memory, 8);

    const std::string path = folder.File("small.bmp");
    dib.Save(path);
    const std::vector<uint8_t> file = ReadBytes(path);
    ASSERT_EQ(file.size(), 1086u);

    const std::vector<uint8_t> headers = {
        'B', 'M', 0x3E, 0x04, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0,  // file header: 1086, 1078
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0,          // size, width, height, planes, bpp
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 54), headers);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 1078), table);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 1078, file.end()),
              std::vector<uint8_t>(memory, memory + 8));
    // Saving does not change the image.
    EXPECT_EQ(std::memcmp(dib.lpBits(), memory, 8), 0);
}

TEST(BmpSave, FileLengthAndOffsetsFollowTheDepth) {
    const FileShape shapes[] = {
        {640, 480, 8, 1078, 308278},
        {2, 2, 32, 54, 70},
        {1, 1, 1, 62, 66},
        {3, 1, 4, 118, 122},
    };
    TestFolder folder;
    for (const FileShape& s : shapes) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(s.width, s.height, s.bpp));
        std::memset(dib.lpBits(), 0x5C, dib.Size());
        const std::string path = folder.File("shape.bmp");
        dib.Save(path);
        const std::vector<uint8_t> file = ReadBytes(path);
        EXPECT_EQ(file.size(), s.size) << s.width << "x" << s.height << "x" << s.bpp;
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(Read16(file, 0), 19778);
        EXPECT_EQ(Read32(file, 2), s.size);
        EXPECT_EQ(Read32(file, 10), s.offBits);
        EXPECT_EQ(Read16(file, 28), s.bpp);
        EXPECT_EQ(Read32(file, 46), 0u);  // biClrUsed 0: the full table follows
        EXPECT_EQ(file.back(), 0x5C);
    }
}

TEST(BmpSave, ReplacesALargerFileCompletely) {
    TestFolder folder;
    const std::string path = folder.File("out.bmp");
    WriteBytes(path, std::vector<uint8_t>(5000, 0x11));
    cDIB dib;
    ASSERT_TRUE(dib.Create(2, 2, 32));
    dib.Save(path);
    EXPECT_EQ(ReadBytes(path).size(), 70u);
}

TEST(BmpSave, EmptyImageTouchesNoFile) {
    TestFolder folder;
    const std::string existing = folder.File("keep.bmp");
    WriteBytes(existing, {1, 2, 3});
    const cDIB empty;
    empty.Save(existing);
    empty.Save(folder.File("new.bmp"));
    EXPECT_EQ(ReadBytes(existing), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"keep.bmp"});
}

TEST(BmpSave, LinksAtTheTargetAreReplacedNotWrittenThrough) {
    TestFolder folder;
    const std::string target = folder.File("target.dat");
    WriteBytes(target, {9, 8, 7});
    const std::string symlink = folder.File("sym.bmp");
    const std::string hardlink = folder.File("hard.bmp");
    ASSERT_EQ(::symlink(target.c_str(), symlink.c_str()), 0);
    ASSERT_EQ(::link(target.c_str(), hardlink.c_str()), 0);

    cDIB dib;
    ASSERT_TRUE(dib.Create(2, 2, 32));
    dib.Save(symlink);
    dib.Save(hardlink);

    struct stat info {};
    ASSERT_EQ(::lstat(symlink.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(ReadBytes(symlink).size(), 70u);
    EXPECT_EQ(ReadBytes(hardlink).size(), 70u);
    EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{9, 8, 7}));
}

TEST(BmpSave, NewFilesGetTheUsualPermissions) {
    TestFolder folder;
    cDIB dib;
    ASSERT_TRUE(dib.Create(1, 1, 8));
    const mode_t previous = ::umask(022);
    dib.Save(folder.File("a.bmp"));
    ::umask(027);
    dib.Save(folder.File("b.bmp"));
    ::umask(previous);

    struct stat info {};
    ASSERT_EQ(::stat(folder.File("a.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(folder.File("b.bmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(BmpSave, MissingFolderRaisesPathNotFoundNamingTheFile) {
    TestFolder folder;
    cDIB dib;
    ASSERT_TRUE(dib.Create(1, 1, 8));

    const std::string missing = folder.File("no such folder/out.bmp");
    const cError e = SaveError(dib, missing);
    EXPECT_EQ(e.Number(), ErrorNumber::PathNotFound);
    EXPECT_EQ(e.Description(), "Cannot write " + missing + ": No such file or directory");

    WriteBytes(folder.File("plain.txt"), {1});
    EXPECT_EQ(SaveError(dib, folder.File("plain.txt/out.bmp")).Number(), ErrorNumber::PathNotFound);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"plain.txt"});
}

TEST(BmpSave, FailedRenameKeepsWhatIsThereAndLeavesNoTemporaryFile) {
    TestFolder folder;
    const std::string directory = folder.File("taken.bmp");
    ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
    WriteBytes(directory + "/inside", {5});
    cDIB dib;
    ASSERT_TRUE(dib.Create(1, 1, 8));
    const cError e = SaveError(dib, directory);
    EXPECT_NE(e.Description().find(directory), std::string::npos);
    EXPECT_EQ(ReadBytes(directory + "/inside"), std::vector<uint8_t>{5});
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"taken.bmp"});
}

TEST(BmpSave, FailedWriteKeepsTheEarlierOutputAndLeavesNoTemporaryFile) {
    TestFolder folder;
    const std::string path = folder.File("out.bmp");
    const std::vector<uint8_t> earlier(300, 0x77);
    WriteBytes(path, earlier);

    cDIB dib;
    ASSERT_TRUE(dib.Create(640, 480, 8));
    // A file size limit makes the write fail part way, as a full disk would.
    rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const cError e = SaveError(dib, path);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(e.Number(), ErrorNumber::DeviceIO);
    EXPECT_EQ(e.Description(), "Cannot write " + path + ": File too large");
    EXPECT_EQ(ReadBytes(path), earlier);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.bmp"});
}

TEST(BmpSave, ReadOnlyFolderRaisesPermissionDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TestFolder folder;
    const std::string locked = folder.File("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0555), 0);
    cDIB dib;
    ASSERT_TRUE(dib.Create(1, 1, 8));
    EXPECT_EQ(SaveError(dib, locked + "/out.bmp").Number(), ErrorNumber::PermissionDenied);
    ::chmod(locked.c_str(), 0755);
}

TEST(BmpSave, FileLengthBeyondInt32RaisesOverflowBeforeTouchingTheFile) {
    TestFolder folder;
    const std::string path = folder.File("big.bmp");
    WriteBytes(path, {1, 2});
    cDIB dib;
    // 8 rows of 268435452 bytes: 2147483616 pixel bytes, + 1078 leaves int32.
    // The zero pages are never touched, so this costs no real memory.
    if (!dib.Create(268435452, 8, 8)) GTEST_SKIP() << "no address space for a 2 GB image";
    EXPECT_EQ(SaveError(dib, path).Number(), ErrorNumber::Overflow);
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"big.bmp"});
}

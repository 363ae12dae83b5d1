// The BMP writer and the file deletes it shares with the reduction run, on real files.

#include "ReplacementFile.h"
#include "TempTree.h"
#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Read32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

template <class Fn>
cError ErrorOf(Fn fn) {
    try {
        fn();
    } catch (const cError& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return cError(ErrorNumber::InvalidCall, "");
}

class BmpSave : public ::testing::Test {
protected:
    cError SaveError(const std::string& path) {
        return ErrorOf([&] { dib.Save(path); });
    }
    TempTree tree;
    cDIB dib;
};

}  // namespace

TEST_F(BmpSave, ThreeByTwoEightBitFileHoldsHeadersTableAndBottomRowFirst) {
    ASSERT_TRUE(dib.Create(3, 2, 8));
    Bytes table(1024);
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i * 7);
    dib.SetPalette(table);
    // Memory row 0 is the bottom row of the picture; padding bytes go out as held.
    const Bytes memory = {4, 5, 6, 0xEE, 1, 2, 3, 0xDD};
    std::copy(memory.begin(), memory.end(), dib.lpBits());
    dib.Save(tree.Path("small.bmp"));

    // clang-format off
    Bytes expected = {
        'B', 'M', 0x3E, 0x04, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0,  // bfSize 1086, bfOffBits 1078
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0,  // biSize, width, height, planes, bpp
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // clang-format on
    expected.insert(expected.end(), table.begin(), table.end());
    expected.insert(expected.end(), memory.begin(), memory.end());
    EXPECT_EQ(ReadBytes(tree.Path("small.bmp")), expected);
    EXPECT_EQ(Bytes(dib.lpBits(), dib.lpBits() + 8), memory) << "saving changed the image";
}

TEST_F(BmpSave, FileLengthAndOffsetsFollowTheDepthAndReplaceALongerFile) {
    const struct {
        int32_t width, height, bpp;
        uint32_t offBits, size;
    } shapes[] = {
        {640, 480, 8, 1078, 308278},
        {2, 2, 32, 54, 70},
        {3, 1, 4, 118, 122},
        {1, 1, 1, 62, 66},
    };
    for (const auto& s : shapes) {  // each over the longer file of the one before
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << "x" << s.bpp);
        ASSERT_TRUE(dib.Create(s.width, s.height, s.bpp));
        std::memset(dib.lpBits(), 0x5C, dib.Size());
        dib.Save(tree.Path("shape.bmp"));
        const Bytes file = ReadBytes(tree.Path("shape.bmp"));
        ASSERT_EQ(file.size(), s.size);
        EXPECT_EQ(dib.SavedFileSize(), int32_t(s.size));  // known before writing
        EXPECT_EQ(Read32(file, 2), s.size);
        EXPECT_EQ(Read32(file, 10), s.offBits);
        EXPECT_EQ(file[28], s.bpp);
        EXPECT_EQ(Read32(file, 46), 0u);  // biClrUsed 0: the full table follows
        EXPECT_EQ(file.back(), 0x5C);
    }
}

TEST_F(BmpSave, EmptyImageTouchesNoFileAndLinksAreReplacedNotWrittenThrough) {
    const std::string target = tree.File("target.dat", 0644, "987");
    const cDIB empty;
    empty.Save(target);
    empty.Save(tree.Path("new.bmp"));
    EXPECT_EQ(NamesIn(tree.Root()), Names{"target.dat"});

    const std::string symlink = tree.Link("sym.bmp", target), hardlink = tree.Path("hard.bmp");
    ASSERT_EQ(::link(target.c_str(), hardlink.c_str()), 0);
    ASSERT_TRUE(dib.Create(2, 2, 32));
    dib.Save(symlink);
    dib.Save(hardlink);
    EXPECT_FALSE(fs::is_symlink(symlink));
    EXPECT_EQ(ReadBytes(symlink).size(), 70u);
    EXPECT_EQ(ReadBytes(hardlink).size(), 70u);
    EXPECT_EQ(ReadBytes(target), (Bytes{'9', '8', '7'}));
}

TEST_F(BmpSave, NewFilesGetTheUsualPermissions) {
    ASSERT_TRUE(dib.Create(1, 1, 8));
    const mode_t previous = ::umask(022);
    dib.Save(tree.Path("a.bmp"));
    ::umask(027);
    dib.Save(tree.Path("b.bmp"));
    ::umask(previous);
    EXPECT_EQ(fs::status(tree.Path("a.bmp")).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(tree.Path("b.bmp")).permissions(), fs::perms(0640));
}

TEST_F(BmpSave, FailuresRaiseANumberNamingTheFileAndLeaveEverythingAsItWas) {
    ASSERT_TRUE(dib.Create(1, 1, 8));
    tree.File("plain.txt");
    tree.File("taken.bmp/inside");  // a folder where the file should go

    const std::string missing = tree.Path("no such folder/out.bmp");
    const cError e = SaveError(missing);
    EXPECT_EQ(e.Number(), ErrorNumber::PathNotFound);
    EXPECT_EQ(e.Description(), "Cannot write " + missing + ": No such file or directory");
    EXPECT_EQ(SaveError(tree.Path("plain.txt/out.bmp")).Number(), ErrorNumber::PathNotFound);
    const std::string taken = tree.Path("taken.bmp");
    EXPECT_NE(SaveError(taken).Description().find(taken), std::string::npos);
    EXPECT_EQ(NamesIn(tree.Root()), (Names{"plain.txt", "taken.bmp"}));
    EXPECT_EQ(NamesIn(taken), Names{"inside"});

    if (::geteuid() != 0) {  // root writes into read-only folders
        const std::string locked = tree.Folder("locked");
        fs::permissions(locked, fs::perms(0555));
        EXPECT_EQ(SaveError(locked + "/out.bmp").Number(), ErrorNumber::PermissionDenied);
    }
}

TEST_F(BmpSave, FailedWriteKeepsTheEarlierOutputAndLeavesNoTemporaryFile) {
    const std::string path = tree.File("out.bmp", 0644, std::string(300, 'w'));
    ASSERT_TRUE(dib.Create(640, 480, 8));
    // A file size limit makes the write fail part way, as a full disk would.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const cError e = SaveError(path);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(e.Number(), ErrorNumber::DeviceIO);
    EXPECT_EQ(e.Description(), "Cannot write " + path + ": File too large");
    EXPECT_EQ(ReadBytes(path), Bytes(300, 'w'));
    EXPECT_EQ(NamesIn(tree.Root()), Names{"out.bmp"});
}

// A program ended at once (a second Ctrl+C) first removes the temporary files its
// writers hold; no writer starts or renames one afterwards. Run in a child process,
// since the abandonment lasts for the rest of the process.
TEST(ReplacementFile, AbandonAllRemovesLiveTemporariesAndRefusesNewOnes) {
    TempTree tree;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        cReplacementFile writing(tree.Path("a.bmp")), finishing(tree.Path("b.bmp"));
        int failures = writing.Open() != 0;
        failures += writing.Write("partial", 7) != 0;
        failures += finishing.Open() != 0;
        failures += finishing.Write("whole", 5) != 0;
        cReplacementFile::AbandonAll();
        if (!NamesIn(tree.Root()).empty()) ++failures;
        cReplacementFile late(tree.Path("c.bmp"));
        failures += late.Open() != ECANCELED;
        failures += finishing.Commit() != ECANCELED;
        ::_exit(failures);  // a count of failed expectations
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(NamesIn(tree.Root()), Names{});
}

// A writer killed in the middle leaves nothing: the file has no name until it is
// complete. Where a file system cannot write unnamed files, the hidden temporaries
// that killed writers leave are removed by a later run, but only its own naming, only
// those written before it started, and none that a live writer holds.
TEST(ReplacementFile, KilledWritersLeaveNothingThatOutlivesTheNextRun) {
    TempTree tree;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        cReplacementFile writing(tree.Path("a.bmp"));
        if (writing.Open() != 0 || writing.Write("partial", 7) != 0) ::_exit(1);
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(NamesIn(tree.Root()), Names{});

    const time_t now = std::time(nullptr);
    const auto file = [&](const std::string& name, time_t written) {
        const std::string path = tree.File(name, 0644, "x");
        const timespec times[2] = {{written, 0}, {written, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        return path;
    };
    file(".old-reduced.bmp.a1b2c3", now - 3600);
    file(".old-reduced.jpg.zz9900", now - 3600);
    file(".new-reduced.bmp.a1b2c3", now);
    const int held = ::open(file(".held-reduced.bmp.q1w2e3", now - 3600).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    file(".other.png.a1b2c3", now - 3600);
    file(".short.bmp.a1b2", now - 3600);
    file(".upper.bmp.A1B2C3", now - 3600);
    file("photo-reduced.bmp", now - 3600);
    EXPECT_EQ(cReplacementFile::RemoveStaleTemporaries(tree.Root(), now - 60), 2);
    ::close(held);
    EXPECT_EQ(NamesIn(tree.Root()),
              (Names{".held-reduced.bmp.q1w2e3", ".new-reduced.bmp.a1b2c3", ".other.png.a1b2c3",
                     ".short.bmp.a1b2", ".upper.bmp.A1B2C3", "photo-reduced.bmp"}));
}

TEST_F(BmpSave, FileLengthBeyondInt32RaisesOverflowBeforeTouchingTheFile) {
    const std::string path = tree.File("big.bmp", 0644, "12");
    // 8 rows of 268435452 bytes: 2147483616 pixel bytes, + 1078 leaves int32.
    // The zero pages are never touched, so this costs no real memory.
    if (!dib.Create(268435452, 8, 8)) GTEST_SKIP() << "no address space for a 2 GB image";
    EXPECT_EQ(SaveError(path).Number(), ErrorNumber::Overflow);
    EXPECT_EQ(ReadBytes(path), (Bytes{'1', '2'}));
    EXPECT_EQ(NamesIn(tree.Root()), Names{"big.bmp"});
}

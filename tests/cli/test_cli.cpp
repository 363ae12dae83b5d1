// pixolune-cli end to end: the built program on generated images, outputs
// compared byte for byte with results worked out by hand or with each other.

#include "RunCli.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <sys/stat.h>

using namespace testfiles;
using testcli::CliRun;
using testcli::RunCli;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::set<std::string> FileNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A w x h picture with smooth colours and some structure, varied by seed.
std::vector<uint8_t> Picture(int w, int h, int seed) {
    std::vector<std::vector<Rgb>> rows(h, std::vector<Rgb>(w));
    uint32_t x = 2463534242u + uint32_t(seed);
    for (int y = 0; y < h; ++y)
        for (int c = 0; c < w; ++c) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            rows[y][c] = {uint8_t(c * 255 / std::max(1, w - 1)), uint8_t((y * 7 + seed * 40) % 256),
                          uint8_t((c + y) % 2 ? x & 0xFF : 128)};
        }
    return Bmp24(rows);
}

// Two colours, P = (110, 100, 20) and Q = (104, 104, 26), as
//     top row:    P P Q Q
//     bottom row: Q Q P P
std::vector<uint8_t> HandWorkedSource() {
    const Rgb P{110, 100, 20}, Q{104, 104, 26};
    return Bmp24({{P, P, Q, Q}, {Q, Q, P, P}});
}

// The expected 8-bit file for HandWorkedSource, from the formulas:
//
// Palette: the octree files pixels in memory order (bottom row first, left to
// right); each colour gets its own leaf, and leaves are numbered in the order
// they are first met, so entry 0 = Q, entry 1 = P, each the average of its
// (identical) pixels. Entries 2..255 stay 0.
//
// Dithering: t from the 4 x 4 matrix anchored at the bottom-left pixel, so
// the bottom row has t = 1 9 3 11 and the top row t = 13 5 15 7; a channel v
// gives level round((v + 8 − t) / 17), and the levels (r, g, b) pick the entry
// nearest to (17r, 17g, 17b) by squared distance:
//   bottom Q t=1:  (112−1)/17=6.53→7,  7, (34−1)/17=1.94→2 → (119,119,34): Q 514, P 638 → 0
//   bottom Q t=9:  103/17=6.06→6, 6, 25/17=1.47→1  → (102,102,17): Q 89,  P 77  → 1
//   bottom P t=3:  115/17=6.76→7, 105/17=6.18→6, 25/17=1.47→1 → (119,102,17): Q 310, P 94 → 1
//   bottom P t=11: 107/17=6.29→6, 97/17=5.71→6, 17/17=1 → (102,102,17) → 1
//   top P t=13:    105/17=6.18→6, 95/17=5.59→6, 15/17=0.88→1 → (102,102,17) → 1
//   top P t=5:     113/17=6.65→7, 103/17=6.06→6, 23/17=1.35→1 → (119,102,17) → 1
//   top Q t=15:    97/17=5.71→6, 6, 19/17=1.12→1 → (102,102,17) → 1
//   top Q t=7:     105/17=6.18→6, 6, 27/17=1.59→2 → (102,102,34): Q 72, P 264 → 0
std::vector<uint8_t> HandWorkedExpected() {
    std::vector<uint8_t> bytes = {
        'B',  'M',  0x3E, 0x04, 0, 0,        // file size 1086 = 54 + 1024 + 2 rows of 4
        0,    0,    0,    0,                 // reserved
        0x36, 0x04, 0,    0,                 // pixels at 1078
        40,   0,    0,    0,                 // info header size
        4,    0,    0,    0,                 // width
        2,    0,    0,    0,                 // height (bottom-up)
        1,    0,    8,    0,                 // planes, bits per pixel
        0,    0,    0,    0,    0, 0, 0, 0,  // no compression, image size 0
        0,    0,    0,    0,    0, 0, 0, 0,  // pixels per metre
        0,    0,    0,    0,    0, 0, 0, 0,  // colours used / important: 0
        26,   104,  104,  0,                 // entry 0: Q as Blue, Green, Red, 0
        20,   100,  110,  0,                 // entry 1: P
    };
    bytes.insert(bytes.end(), 254 * 4, 0);
    bytes.insert(bytes.end(), {0, 1, 1, 1,    // bottom row
                               1, 1, 1, 0});  // top row
    return bytes;
}

class Cli : public ::testing::Test {
protected:
    TempDir dir;
    std::string in = dir / "in";
    std::string out = dir / "out";

    void SetUp() override {
        fs::create_directory(in);
        fs::create_directory(out);
    }

    std::string Input(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = in + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        WriteFile(path, bytes);
        return path;
    }
};

}  // namespace

// ------------------------------------------------------------------ results by hand

TEST_F(Cli, TwoColoursDitheredAsWorkedOutByHand) {
    const std::string source = Input("pq.bmp", HandWorkedSource());
    const CliRun run = RunCli({"-o", out, source});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(ReadFile(out + "/pq-reduced.bmp"), HandWorkedExpected());
}

// One colour, 3 x 1: level 15, 0, 0 everywhere picks entry 0; the row is
// padded to 4 bytes with a zero byte.
TEST_F(Cli, OneColourRowIsPadded) {
    const std::string source = Input("red.bmp", Bmp24({{{255, 0, 0}, {255, 0, 0}, {255, 0, 0}}}));
    ASSERT_EQ(RunCli({"-o", out, source}).Status, 0);
    std::vector<uint8_t> expected = {
        'B', 'M', 0x3A, 0x04, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0,  // 1082 bytes
        40,  0,   0,    0,    3, 0, 0, 0, 1, 0, 0,    0,    1, 0, 8, 0};
    expected.insert(expected.end(), 24, 0);
    expected.insert(expected.end(), {0, 0, 255, 0});  // entry 0: red
    expected.insert(expected.end(), 255 * 4, 0);
    expected.insert(expected.end(), {0, 0, 0, 0});  // three pixels of entry 0, one padding byte
    EXPECT_EQ(ReadFile(out + "/red-reduced.bmp"), expected);
}

TEST_F(Cli, ReplacesAnExistingOutputWholly) {
    const std::string source = Input("pq.bmp", HandWorkedSource());
    WriteFile(out + "/pq-reduced.bmp", std::vector<uint8_t>(5000, 0xAB));  // longer than the result
    EXPECT_EQ(RunCli({"-o", out, source}).Status, 0);
    EXPECT_EQ(ReadFile(out + "/pq-reduced.bmp"), HandWorkedExpected());
    EXPECT_EQ(FileNames(out),
              (std::set<std::string>{"pq-reduced.bmp"}));  // no temporary left behind
}

// ------------------------------------------------------------------ naming

TEST_F(Cli, OutputNamesReplaceOnlyTheLastExtension) {
    const std::vector<uint8_t> image = HandWorkedSource();
    const CliRun run = RunCli({"-o", out, Input("a.b.c.bmp", image), Input("README", image),
                               Input("PHOTO.BMP", image), Input("back\\slash.bmp", image),
                               Input("trailing.", image), Input(".bmp", image)});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"a.b.c-reduced.bmp", "README-reduced.bmp",
                                                     "PHOTO-reduced.bmp", "back\\slash-reduced.bmp",
                                                     "trailing-reduced.bmp", "-reduced.bmp"}));
    EXPECT_EQ(ReadFile(out + "/README-reduced.bmp"), HandWorkedExpected());
}

// ------------------------------------------------------------------ failures and statuses

TEST_F(Cli, MissingFileIsReportedAndTheOthersAreWritten) {
    const std::string missing = in + "/gone.bmp";
    const CliRun run = RunCli({"-o", out, Input("one.bmp", Picture(9, 4, 1)), missing,
                               Input("two.bmp", Picture(5, 5, 2))});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "Unexpected error loading image.." + missing + "\n");
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"one-reduced.bmp", "two-reduced.bmp"}));
    EXPECT_NE(run.Out.find("2 files written, 1 failed"), std::string::npos) << run.Out;
}

TEST_F(Cli, UndecodableFileGivesTheLoadersMessage) {
    const std::string bad = Input("bad.bmp", {'B', 'M', 1, 2, 3});
    const CliRun run = RunCli({"-o", out, bad});
    EXPECT_EQ(run.Status, 1);
    ASSERT_EQ(Lines(run.Err).size(), 1u) << run.Err;
    EXPECT_NE(run.Err.find("Invalid picture: " + bad), std::string::npos) << run.Err;
    EXPECT_TRUE(FileNames(out).empty());
}

// libpng prints its own complaint about a broken PNG; the user sees only ours.
TEST_F(Cli, BrokenPngGivesOneLine) {
    std::vector<uint8_t> png = ReadFile(std::string(PIXOLUNE_SAMPLES) + "/disc-alpha.png");
    ASSERT_GT(png.size(), 150u);
    png.resize(150);
    const std::string broken = Input("cut.png", png);
    const CliRun run = RunCli({"-o", out, broken});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(Lines(run.Err).size(), 1u) << run.Err;
    EXPECT_NE(run.Err.find("Invalid picture: " + broken), std::string::npos) << run.Err;
}

TEST_F(Cli, NamedPipeFailsAtOnce) {
    const std::string pipe = in + "/pipe.bmp";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const CliRun run = RunCli({"-o", out, pipe, Input("ok.bmp", Picture(3, 3, 3))}, "", 60);
    ASSERT_FALSE(run.Hung);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(pipe), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("named pipe"), std::string::npos) << run.Err;
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"ok-reduced.bmp"}));
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    const std::string file = Input("x.bmp", Picture(2, 2, 0));
    const std::vector<std::vector<std::string>> cases = {
        {"-o", out},                          // no PATH
        {file},                               // no output folder
        {"-o"},                               // missing value
        {"-o", out, "-x", file},              // unknown option
        {"-o", out, "--colour", file},        // unknown long option
        {"-o", out, "-q", "0", file},         // quality below 1
        {"-o", out, "-q", "101", file},       // quality above 100
        {"-o", out, "--quality=high", file},  // not a number
        {"-o", out, "-q", "50%", file},       // not a whole number
        {"-o", out, "-t", "png", file},       // unknown type
        {"-o", out, "-j", "0", file},         // no workers
        {"-o", out, "-j", "-3", file},
        {"-o", out, "--quiet=yes", file},  // a flag takes no value
    };
    for (const auto& arguments : cases) {
        const CliRun run = RunCli(arguments);
        std::string shown;
        for (const auto& a : arguments) shown += a + " ";
        EXPECT_EQ(run.Status, 2) << shown;
        EXPECT_FALSE(run.Err.empty()) << shown;
        EXPECT_EQ(run.Out, "") << shown;
    }
    EXPECT_TRUE(FileNames(out).empty());
}

TEST_F(Cli, MissingOutputFolder) {
    for (const std::string& folder : {dir / "nowhere", Input("plain-file", {1})}) {
        const CliRun run = RunCli({"-o", folder, Input("x.bmp", Picture(2, 2, 0))});
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Err, "Folder does not exist. Please select another folder.\n");
    }
}

TEST_F(Cli, HelpAndVersionOnStdout) {
    for (const std::string option : {"--help", "-h", "--version"}) {
        const CliRun run = RunCli({option});
        EXPECT_EQ(run.Status, 0) << option;
        EXPECT_EQ(run.Err, "") << option;
        EXPECT_FALSE(run.Out.empty()) << option;
    }
    EXPECT_NE(RunCli({"--help"}).Out.find("Usage: pixolune-cli"), std::string::npos);
    EXPECT_EQ(RunCli({"--version"}).Out.rfind("pixolune-cli ", 0), 0u);
}

TEST_F(Cli, OptionFormsAndEndOfOptions) {
    Input("-q.bmp", HandWorkedSource());
    // Long forms with "=", glued short values, options after paths, "--" before a dash name.
    const CliRun run =
        RunCli({"--output=" + out, "-tBMP", "--jobs", "2", "--quality=40", "--", "-q.bmp"}, in);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(out + "/-q-reduced.bmp"), HandWorkedExpected());
}

TEST_F(Cli, QuietPrintsOnlyFailures) {
    const std::string missing = in + "/gone.bmp";
    const CliRun ok = RunCli({"--quiet", "-o", out, Input("a.bmp", Picture(4, 4, 4))});
    EXPECT_EQ(ok.Status, 0);
    EXPECT_EQ(ok.Out, "");
    EXPECT_EQ(ok.Err, "");
    const CliRun failed = RunCli({"--quiet", "-o", out, missing});
    EXPECT_EQ(failed.Status, 1);
    EXPECT_EQ(failed.Out, "");
    EXPECT_EQ(failed.Err, "Unexpected error loading image.." + missing + "\n");
}

// ------------------------------------------------------------------ folders

TEST_F(Cli, FolderArgumentTakesItsWholeTree) {
    Input("tree/a.bmp", Picture(6, 3, 1));
    Input("tree/sub/b.bmp", Picture(7, 2, 2));
    Input("tree/sub/deeper/c.BMP", Picture(3, 9, 3));
    Input("tree/~scratch.bmp", Picture(2, 2, 4));  // names beginning with "~" are left out
    const CliRun run = RunCli({"-o", out, in + "/tree/"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FileNames(out),
              (std::set<std::string>{"a-reduced.bmp", "b-reduced.bmp", "c-reduced.bmp"}));
}

TEST_F(Cli, ExtensionFiltersFolderFiles) {
    Input("tree/a.bmp", Picture(6, 3, 1));
    Input("tree/b.BMP", Picture(4, 4, 2));
    Input("tree/notes.txt", {'h', 'i'});
    Input("tree/noext", Picture(4, 4, 3));

    const CliRun every =
        RunCli({"-o", out, in + "/tree"});  // "*.*": every file, so notes.txt fails
    EXPECT_EQ(every.Status, 1);
    EXPECT_NE(every.Err.find("notes.txt"), std::string::npos) << every.Err;
    EXPECT_EQ(FileNames(out),
              (std::set<std::string>{"a-reduced.bmp", "b-reduced.bmp", "noext-reduced.bmp"}));

    fs::remove_all(out);
    fs::create_directory(out);
    const CliRun bmpOnly =
        RunCli({"-o", out, "-e", "bmp", in + "/tree"});  // case-insensitive match
    EXPECT_EQ(bmpOnly.Status, 0) << bmpOnly.Err;
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"a-reduced.bmp", "b-reduced.bmp"}));

    // A file named on the command line is taken whatever its extension.
    EXPECT_EQ(RunCli({"-o", out, "-e", "png", in + "/tree/noext"}).Status, 0);
    EXPECT_TRUE(FileNames(out).count("noext-reduced.bmp"));
}

TEST_F(Cli, EmptyFolderWritesNothing) {
    fs::create_directory(in + "/empty");
    const CliRun run = RunCli({"-o", out, in + "/empty"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "No files added.\n");
    EXPECT_TRUE(FileNames(out).empty());
}

// ------------------------------------------------------------------ parallel runs

TEST_F(Cli, ParallelRunsMatchOneByOne) {
    std::vector<std::string> batch;
    const std::pair<int, int> sizes[] = {{1, 1},     {2, 2},    {17, 5},  {64, 64}, {151, 3},
                                         {300, 200}, {40, 160}, {255, 1}, {33, 33}, {160, 150}};
    int seed = 0;
    for (const auto& [w, h] : sizes) {
        batch.push_back(Input("p" + std::to_string(seed) + ".bmp", Picture(w, h, seed)));
        ++seed;
    }
    batch.insert(batch.begin() + 3, in + "/missing-1.bmp");
    batch.insert(batch.begin() + 8, Input("broken.bmp", {'n', 'o', 'p', 'e'}));
    batch.push_back(PIXOLUNE_SAMPLES);  // the sample folder: other depths and a PNG

    const std::string serial = dir / "serial", parallel = dir / "parallel";
    fs::create_directory(serial);
    fs::create_directory(parallel);
    std::vector<std::string> args1 = {"-j", "1", "-o", serial}, args4 = {"-j", "4", "-o", parallel};
    args1.insert(args1.end(), batch.begin(), batch.end());
    args4.insert(args4.end(), batch.begin(), batch.end());
    const CliRun one = RunCli(args1), four = RunCli(args4);

    EXPECT_EQ(one.Status, 1);
    EXPECT_EQ(four.Status, 1);
    EXPECT_EQ(four.Err, one.Err);  // the same messages, in input order
    ASSERT_EQ(Lines(one.Err).size(), 2u) << one.Err;
    EXPECT_EQ(Lines(one.Err)[0], "Unexpected error loading image.." + in + "/missing-1.bmp");
    EXPECT_NE(Lines(one.Err)[1].find("broken.bmp"), std::string::npos);

    const std::set<std::string> names = FileNames(serial);
    EXPECT_EQ(names.size(), 10u + 6u);
    EXPECT_EQ(FileNames(parallel), names);
    for (const std::string& name : names)
        EXPECT_EQ(ReadFile(parallel + "/" + name), ReadFile(serial + "/" + name)) << name;
}

// Two sources with one output name: the later one's result stays, also when
// both are converted in parallel.
TEST_F(Cli, SameOutputNameLaterOneWins) {
    const std::string first = Input("x/photo.bmp", Picture(120, 90, 1));
    const std::string second = Input("y/photo.bmp", HandWorkedSource());
    const std::string third = Input("z/photo.bmp", Picture(3, 3, 7));
    for (int round = 0; round < 3; ++round) {
        const CliRun run = RunCli(
            {"-j", "4", "-o", out, first, third, Input("other.bmp", Picture(50, 50, 2)), second});
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(ReadFile(out + "/photo-reduced.bmp"), HandWorkedExpected());
    }
}

// ------------------------------------------------------------------ JPEG output

namespace {

// Width and height from a JPEG's start-of-frame marker; {0, 0} when not a JPEG.
std::pair<int, int> JpegSize(const std::vector<uint8_t>& jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return {0, 0};
    std::size_t at = 2;
    while (at + 9 < jpeg.size() && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        const std::size_t length = std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker >= 0xC0 && marker <= 0xC2)
            return {jpeg[at + 7] << 8 | jpeg[at + 8], jpeg[at + 5] << 8 | jpeg[at + 6]};
        at += 2 + length;
    }
    return {0, 0};
}

}  // namespace

TEST_F(Cli, JpegRunLeavesAnEarlierBmpResultAlone) {
    const std::string source = Input("photo.bmp", Picture(37, 21, 5));
    const std::vector<uint8_t> earlier(3000, 0x5A);
    WriteFile(out + "/photo-reduced.bmp", earlier);
    struct stat before {};
    ::stat((out + "/photo-reduced.bmp").c_str(), &before);

    const CliRun run = RunCli({"-o", out, "-t", "JPG", "-q", "90", source});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(out + "/photo-reduced.bmp"), earlier);
    struct stat after {};
    ::stat((out + "/photo-reduced.bmp").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);  // not replaced by a copy either
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    const std::vector<uint8_t> jpeg = ReadFile(out + "/photo-reduced.jpg");
    EXPECT_EQ(JpegSize(jpeg), std::make_pair(37, 21));
    ASSERT_GE(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    EXPECT_EQ(jpeg.back(), 0xD9);
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"photo-reduced.bmp", "photo-reduced.jpg"}));
}

TEST_F(Cli, JpegQualityChangesTheEncoding) {
    const std::string source = Input("q.bmp", Picture(64, 48, 9));
    const std::string low = dir / "low", high = dir / "high";
    fs::create_directory(low);
    fs::create_directory(high);
    ASSERT_EQ(RunCli({"-t", "jpg", "-q", "5", "-o", low, source}).Status, 0);
    ASSERT_EQ(RunCli({"-t", "jpg", "-q", "100", "-o", high, source}).Status, 0);
    EXPECT_LT(ReadFile(low + "/q-reduced.jpg").size(), ReadFile(high + "/q-reduced.jpg").size());
}

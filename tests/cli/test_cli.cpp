// pixolune-cli end to end: the built program on generated images, outputs compared byte
// for byte with results worked out by hand or with each other.

#include "BandPool.h"
#include "BatchRun.h"
#include "CliTestSupport.h"
#include "PictureLoader.h"
#include "StoredForms.h"
#include "mDither8bpp.h"

#include <mutex>

#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

using namespace clitest;

namespace {

TEST_F(Cli, ResultsWorkedOutByHandReplaceEarlierOutputs) {
    const std::string pq = Input("pq.bmp", kHandWorkedSource);
    const std::string red = Input("red.bmp", Bmp24({{{255, 0, 0}, {255, 0, 0}, {255, 0, 0}}}));
    WriteFile(out + "/pq-reduced.bmp", Bytes(5000, 0xAB));  // longer than the result
    const CliRun run = RunCli({"-o", out, pq, red});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(ReadFile(out + "/pq-reduced.bmp"), kHandWorkedResult);
    // One colour: level 15, 0, 0 picks entry 0 everywhere; the row is padded with a 0.
    EXPECT_EQ(ReadFile(out + "/red-reduced.bmp"), Reduced(3, 1, {{255, 0, 0}}, {0, 0, 0, 0}));
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"pq-reduced.bmp", "red-reduced.bmp"}));
}

TEST_F(Cli, OutputNamesReplaceOnlyTheLastExtension) {
    const Bytes& image = kHandWorkedSource;
    const CliRun run = RunCli({"-o", out, Input("a.b.c.bmp", image), Input("README", image),
                               Input("PHOTO.BMP", image), Input("back\\slash.bmp", image),
                               Input("trailing.", image), Input(".bmp", image)});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"a.b.c-reduced.bmp", "README-reduced.bmp",
                                                     "PHOTO-reduced.bmp", "back\\slash-reduced.bmp",
                                                     "trailing-reduced.bmp", "-reduced.bmp"}));
    EXPECT_EQ(ReadFile(out + "/README-reduced.bmp"), kHandWorkedResult);
}

// Each failing file is one line on stderr, "pixolune-cli: PATH: what went wrong" with the
// system's reason (libpng's own complaint is kept away), in input order, and the other
// files are written; a named pipe fails at once instead of blocking.
TEST_F(Cli, FailuresAreOneLineEachAndTheRestIsWritten) {
    Bytes png = ReadFile(std::string(PIXOLUNE_SAMPLES) + "/disc-alpha.png");
    ASSERT_GT(png.size(), 150u);
    png.resize(150);
    const std::string missing = in + "/gone.bmp", pipe = in + "/pipe.bmp";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string locked = Input("locked.bmp", Picture(3, 3, 3));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    // A folder where the output would go: the file cannot be renamed over it.
    const std::string blocked = Input("blocked.bmp", Picture(4, 4, 4));
    fs::create_directory(out + "/blocked-reduced.bmp");
    const struct {
        std::string Path, Line;  // Line: the start of its line, or the whole with '\n'
    } failing[] = {
        {missing, "pixolune-cli: " + missing + ": No such file or directory\n"},
        {Input("bad.bmp", {'B', 'M', 1, 2, 3}),
         "pixolune-cli: " + in +
             "/bad.bmp: cannot decode it: a BMP header of a form this program does not read\n"},
        {Input("cut.png", png), "pixolune-cli: " + in + "/cut.png: cannot decode it: "},
        {pipe, "pixolune-cli: " + pipe + ": a named pipe, not a picture file\n"},
        {in, "pixolune-cli: " + in + ": no file in it to convert\n"},
        {locked, ::geteuid() == 0 ? "" : "pixolune-cli: " + locked + ": Permission denied\n"},
        {blocked, "pixolune-cli: " + blocked + ": cannot write " + out +
                      "/blocked-reduced.bmp: Is a directory\n"},
    };
    std::vector<std::string> arguments = {"-o", out, Input("one.bmp", Picture(9, 4, 1))};
    for (const auto& file : failing)
        if (file.Path != in) arguments.push_back(file.Path);
    arguments.push_back(Input("two.bmp", Picture(5, 5, 2)));
    // An empty folder is named (first: the walk comes before the files).
    const std::string empty = dir.Folder("empty");
    arguments.insert(arguments.begin() + 2, empty);
    const CliRun run = RunCli(arguments, ".", 60);
    ::chmod(locked.c_str(), 0644);
    ASSERT_FALSE(run.Hung);
    EXPECT_EQ(run.Status, 1);
    std::vector<std::string> lines = Lines(run.Err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "pixolune-cli: " + empty + ": no file in it to convert");
    lines.erase(lines.begin());
    std::size_t at = 0;
    for (const auto& file : failing) {
        if (file.Path == in || file.Line.empty()) continue;
        SCOPED_TRACE(file.Path);
        ASSERT_LT(at, lines.size()) << run.Err;
        if (file.Line.back() == '\n')
            EXPECT_EQ(lines[at] + "\n", file.Line);
        else
            EXPECT_EQ(lines[at].rfind(file.Line, 0), 0u) << lines[at];
        ++at;
    }
    EXPECT_EQ(at, lines.size()) << run.Err;
    const bool root = ::geteuid() == 0;  // root reads a file of mode 000 all the same
    std::set<std::string> written = {"blocked-reduced.bmp", "one-reduced.bmp", "two-reduced.bmp"};
    if (root) written.insert("locked-reduced.bmp");
    EXPECT_EQ(FileNames(out), written);
    const std::string counts =
        root ? "3 files written, 0 skipped, 5 failed" : "2 files written, 0 skipped, 6 failed";
    EXPECT_NE(run.Out.find(counts), std::string::npos) << run.Out;
}

// Each file cut inside its pixel data, right after a complete picture of the same size and
// form (whose memory a partial decoding would show): it fails with the loader's error,
// nothing is written for it, and an earlier output of its name stays as it was.
TEST_F(Cli, TruncatedFilesFailAndWriteNothing) {
    const std::vector<StoredForm> forms = StoredForms(67, 45, 1), others = StoredForms(67, 45, 2);
    std::vector<std::string> arguments = {"-j", "1", "-o", out}, cut;
    std::set<std::string> written = {"cut0-reduced.bmp"};
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const std::string n = std::to_string(i), extension = "." + forms[i].Extension;
        const Bytes& whole = forms[i].File;
        cut.push_back(
            Input("cut" + n + extension, Bytes(whole.begin(), whole.begin() + forms[i].Cut)));
        arguments.push_back(Input("other" + n + extension, others[i].File));
        arguments.push_back(cut.back());
        written.insert("other" + n + "-reduced.bmp");
    }
    WriteFile(out + "/cut0-reduced.bmp", Bytes(300, 0x5A));

    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.Status, 1);
    const std::vector<std::string> lines = Lines(run.Err);
    ASSERT_EQ(lines.size(), forms.size()) << run.Err;
    for (std::size_t i = 0; i < forms.size(); ++i)
        EXPECT_EQ(lines[i].rfind("pixolune-cli: " + cut[i] + ": cannot decode it: ", 0), 0u)
            << forms[i].Name << ": " << lines[i];
    EXPECT_EQ(FileNames(out), written);
    EXPECT_EQ(ReadFile(out + "/cut0-reduced.bmp"), Bytes(300, 0x5A));
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    const std::string file = Input("x.bmp", Picture(2, 2, 0));
    // No PATH, no output folder, a missing value, unknown options, a quality out of range or
    // not a whole number, an unknown type, no workers, a value for a flag.
    const std::vector<std::vector<std::string>> cases = {{"-o", out},
                                                         {file},
                                                         {"-o"},
                                                         {"-o", out, "-x", file},
                                                         {"-o", out, "--colour", file},
                                                         {"-o", out, "-q", "0", file},
                                                         {"-o", out, "-q", "101", file},
                                                         {"-o", out, "--quality=high", file},
                                                         {"-o", out, "-q", "50%", file},
                                                         {"-o", out, "-t", "png", file},
                                                         {"-o", out, "-j", "0", file},
                                                         {"-o", out, "-j", "-3", file},
                                                         {"-o", out, "--quiet=yes", file}};
    for (const auto& arguments : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.Status, 2);
        EXPECT_NE(run.Err, "");
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_TRUE(FileNames(out).empty());

    // An output folder that is none, a list that cannot be read: named, with the reason.
    const std::string nowhere = dir.Path("nowhere"), plain = Input("plain-file", {1});
    const std::pair<std::vector<std::string>, std::string> unusable[] = {
        {{"-o", nowhere, file}, nowhere + ": cannot write into it: No such file or directory"},
        {{"-o", plain, file}, plain + ": cannot write into it: Not a directory"},
        {{"-o", out, "--files-from", nowhere},
         nowhere + ": cannot read the list: No such file or directory"},
        {{"-o", out, "--files-from", in}, in + ": cannot read the list: Is a directory"},
    };
    for (const auto& [arguments, line] : unusable) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.Status, 2);
        EXPECT_EQ(run.Err, "pixolune-cli: " + line + "\n");
    }
}

TEST_F(Cli, HelpAndVersionOnStdout) {
    for (const std::string option : {"--help", "-h", "--version"}) {
        const CliRun run = RunCli({option});
        EXPECT_EQ(run.Status, 0) << option;
        EXPECT_EQ(run.Err, "") << option;
        EXPECT_EQ(run.Out.rfind(option == "--version" ? "pixolune-cli " : "Usage: pixolune-cli", 0),
                  0u)
            << option << ": " << run.Out;
    }
}

TEST_F(Cli, OptionFormsAndEndOfOptions) {
    Input("-q.bmp", kHandWorkedSource);
    Input("-", kHandWorkedSource);
    // Long forms with "=", glued short values, options after paths, a file named "-" by a
    // path (a lone "-" is standard input), "--" before a dash name.
    const CliRun run = RunCli(
        {"--output=" + out, "-tBMP", "--jobs", "2", "--quality=40", "./-", "--", "-q.bmp"}, in);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(out + "/-q-reduced.bmp"), kHandWorkedResult);
    EXPECT_EQ(ReadFile(out + "/--reduced.bmp"), kHandWorkedResult);
}

TEST_F(Cli, QuietPrintsOnlyFailures) {
    const std::string missing = in + "/gone.bmp";
    const CliRun ok = RunCli({"--quiet", "-o", out, Input("a.bmp", Picture(4, 4, 4))});
    EXPECT_EQ(ok.Status, 0);
    EXPECT_EQ(ok.Out + ok.Err, "");
    const CliRun failed = RunCli({"--quiet", "-o", out, missing});
    EXPECT_EQ(failed.Status, 1);
    EXPECT_EQ(failed.Out, "");
    EXPECT_EQ(failed.Err, "pixolune-cli: " + missing + ": No such file or directory\n");
}

// A folder gives every file of its tree but "~" names ("*.*" takes names without a dot
// too); -e takes only that extension (after a dot), in any case, from folders, never from
// named files.
TEST_F(Cli, FolderArgumentsTakeTheirTrees) {
    for (const char* name : {"tree/a.bmp", "tree/sub/b.BMP", "tree/sub/deeper/c.bmp",
                             "tree/~scratch.bmp", "tree/noext", "tree/sub/xbmp"})
        Input(name, Picture(5, 3, 1));
    Input("tree/notes.txt", {'h', 'i'});
    fs::create_directory(in + "/empty");

    const CliRun every = RunCli({"-o", out, in + "/tree/"});
    EXPECT_EQ(every.Status, 1);
    EXPECT_NE(every.Err.find("notes.txt"), std::string::npos) << every.Err;
    EXPECT_EQ(FileNames(out),
              (std::set<std::string>{"a-reduced.bmp", "b-reduced.bmp", "c-reduced.bmp",
                                     "noext-reduced.bmp", "xbmp-reduced.bmp"}));

    const std::string bmpOnly = dir.Folder("bmp-only");
    EXPECT_EQ(RunCli({"-o", bmpOnly, "-e", "bmp", in + "/tree"}).Status, 0);
    EXPECT_EQ(FileNames(bmpOnly),
              (std::set<std::string>{"a-reduced.bmp", "b-reduced.bmp", "c-reduced.bmp"}));
    EXPECT_EQ(RunCli({"-o", bmpOnly, "-e", "png", in + "/tree/noext"}).Status, 0);
    EXPECT_TRUE(FileNames(bmpOnly).count("noext-reduced.bmp"));

    // A folder that gives no file is named; a run that finds none at all fails.
    const CliRun empty = RunCli({"-o", bmpOnly, in + "/empty"});
    EXPECT_EQ(empty.Status, 1);
    EXPECT_EQ(empty.Err, "pixolune-cli: " + in + "/empty: no file in it to convert\n" +
                             "pixolune-cli: no file to convert\n");
    EXPECT_EQ(FileNames(bmpOnly).size(), 4u);

    // -e takes an extension however it is written.
    for (const std::string extension : {".bmp", "*.bmp", "BMP"}) {
        const std::string forms = dir.Folder("e" + std::to_string(extension.size()));
        const CliRun run = RunCli({"-o", forms, "-e", extension, in + "/tree"});
        EXPECT_EQ(run.Status, 0) << extension << ": " << run.Err;
        EXPECT_EQ(FileNames(forms),
                  (std::set<std::string>{"a-reduced.bmp", "b-reduced.bmp", "c-reduced.bmp"}))
            << extension;
    }
}

// A folder of a tree that the walk cannot take (a name it refuses, rights that do not
// let it be listed) is named on a line of its own and fails the run; the rest is written.
TEST_F(Cli, FoldersTheWalkCannotTakeAreNamedAndFail) {
    Input("tree/ok/a.bmp", Picture(5, 3, 1));
    std::vector<std::string> missed;
    for (const std::string folder : {"tree/bad\xff", "tree/what?"}) {
        Input(folder + "/b.bmp", Picture(5, 3, 2));
        missed.push_back("pixolune-cli: " + in + "/" + folder +
                         "/: its files are not converted: its name is not valid UTF-8, or " +
                         "holds \"?\" or a control character");
    }
    const std::string locked = in + "/tree/locked";
    Input("tree/locked/c.bmp", Picture(5, 3, 3));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    if (::geteuid() != 0)  // root lists a mode-000 folder all the same
        missed.push_back("pixolune-cli: " + locked + "/: cannot list its files: Permission denied");

    const CliRun run = RunCli({"-o", out, "--tree", in + "/tree"});
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(run.Status, 1);
    for (const std::string& line : missed)
        EXPECT_NE(run.Err.find(line + "\n"), std::string::npos) << run.Err;
    EXPECT_NE(run.Out.find(std::to_string(missed.size()) + " failed"), std::string::npos)
        << run.Out;
    EXPECT_TRUE(fs::exists(out + "/ok/a-reduced.bmp"));
}

TEST_F(Cli, ParallelRunsMatchOneByOne) {
    std::vector<std::string> batch;
    const std::pair<int, int> sizes[] = {{1, 1},     {2, 2},    {17, 5},  {64, 64}, {151, 3},
                                         {300, 200}, {40, 160}, {255, 1}, {33, 33}, {160, 150}};
    for (const auto& [w, h] : sizes)
        batch.push_back(Input("p" + std::to_string(batch.size()) + ".bmp", Picture(w, h, w + h)));
    batch.insert(batch.begin() + 3, in + "/missing-1.bmp");
    batch.insert(batch.begin() + 8, Input("broken.bmp", {'n', 'o', 'p', 'e'}));
    batch.push_back(PIXOLUNE_SAMPLES);  // the sample folder: other depths and a PNG

    const std::string serial = dir.Folder("serial"), parallel = dir.Folder("parallel");
    std::vector<std::string> args1 = {"-j", "1", "-o", serial}, args4 = {"-j", "4", "-o", parallel};
    args1.insert(args1.end(), batch.begin(), batch.end());
    args4.insert(args4.end(), batch.begin(), batch.end());
    const CliRun one = RunCli(args1), four = RunCli(args4);
    EXPECT_EQ(one.Status, 1);
    EXPECT_EQ(four.Status, 1);
    EXPECT_EQ(four.Err, one.Err);  // the same messages, in input order
    ASSERT_EQ(Lines(one.Err).size(), 2u) << one.Err;
    EXPECT_EQ(Lines(one.Err)[0],
              "pixolune-cli: " + in + "/missing-1.bmp: No such file or directory");
    EXPECT_NE(Lines(one.Err)[1].find("broken.bmp"), std::string::npos);

    const std::set<std::string> names = FileNames(serial);
    EXPECT_EQ(names.size(), 10u + 6u);
    EXPECT_EQ(FileNames(parallel), names);
    for (const std::string& name : names)
        EXPECT_EQ(ReadFile(parallel + "/" + name), ReadFile(serial + "/" + name)) << name;
}

// --mapping fine: one picture gives the same bytes from its BMP and its PNG form, in a
// file split into bands on every core (-j 1) or on one thread a file (-j 2); a picture
// of 200 colours, larger than the palette's sample, comes out exactly; a photograph-like
// one (smooth shades with a little grain) comes out nearer its source than by the exact
// mapping.
TEST_F(Cli, FineMappingIsTheSameAtAnyJobsFromAnyFormAndKeepsFewColours) {
    PictureRows photo(600, std::vector<Rgb>(1024));
    uint32_t grain = 2463534242u;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 1024; ++x) {
            grain ^= grain << 13, grain ^= grain >> 17, grain ^= grain << 5;
            const int g = int(grain % 7) - 3;
            photo[y][x] = {uint8_t(120 + 100 * std::sin(x / 90.0) + g),
                           uint8_t(128 + 90 * std::cos(y / 70.0) + g),
                           uint8_t(60 + (x + y) / 12 + g)};
        }
    PictureRows few(200, std::vector<Rgb>(300));
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            const int i = (x / 7 + y / 5 * 43) % 200;
            few[y][x] = {uint8_t(i * 37), uint8_t(i * 91), uint8_t(i * 13 + 5)};
        }
    const std::string bmpOut = dir.Folder("from-bmp"), pngOut = dir.Folder("from-png"),
                      exactOut = dir.Folder("exact");
    const std::string photoBmp = Input("bmp/photo.bmp", Bmp24(photo));
    const CliRun fromBmp = RunCli(
        {"--mapping", "fine", "-j", "1", "-o", bmpOut, photoBmp, Input("bmp/few.bmp", Bmp24(few))});
    const CliRun fromPng =
        RunCli({"--mapping=FINE", "-j", "2", "-o", pngOut, Input("png/photo.png", BuildPng(photo)),
                Input("png/few.png", BuildPng(few))});
    const CliRun exact = RunCli({"-o", exactOut, photoBmp});
    ASSERT_EQ(fromBmp.Status, 0) << fromBmp.Err;
    ASSERT_EQ(fromPng.Status, 0) << fromPng.Err;
    ASSERT_EQ(exact.Status, 0) << exact.Err;
    for (const char* name : {"/photo-reduced.bmp", "/few-reduced.bmp"})
        EXPECT_EQ(ReadFile(pngOut + name), ReadFile(bmpOut + name)) << name;
    EXPECT_EQ(ShownRows(ReadFile(bmpOut + "/few-reduced.bmp")), few);
    EXPECT_GT(PsnrOverRgb(photo, ShownRows(ReadFile(bmpOut + "/photo-reduced.bmp"))),
              PsnrOverRgb(photo, ShownRows(ReadFile(exactOut + "/photo-reduced.bmp"))));
}

// The thread shares that the loads of a batch ran with.
std::mutex gSharesMutex;
std::set<unsigned> gShares;

void RecordShare(LoadStage stage, const std::string&) {
    if (stage != LoadStage::HeadRead) return;
    const std::lock_guard lock(gSharesMutex);
    gShares.insert(parallel::ThreadShare());
}

// With -j N, each of the N files at once gets cores / N threads (at least one) for its
// bands, not every core; fewer files than N are fewer at once.
TEST_F(Cli, EachOfTheFilesAtOnceGetsItsShareOfTheCores) {
    mDither8bpp::InitDitherTables();
    std::vector<PlannedFile> files;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "s" + std::to_string(i);
        PlannedFile& file = files.emplace_back();
        file.Source = Input(name + ".bmp", Picture(6, 4, i));
        file.Output = out + "/" + name + "-reduced.bmp";
        file.Claim = files.size() - 1;  // each output its own
    }
    SetLoadHookForTesting(RecordShare);
    for (const unsigned jobs : {1u, 2u, 4u}) {
        gShares.clear();
        BatchSettings settings;
        settings.Workers = jobs;
        std::size_t reported = 0;
        const FileWork convert = [](const PlannedFile& file) {
            FileOutcome outcome;
            outcome.Status = ReduceFile(file.Source, file.Output, OutputType::BMP, 85).Status ==
                                     ReduceStatus::Written
                                 ? FileStatus::Written
                                 : FileStatus::Failed;
            return outcome;
        };
        RunBatch(files, settings, convert,
                 {{},
                  [&](std::size_t, const FileOutcome& outcome) {
                      reported += outcome.Status == FileStatus::Written;
                  }},
                 std::atomic<bool>(false));
        EXPECT_EQ(reported, files.size());
        const unsigned atOnce = std::min<unsigned>(jobs, unsigned(files.size()));
        EXPECT_EQ(gShares, std::set<unsigned>{std::max(1u, parallel::Cores() / atOnce)}) << jobs;
    }
    SetLoadHookForTesting(nullptr);
}

// Width and height from a JPEG's start-of-frame marker; {0, 0} when there is none.
std::pair<int, int> JpegSize(const Bytes& jpeg) {
    for (std::size_t at = 2; at + 9 < jpeg.size() && jpeg[at] == 0xFF;
         at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]))
        if (jpeg[at + 1] >= 0xC0 && jpeg[at + 1] <= 0xC2)
            return {jpeg[at + 7] << 8 | jpeg[at + 8], jpeg[at + 5] << 8 | jpeg[at + 6]};
    return {0, 0};
}

TEST_F(Cli, JpegOutputLeavesAnEarlierBmpResultAlone) {
    const std::string source = Input("photo.bmp", Picture(37, 21, 5));
    const std::string bmp = out + "/photo-reduced.bmp";
    WriteFile(bmp, Bytes(3000, 0x5A));
    struct stat before {
    }, after{};
    ::stat(bmp.c_str(), &before);

    const CliRun run = RunCli({"-o", out, "-t", "JPG", "-q", "90", source});
    EXPECT_EQ(run.Status, 0) << run.Err;
    ::stat(bmp.c_str(), &after);
    EXPECT_EQ(ReadFile(bmp), Bytes(3000, 0x5A));
    EXPECT_EQ(after.st_ino, before.st_ino);  // not replaced by a copy either
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(FileNames(out), (std::set<std::string>{"photo-reduced.bmp", "photo-reduced.jpg"}));
    const Bytes jpeg = ReadFile(out + "/photo-reduced.jpg");
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(Bytes(jpeg.begin(), jpeg.begin() + 2), (Bytes{0xFF, 0xD8}));
    EXPECT_EQ(Bytes(jpeg.end() - 2, jpeg.end()), (Bytes{0xFF, 0xD9}));
    EXPECT_EQ(JpegSize(jpeg), std::pair(37, 21));

    const std::string low = dir.Folder("low");
    ASSERT_EQ(RunCli({"-t", "jpg", "-q", "5", "-o", low, source}).Status, 0);
    EXPECT_LT(ReadFile(low + "/photo-reduced.jpg").size(), jpeg.size());
}

}  // namespace

// pixolune-cli in scripts: reruns that leave their own outputs alone, standard input to
// standard output, lists of names, the dry run's sizes, and the limits that decide a file
// before it is decoded.

#include "CliTestSupport.h"
#include "FileWork.h"
#include "PictureLoader.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>

#include <sys/stat.h>

using namespace clitest;

namespace {

// "IN" at the start of an argument, and "IN/" anywhere in a text, stand for folder.
std::string WithFolder(std::string text, const std::string& folder, bool anywhere) {
    for (std::size_t at = 0; (at = text.find(anywhere ? "IN/" : "IN", at)) != std::string::npos;
         at += folder.size()) {
        if (!anywhere && at != 0) break;
        text.replace(at, 2, folder);
    }
    return text;
}

std::vector<QJsonObject> JsonLines(const std::string& out) {
    std::vector<QJsonObject> objects;
    for (const std::string& line : Lines(out))
        objects.push_back(QJsonDocument::fromJson(line.c_str()).object());
    return objects;
}

// Runs one after the other over a folder of photo.bmp and sub/red.bmp (and an empty out/):
// what the last one leaves there, what it says and how it ends.
TEST_F(Cli, RerunsLeaveTheirOwnOutputsAlone) {
    const Bytes junk(10, 0x77);
    const struct {
        const char* What;
        std::map<std::string, Bytes> Before;  // more files in the folder
        std::vector<std::vector<std::string>> Runs;
        int Status;                                 // of the last run
        std::map<std::string, const Bytes*> After;  // every file; nullptr: any bytes
        std::string ErrorHolds, Counts;             // of the last run
    } cases[] = {
        {"into an output folder inside the input",
         {},
         {{"-o", "IN/out", "IN"}, {"-v", "-o", "IN/out", "IN"}},
         0,
         {{"out/photo-reduced.bmp", &kHandWorkedResult}, {"out/red-reduced.bmp", &kRedResult}},
         "pixolune-cli: IN/out: left out of the walk: it is the output folder\n",
         "2 files written, 0 skipped, 0 failed"},
        {"into an output folder inside the input, with --tree",
         {},
         {{"--tree", "-o", "IN/out", "IN"}, {"--tree", "-o", "IN/out/", "IN"}},
         0,
         {{"out/photo-reduced.bmp", &kHandWorkedResult}, {"out/sub/red-reduced.bmp", &kRedResult}},
         "",
         "2 files written, 0 skipped, 0 failed"},
        {"outputs beside their sources",
         {},
         {{"-o", "IN", "IN"}, {"-v", "-o", "IN", "IN"}},
         0,
         {{"photo-reduced.bmp", &kHandWorkedResult}, {"red-reduced.bmp", &kRedResult}},
         "pixolune-cli: IN/photo-reduced.bmp: left out of the walk: its name is an output name "
         "(--include-reduced takes it)\n",
         "2 files written, 0 skipped, 0 failed"},
        {"--include-reduced takes them, and refuses what would replace them",
         {},
         {{"-o", "IN", "IN"}, {"-o", "IN", "--include-reduced", "IN"}},
         1,
         {{"photo-reduced.bmp", &kHandWorkedResult},
          {"red-reduced.bmp", &kRedResult},
          {"photo-reduced-reduced.bmp", nullptr},
          {"red-reduced-reduced.bmp", nullptr}},
         "pixolune-cli: IN/photo.bmp: not converted: it would write IN/photo-reduced.bmp, an "
         "input of this run",
         "2 files written, 0 skipped, 2 failed"},
        {"--suffix names the outputs, and the walk leaves those out",
         {},
         {{"-o", "IN", "--suffix", ".small", "IN"}, {"-v", "-o", "IN", "--suffix=.small", "IN"}},
         0,
         {{"photo.small.bmp", &kHandWorkedResult}, {"red.small.bmp", &kRedResult}},
         "pixolune-cli: IN/photo.small.bmp: left out of the walk",
         "2 files written, 0 skipped, 0 failed"},
        {"--suffix in the planning: no output replaces an input",
         {{"photo.small.bmp", kRedSource}},
         {{"-o", "IN", "--suffix", ".small", "IN/photo.bmp", "IN/photo.small.bmp"}},
         1,
         {{"photo.small.bmp", &kRedSource}, {"photo.small.small.bmp", &kRedResult}},
         "pixolune-cli: IN/photo.bmp: not converted: it would write IN/photo.small.bmp, an "
         "input of this run",
         "1 file written, 0 skipped, 1 failed"},
        {"--skip-existing keeps an output there",
         {{"out/photo-reduced.bmp", junk}},
         {{"-o", "IN/out", "--skip-existing", "IN"}},
         0,
         {{"out/photo-reduced.bmp", &junk}, {"out/red-reduced.bmp", &kRedResult}},
         "pixolune-cli: IN/photo.bmp: skipped: IN/out/photo-reduced.bmp exists (--skip-existing)\n",
         "1 file written, 1 skipped, 0 failed"},
        {"--skip-existing on a rerun skips every file",
         {},
         {{"-o", "IN/out", "IN"}, {"-o", "IN/out", "--skip-existing", "IN"}},
         0,
         {{"out/photo-reduced.bmp", &kHandWorkedResult}, {"out/red-reduced.bmp", &kRedResult}},
         "pixolune-cli: IN/sub/red.bmp: skipped: IN/out/red-reduced.bmp exists (--skip-existing)\n",
         "0 files written, 2 skipped, 0 failed"},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string folder = dir.Folder("photos" + std::to_string(round++));
        std::map<std::string, Bytes> expected = {{"photo.bmp", kHandWorkedSource},
                                                 {"sub/red.bmp", kRedSource}};
        fs::create_directory(folder + "/out");
        for (const auto& [name, bytes] : c.Before) expected[name] = bytes;
        for (const auto& [name, bytes] : expected) {
            fs::create_directories(fs::path(folder + "/" + name).parent_path());
            WriteFile(folder + "/" + name, bytes);
        }
        CliRun run;
        for (std::vector<std::string> arguments : c.Runs) {
            for (std::string& argument : arguments) argument = WithFolder(argument, folder, false);
            run = RunCli(arguments);
        }
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        const std::map<std::string, Bytes> after = FilesBelow(folder);
        for (const auto& [name, bytes] : c.After) {
            if (bytes)
                expected[name] = *bytes;
            else if (after.count(name))
                expected[name] = after.at(name);
        }
        EXPECT_EQ(after, expected);
        EXPECT_NE(run.Err.find(WithFolder(c.ErrorHolds, folder, true)), std::string::npos)
            << run.Err;
        EXPECT_NE(run.Out.find(c.Counts + "\n"), std::string::npos) << run.Out;
    }
}

// "-" reads one picture from standard input and writes the bytes a run over the file writes
// to standard output; every line goes to standard error.
TEST_F(Cli, StandardInputToStandardOutputGivesTheBytesOfAFileRun) {
    const std::string samples = PIXOLUNE_SAMPLES;
    const struct {
        std::string Source;
        std::vector<std::string> Options;
        std::string Output;  // the file run's output in its folder
    } cases[] = {
        {samples + "/photo.bmp", {}, "photo-reduced.bmp"},
        {samples + "/disc-alpha.png", {}, "disc-alpha-reduced.bmp"},
        {samples + "/photo.bmp", {"-t", "jpg", "-q", "70"}, "photo-reduced.jpg"},
        {samples + "/noise-32bit.bmp", {"--mapping", "fine"}, "noise-32bit-reduced.bmp"},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Source + " " + testing::PrintToString(c.Options));
        const std::string folder = dir.Folder("file" + std::to_string(round++));
        std::vector<std::string> arguments = {"-o", folder, c.Source};
        arguments.insert(arguments.end(), c.Options.begin(), c.Options.end());
        ASSERT_EQ(RunCli(arguments).Status, 0);
        arguments = c.Options;
        arguments.push_back("-");
        const CliRun piped = RunCli(arguments, ".", 120, c.Source);
        EXPECT_EQ(piped.Status, 0) << piped.Err;
        EXPECT_EQ(piped.Err, "");
        const Bytes written = ReadFile(folder + "/" + c.Output);
        ASSERT_FALSE(written.empty());
        EXPECT_TRUE(Bytes(piped.Out.begin(), piped.Out.end()) == written);
    }

    const CliRun verbose = RunCli({"-v", "-"}, ".", 120, samples + "/photo.bmp");
    EXPECT_EQ(verbose.Status, 0);
    EXPECT_EQ(verbose.Err.rfind("standard input: 640 x 480, 900.1 KB -> 301.1 KB, 66.6% saved, "
                                "PSNR ",
                                0),
              0u)
        << verbose.Err;
    const std::string bad = Input("bad.bmp", {'B', 'M', 1, 2, 3});
    const CliRun failed = RunCli({"-"}, ".", 120, bad);
    EXPECT_EQ(failed.Status, 1);
    EXPECT_EQ(failed.Out, "");
    EXPECT_EQ(failed.Err,
              "pixolune-cli: standard input: cannot decode it: a BMP header of a form this "
              "program does not read\n");
    const CliRun planned = RunCli({"-n", "-"}, ".", 120, samples + "/photo.bmp");
    EXPECT_EQ(planned.Status, 0);
    EXPECT_EQ(planned.Out, "");
    EXPECT_EQ(planned.Err,
              "standard input -> standard output: 921654 bytes -> 308278 bytes, 66.6% saved\n");
}

// --files-from reads names from a file or standard input, one a line, or with -0 each ended
// by NUL, so that names may hold newlines; the paths of the command line come first, and a
// listed folder is walked.
TEST_F(Cli, FilesFromListsTakeNamesWithNewlinesWhenNulSeparated) {
    const std::string newline = Input("new\nline.bmp", kHandWorkedSource);
    const std::string tab = Input("tab\tname.bmp", kRedSource);
    const std::string plain = Input("plain.bmp", kRedSource);
    Input("folder/inside.bmp", kHandWorkedSource);
    const std::string nulList = dir.Path("nul-list"), lineList = dir.Path("line-list");
    const std::string names = newline + '\0' + tab + '\0' + '\0' + in + "/folder";  // no last NUL
    WriteFile(nulList, Bytes(names.begin(), names.end()));
    const std::string lines = newline + "\n\n" + plain + "\n";
    WriteFile(lineList, Bytes(lines.begin(), lines.end()));

    const std::set<std::string> fromNulList = {"new\nline-reduced.bmp", "tab\tname-reduced.bmp",
                                               "inside-reduced.bmp"};
    const struct {
        const char* What;
        std::vector<std::string> Arguments;
        std::string Input;  // standard input
        int Status;
        std::set<std::string> Written;
        std::string FirstSource;  // of the JSON objects
    } cases[] = {
        {"a NUL-separated file",
         {"--files-from", nulList, "-0"},
         "/dev/null",
         0,
         fromNulList,
         newline},
        {"a NUL-separated standard input",
         {"--null", "--files-from=-", plain},
         nulList,
         0,
         {"new\nline-reduced.bmp", "tab\tname-reduced.bmp", "inside-reduced.bmp",
          "plain-reduced.bmp"},
         plain},
        // Read by lines, the name with a newline is two names that do not exist.
        {"lines", {"--files-from", lineList}, "/dev/null", 1, {"plain-reduced.bmp"}, in + "/new"},
        {"an empty list", {"--files-from", "/dev/null"}, "/dev/null", 1, {}, ""},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string folder = dir.Folder("listed" + std::to_string(round++));
        std::vector<std::string> arguments = {"--json", "-o", folder};
        arguments.insert(arguments.end(), c.Arguments.begin(), c.Arguments.end());
        const CliRun run = RunCli(arguments, ".", 120, c.Input);
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        EXPECT_EQ(FileNames(folder), c.Written);
        const std::vector<QJsonObject> objects = JsonLines(run.Out);
        if (c.FirstSource.empty()) {
            EXPECT_TRUE(objects.empty());
            EXPECT_EQ(run.Err, "pixolune-cli: no file to convert\n");
        } else {
            ASSERT_FALSE(objects.empty());
            EXPECT_EQ(objects[0]["source"].toString().toStdString(), c.FirstSource);
        }
    }
}

// A dry run plans as the run does and writes nothing; its size of each BMP output from a
// BMP source of the samples (every depth) is the size the run writes, also where a size
// rule skips the file; other sources, and JPEG output, have no size before decoding.
TEST_F(Cli, DryRunSizesAreTheSizesTheRunWrites) {
    const std::vector<std::vector<std::string>> optionSets = {
        {}, {"--skip-larger"}, {"--min-saving", "50"}, {"-t", "jpg"}};
    int round = 0;
    for (const auto& options : optionSets) {
        SCOPED_TRACE(testing::PrintToString(options));
        const std::string folder = dir.Folder("dry" + std::to_string(round++));
        std::vector<std::string> arguments = {"--json", "-o", folder, PIXOLUNE_SAMPLES};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::vector<std::string> dryArguments = arguments;
        dryArguments.push_back("--dry-run");
        const CliRun dry = RunCli(dryArguments);
        EXPECT_EQ(dry.Status, 0) << dry.Err;
        EXPECT_TRUE(FileNames(folder).empty());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.Status, 0) << run.Err;

        const std::vector<QJsonObject> planned = JsonLines(dry.Out), done = JsonLines(run.Out);
        ASSERT_EQ(planned.size(), done.size());
        std::size_t known = 0;
        for (std::size_t i = 0; i < planned.size(); ++i) {
            const std::string source = done[i]["source"].toString().toStdString();
            SCOPED_TRACE(source);
            EXPECT_EQ(planned[i]["source"], done[i]["source"]);
            const bool bmpSource = source.ends_with(".bmp");
            if (!bmpSource || options == std::vector<std::string>{"-t", "jpg"}) {
                EXPECT_TRUE(planned[i]["bytes_out"].isNull());
                continue;
            }
            ++known;
            EXPECT_EQ(planned[i]["bytes_out"].toInteger(), done[i]["bytes_out"].toInteger());
            EXPECT_EQ(planned[i]["bytes_in"], done[i]["bytes_in"]);
            EXPECT_EQ(planned[i]["width"], done[i]["width"]);
            EXPECT_EQ(planned[i]["height"], done[i]["height"]);
            EXPECT_EQ(planned[i]["reason"], done[i]["reason"]);
            const std::string status = done[i]["status"].toString().toStdString();
            EXPECT_EQ(planned[i]["status"].toString().toStdString(),
                      status == "written" ? "planned" : status);
            if (status == "written") {
                EXPECT_EQ(planned[i]["output"], done[i]["output"]);
                EXPECT_EQ(done[i]["bytes_out"].toInteger(),
                          qint64(SizeOf(done[i]["output"].toString().toStdString())));
            }
        }
        if (options != std::vector<std::string>{"-t", "jpg"}) {
            EXPECT_EQ(known, 5u);
        }
    }
}

// --max-pixels refuses a larger picture of any format before decoding it, with one line; a
// dry run refuses the BMP file from its header and cannot tell for the PNG.
TEST_F(Cli, MaxPixelsRefusesLargerPictures) {
    const PictureRows rows = NoisyRows(100, 50, 4);
    const std::string bmp = Input("wide.bmp", Bmp24(rows)), png = Input("wide.png", BuildPng(rows));
    const auto tooLarge = [](const std::string& path, int limit) {
        return "pixolune-cli: " + path + ": too large to load (100 x 50 pixels, more than the " +
               std::to_string(limit) + " a picture may have)\n";
    };
    const struct {
        int Limit;
        bool DryRun;
        std::string Err;
        std::set<std::string> Written;
    } cases[] = {
        {4999, false, tooLarge(bmp, 4999) + tooLarge(png, 4999), {}},
        {5000, false, "", {"wide-reduced.bmp", "wide-reduced.jpg"}},
        {4999, true, tooLarge(bmp, 4999), {}},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Limit) + (c.DryRun ? " dry" : ""));
        const std::string folder = dir.Folder("limit" + std::to_string(round++));
        const auto runOver = [&](const std::string& source, std::vector<std::string> arguments) {
            arguments.insert(arguments.end(),
                             {"--max-pixels", std::to_string(c.Limit), "-o", folder, source});
            if (c.DryRun) arguments.push_back("-n");
            return RunCli(arguments);
        };
        // The PNG's output is a JPEG, so that the two do not claim one name.
        const CliRun run = runOver(bmp, {}), second = runOver(png, {"-t", "jpg"});
        EXPECT_EQ(run.Err + second.Err, c.Err);
        EXPECT_EQ(run.Status + second.Status, c.Err.empty() ? 0 : c.DryRun ? 1 : 2);
        EXPECT_EQ(FileNames(folder), c.Written);
    }
}

std::atomic<int> decodings{0};

// --skip-larger decides a BMP output from a BMP source's header, before the file is decoded;
// for JPEG output, or where the header says it saves, the file is converted.
TEST_F(Cli, SizeRulesDecideABmpOutputBeforeDecoding) {
    SetLoadHookForTesting([](LoadStage stage, const std::string&) {
        if (stage == LoadStage::Checked) ++decodings;
    });
    mDither8bpp::InitDitherTables();
    const std::string drawing = std::string(PIXOLUNE_SAMPLES) + "/drawing-1bit.bmp";
    const std::string photo = std::string(PIXOLUNE_SAMPLES) + "/photo.bmp";
    const struct {
        std::string Source;
        OutputType Type;
        FileStatus Status;
        int Decodings;
        uint64_t BytesOut;  // 0: not checked
    } cases[] = {
        {drawing, OutputType::BMP, FileStatus::Skipped, 0, 7222},
        {drawing, OutputType::JPG, FileStatus::Skipped, 1, 0},
        {photo, OutputType::BMP, FileStatus::Written, 1, 308278},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Source + (c.Type == OutputType::JPG ? " jpg" : " bmp"));
        decodings = 0;
        PlannedFile file;
        file.Source = c.Source;
        file.Output = out + "/reduced." + (c.Type == OutputType::JPG ? "jpg" : "bmp");
        WorkSettings settings;
        settings.OutputFolder = out;
        settings.Type = c.Type;
        settings.Sizes = SizeRule::NotLarger();
        const FileOutcome outcome = ConvertPlanned(file, settings);
        EXPECT_EQ(outcome.Status, c.Status) << outcome.Reason;
        EXPECT_EQ(decodings.load(), c.Decodings);
        EXPECT_EQ(outcome.HoldsOutput, true);
        if (c.BytesOut) {
            EXPECT_EQ(outcome.BytesOut, c.BytesOut);
        }
    }
    SetLoadHookForTesting(nullptr);
}

}  // namespace

// What pixolune-cli prints and where (the Reporter), how it reads its command line, and
// that its --help and manual page name the same options.

#include "CliOptions.h"
#include "CliTestSupport.h"
#include "JsonText.h"
#include "Reporter.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <regex>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <unistd.h>

using namespace clitest;

namespace {

// A stream whose text can be read back after it is closed.
class Capture {
public:
    Capture() : file_(open_memstream(&data_, &size_)) {}
    ~Capture() {
        if (file_) std::fclose(file_);
        std::free(data_);
    }
    std::FILE* File() const { return file_; }
    std::string Text() {
        std::fflush(file_);
        return std::string(data_, size_);
    }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

TEST(Reporter, WhatGoesWhere) {
    FileOutcome written;
    written.Status = FileStatus::Written;
    written.HoldsOutput = true;
    written.Output = "out/a-reduced.bmp";
    written.Width = 4, written.Height = 2, written.BytesIn = 78, written.BytesOut = 1086;
    written.Error = {176, 24};
    FileOutcome failed;
    failed.Status = FileStatus::Failed;
    failed.Reason = "cannot reduce it: Overflow";
    failed.Output = "out/b-reduced.bmp";
    failed.BytesIn = 90;
    FileOutcome notStarted;
    notStarted.Output = "out/b-reduced.bmp";
    notStarted.BytesIn = 90;
    notStarted.Reason = "the run was stopped (SIGINT) before it was started";
    FileOutcome planned = written, unknown = failed;
    planned.Status = unknown.Status = FileStatus::Planned;
    planned.Error = {};
    unknown.Reason.clear();

    const std::string progress = "\r\033[K[1/2] a.bmp\r\033[K\r\033[K[2/2] b.bmp\r\033[K";
    const std::string failure = "pixolune-cli: dir/b.bmp: cannot reduce it: Overflow\n";
    const std::string summary =
        "1 file written, 0 skipped, 1 failed\n78 bytes in -> 1.1 KB out, 1292.3% larger\n";
    const std::string verbose =
        "dir/a.bmp: 4 x 2, 78 bytes -> 1.1 KB, 1292.3% larger, PSNR 39.48 dB (exact)\n";
    const std::string json =
        "{\"source\":\"dir/a.bmp\",\"output\":\"out/a-reduced.bmp\",\"status\":\"written\","
        "\"message\":\"\",\"width\":4,\"height\":2,\"bytes_in\":78,\"bytes_out\":1086,"
        "\"mapping\":\"exact\",\"psnr\":39.48}\n";
    const std::string jsonFailed =
        "{\"source\":\"dir/b.bmp\",\"status\":\"failed\","
        "\"message\":\"pixolune-cli: dir/b.bmp: cannot reduce it: Overflow\","
        "\"reason\":\"cannot reduce it: Overflow\",\"width\":0,\"height\":0,\"bytes_in\":90,"
        "\"bytes_out\":null,\"mapping\":\"exact\",\"psnr\":null}\n";
    const std::string jsonNotStarted =
        "{\"source\":\"dir/b.bmp\",\"status\":\"not-started\",\"message\":\"\","
        "\"reason\":\"the run was stopped (SIGINT) before it was started\",\"width\":0,"
        "\"height\":0,\"bytes_in\":90,\"bytes_out\":null,\"mapping\":\"exact\",\"psnr\":null}\n";
    const std::string interrupted =
        "Interrupted: 1 file of 2 not started\n"
        "1 file written, 0 skipped, 0 failed\n"
        "78 bytes in -> 1.1 KB out, 1292.3% larger\n";
    const struct {
        const char* What;
        ReportStyle Style;
        const FileOutcome* Second;  // after the written file
        std::string Out, Messages;
    } cases[] = {
        {"plain", {}, &failed, summary, failure},
        {"terminal", {false, true}, &failed, summary, progress + failure},
        {"quiet on a terminal", {true, true}, &failed, "", failure},
        {"quiet", {true, false}, &failed, "", failure},
        {"verbose", {false, false, true}, &failed, verbose + summary, failure},
        {"json", {false, false, false, true}, &failed, json + jsonFailed, failure + summary},
        {"json and quiet", {true, true, false, true}, &failed, json + jsonFailed, failure},
        {"interrupted", {}, &notStarted, interrupted, ""},
        {"interrupted, json",
         {false, false, false, true},
         &notStarted,
         json + jsonNotStarted,
         interrupted},
        {"dry run",
         {false, false, false, false, true},
         &unknown,
         "dir/a.bmp -> out/a-reduced.bmp: 78 bytes -> 1086 bytes, 1292.3% larger\n"
         "dir/b.bmp -> out/b-reduced.bmp: 90 bytes -> size unknown\n"
         "2 files to write, 0 skipped, 0 failed (dry run: nothing written)\n"
         "78 bytes in -> 1.1 KB out, 1292.3% larger (not counting 1 file of unknown size)\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Capture out, messages;
        Reporter reporter(out.File(), messages.File(), 2, c.Style);
        reporter.Waiting(0, "dir/a.bmp");
        reporter.Finished("dir/a.bmp", c.Style.DryRun ? planned : written);
        reporter.Waiting(1, "dir/b.bmp");
        reporter.Finished("dir/b.bmp", *c.Second);
        reporter.Summary(c.Second == &notStarted);
        EXPECT_EQ(out.Text(), c.Out);
        EXPECT_EQ(messages.Text(), c.Messages);
        EXPECT_EQ(reporter.Failed(), c.Second == &failed ? 1u : 0u);
    }
}

// File names as JSON strings: escapes where JSON needs them, UTF-8 as it is, and each byte
// of another character set as the lone surrogate U+DCxx that gives it back.
TEST(Reporter, JsonStringsKeepEveryByteOfAName) {
    const std::pair<std::string, std::string> cases[] = {
        {"dir/a.bmp", "\"dir/a.bmp\""},
        {"say \"hi\"\\x", "\"say \\\"hi\\\"\\\\x\""},
        {"tab\tline\n\x1f", "\"tab\\u0009line\\u000a\\u001f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7\""},
        {"caf\xe9.bmp", "\"caf\\udce9.bmp\""},
        {"cut \xe2\x82", "\"cut \\udce2\\udc82\""},
        {"overlong \xc0\xaf, surrogate \xed\xa0\x80",
         "\"overlong \\udcc0\\udcaf, surrogate \\udced\\udca0\\udc80\""},
        {"", "\"\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << text;
}

// Each file's mapping and PSNR in --json and --verbose: worked by hand for the two-colour
// picture (2 of its 8 pixels take the other colour, (6, 4, 6) away: 10 log10(255² x 24 /
// 176) = 39.48 dB), infinite (null, "lossless") where the fine mapping keeps it as it is,
// and for a noisy picture the PSNR of the written file against its source.
TEST_F(Cli, JsonAndVerboseGiveEachFilesMappingAndPsnr) {
    const PictureRows noisy = NoisyRows(64, 48, 3);
    const std::string hand = Input("hand.bmp", kHandWorkedSource);
    const std::string picture = Input("noisy.bmp", Bmp24(noisy));
    const struct {
        const char* Mapping;
        std::string HandPsnr, HandVerbose;  // as printed
    } cases[] = {
        {"exact", "39.48", "PSNR 39.48 dB (exact)"},
        {"fine", "null", "lossless (fine)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Mapping);
        const std::string json = dir.Folder(std::string("json-") + c.Mapping);
        const CliRun run = RunCli({"--json", "--mapping", c.Mapping, "-o", json, hand, picture});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const std::vector<std::string> lines = Lines(run.Out);
        ASSERT_EQ(lines.size(), 2u) << run.Out;
        EXPECT_NE(lines[0].find(",\"mapping\":\"" + std::string(c.Mapping) +
                                "\",\"psnr\":" + c.HandPsnr + "}"),
                  std::string::npos)
            << lines[0];
        const QJsonObject object = QJsonDocument::fromJson(lines[1].c_str()).object();
        EXPECT_EQ(object["mapping"].toString().toStdString(), c.Mapping);
        const double measured =
            PsnrOverRgb(noisy, ShownRows(ReadFile(json + "/noisy-reduced.bmp")));
        EXPECT_NEAR(object["psnr"].toDouble(), measured, 0.005);

        const std::string text = dir.Folder(std::string("verbose-") + c.Mapping);
        const CliRun verbose = RunCli({"-v", "--mapping", c.Mapping, "-o", text, hand});
        ASSERT_EQ(verbose.Status, 0) << verbose.Err;
        EXPECT_EQ(Lines(verbose.Out).at(0),
                  hand + ": 4 x 2, 78 bytes -> 1.1 KB, 1292.3% larger, " + c.HandVerbose);
    }
}

// The progress line of a whole run with stderr on a terminal, and none with --quiet.
TEST_F(Cli, ProgressLineOnATerminalUnlessQuiet) {
    const std::string picture = Input("pic.bmp", Picture(8, 8, 1));
    for (const bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "--quiet" : "not quiet");
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        std::vector<std::string> arguments = {PIXOLUNE_CLI, "-o", out, picture};
        if (quiet) arguments.push_back("--quiet");
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, master);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, PIXOLUNE_CLI, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(slave);
        std::string terminal;
        char buffer[1024];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, std::size_t(got));  // ends with EIO once the program is gone
        ::close(master);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(terminal, quiet ? "" : "\r\033[K[1/1] pic.bmp\r\033[K");
    }
}

TEST(Options, PathsFlagsAndRefusals) {
    const struct {
        std::vector<std::string> Arguments;
        std::vector<std::string> Paths;
        bool Tree = false, Sizes = false, Verbose = false, Json = false;
        mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;
        std::string Output = "d";
        std::string Extension = "";
        std::string Suffix = "-reduced";
        int64_t MaxPixels = kMaxPicturePixels;
        std::vector<std::string> FilesFrom = {};
        bool Null = false, DryRun = false, SkipExisting = false, IncludeReduced = false;
    } accepted[] = {
        {{"-o", "d", "./-"}, {"./-"}, false, false, false, false},  // a file named "-"
        {{"p", "-o", "d", "--", "-v", "--tree"}, {"p", "-v", "--tree"}, false, false, false, false},
        {{"--tree", "--skip-larger", "-v", "--json", "-o", "d", "p"},
         {"p"},
         true,
         true,
         true,
         true},
        {{"--verbose", "p", "--output=d"}, {"p"}, false, false, true, false},
        {{"--mapping", "fine", "-o", "d", "p", "--mapping=Exact", "--mapping=fine"},
         {"p"},
         false,
         false,
         false,
         false,
         mDither8bpp::Mapping::Fine},
        // Standard input to standard output needs no -o; "-" after "--" is that too.
        {.Arguments = {"-", "-t", "jpg", "-v"}, .Paths = {"-"}, .Verbose = true, .Output = ""},
        {.Arguments = {"--dry-run", "--", "-"}, .Paths = {"-"}, .Output = "", .DryRun = true},
        {.Arguments = {"-o", "d", "-e", "bmp", "p"}, .Paths = {"p"}, .Extension = "bmp"},
        {.Arguments = {"-o", "d", "-e.BMP", "p"}, .Paths = {"p"}, .Extension = "BMP"},
        {.Arguments = {"-o", "d", "--extension=*.bmp", "p"}, .Paths = {"p"}, .Extension = "bmp"},
        {.Arguments = {"-o", "d", "-e", "*.*", "p"}, .Paths = {"p"}, .Extension = "*"},
        {.Arguments = {"-o", "d", "--suffix", "", "--max-pixels", "1", "p"},
         .Paths = {"p"},
         .Suffix = "",
         .MaxPixels = 1},
        {.Arguments = {"-o", "d", "--suffix=.small", "--max-pixels=536870911", "--min-saving",
                       "12.5%", "p"},
         .Paths = {"p"},
         .Sizes = true,
         .Suffix = ".small",
         .FilesFrom = {}},
        {.Arguments = {"-o", "d", "--files-from", "-", "-0", "--files-from=list", "-n",
                       "--skip-existing", "--include-reduced"},
         .Paths = {},
         .FilesFrom = {"-", "list"},
         .Null = true,
         .DryRun = true,
         .SkipExisting = true,
         .IncludeReduced = true},
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(testing::PrintToString(c.Arguments));
        const CliOptions options = ParseArguments(c.Arguments);
        EXPECT_EQ(options.OutputFolder, c.Output);
        EXPECT_EQ(options.Paths, c.Paths);
        EXPECT_EQ(options.Tree, c.Tree);
        EXPECT_EQ(options.Sizes.Active(), c.Sizes);
        EXPECT_EQ(options.Verbose, c.Verbose);
        EXPECT_EQ(options.Json, c.Json);
        EXPECT_EQ(options.Mapping, c.Mapping);
        EXPECT_EQ(options.Extension, c.Extension);
        EXPECT_EQ(options.Suffix, c.Suffix);
        EXPECT_EQ(options.MaxPixels, c.MaxPixels);
        EXPECT_EQ(options.FilesFrom, c.FilesFrom);
        EXPECT_EQ(options.NullSeparated, c.Null);
        EXPECT_EQ(options.DryRun, c.DryRun);
        EXPECT_EQ(options.SkipExisting, c.SkipExisting);
        EXPECT_EQ(options.IncludeReduced, c.IncludeReduced);
    }
    const std::vector<std::vector<std::string>> refused = {
        {"-o", "d", "--quiet", "--verbose", "p"},
        {"-o", "d", "--tree=yes", "p"},
        {"-o", "d", "-vx", "p"},
        {"-o", "d"},
        {"-o", "d", "--mapping", "best", "p"},
        {"-o", "d", "p", "--mapping"},
        // "-" only alone, and with nothing that needs an output file or standard output.
        {"-o", "d", "-"},
        {"-", "p"},
        {"-", "--files-from", "list"},
        {"-", "--json"},
        {"-", "--skip-existing"},
        {"-", "--skip-larger"},
        {"-", "--min-saving", "10"},
        {"-o", "d", "-0", "p"},
        {"-o", "d", "--files-from", "-", "--files-from", "-"},
        {"-o", "d", "--files-from", ""},
        {"-o", "d", "-e", "", "p"},
        {"-o", "d", "-e", ".", "p"},
        {"-o", "d", "-e", "*.", "p"},
        {"-o", "d", "-e", "a/b", "p"},
        {"-o", "d", "--suffix", "-x/y", "p"},
        {"-o", "d", "--min-saving", "100", "p"},
        {"-o", "d", "--min-saving", "-5", "p"},
        {"-o", "d", "--min-saving", "12.3456", "p"},
        {"-o", "d", "--min-saving", "1.", "p"},
        {"-o", "d", "--min-saving", "ten", "p"},
        {"-o", "d", "--max-pixels", "0", "p"},
        {"-o", "d", "--max-pixels", "536870912", "p"},
    };
    for (const auto& arguments : refused)
        EXPECT_THROW(ParseArguments(arguments), UsageError) << testing::PrintToString(arguments);
}

// --skip-larger and --min-saving: where the edge lies (an output of the same size is not
// larger; a saving of exactly the share is enough), which of two rules counts, and why.
TEST(Options, SizeRulesSkipPastTheirEdge) {
    const auto rule = [](const std::vector<std::string>& options) {
        std::vector<std::string> arguments = {"-o", "d", "p"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return ParseArguments(arguments).Sizes;
    };
    const struct {
        std::vector<std::string> Options;
        uint64_t In, Out;
        std::string Reason;  // "" when written
    } cases[] = {
        {{}, 10, 50000, ""},
        {{"--skip-larger"}, 1000, 1000, ""},
        {{"--skip-larger"},
         1000,
         1001,
         "it would grow from 1000 bytes to 1001 bytes (--skip-larger)"},
        {{"--skip-larger"}, 0, 0, ""},
        {{"--min-saving", "20"}, 1000, 800, ""},
        {{"--min-saving", "20"},
         1000,
         801,
         "it would save only 19.9% (1000 bytes -> 801 bytes; --min-saving 20%)"},
        {{"--min-saving=12.5%"}, 1000, 875, ""},
        {{"--min-saving=12.5%"},
         1000,
         876,
         "it would save only 12.4% (1000 bytes -> 876 bytes; --min-saving 12.5%)"},
        {{"--min-saving", "0"},
         1000,
         1001,
         "it would grow from 1000 bytes to 1001 bytes (--min-saving 0%)"},
        // The stricter of two rules, in either order.
        {{"--skip-larger", "--min-saving", "10"},
         1000,
         950,
         "it would save only 5.0% (1000 bytes -> 950 bytes; --min-saving 10%)"},
        {{"--min-saving", "10", "--skip-larger"},
         1000,
         950,
         "it would save only 5.0% (1000 bytes -> 950 bytes; --min-saving 10%)"},
        // Sizes whose products leave 64 bits.
        {{"--min-saving", "0.001"},
         uint64_t(1) << 50,
         (uint64_t(1) << 50) - (1 << 30),
         "it would save only 0.0% (1024.0 TB -> 1024.0 TB; --min-saving 0.001%)"},
        {{"--min-saving", "99.999"}, uint64_t(1) << 50, 1 << 30, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Options) + " " + std::to_string(c.In) + " -> " +
                     std::to_string(c.Out));
        const SizeRule sizes = rule(c.Options);
        EXPECT_EQ(sizes.Skips(c.In, c.Out), !c.Reason.empty());
        if (!c.Reason.empty()) {
            EXPECT_EQ(sizes.Reason(c.In, c.Out), c.Reason);
        }
    }
}

std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> names;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

// The manual page documents the options --help lists, and man reads it without a warning.
TEST(Options, HelpAndManualPageAgree) {
    std::string page = ReadText(PIXOLUNE_MAN_PAGE);
    ASSERT_FALSE(page.empty());
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    EXPECT_EQ(LongOptions(page), LongOptions(UsageText()));
    for (const char* status : {"130", "143", "129"})
        EXPECT_NE(UsageText().find(status), std::string::npos) << status;

    if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "no man here";
    const std::string command =
        "man --warnings -E UTF-8 -l '" + std::string(PIXOLUNE_MAN_PAGE) + "' 2>&1 >/dev/null";
    std::FILE* warnings = ::popen(command.c_str(), "r");
    ASSERT_NE(warnings, nullptr);
    std::string text;
    char buffer[512];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, warnings)) > 0;)
        text.append(buffer, got);
    EXPECT_EQ(::pclose(warnings), 0);
    EXPECT_EQ(text, "");
}

}  // namespace

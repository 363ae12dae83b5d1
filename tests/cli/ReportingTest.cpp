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
    ReduceResult written;
    written.Status = ReduceStatus::Written;
    written.OutputPath = "out/a-reduced.bmp";
    written.Width = 4, written.Height = 2, written.BytesIn = 78, written.BytesOut = 1086;
    written.Error = {176, 24};
    ReduceResult failed;
    failed.Message = "Overflow";
    failed.OutputPath = "out/b-reduced.bmp";

    const std::string progress = "\r\033[K[1/2] a.bmp\r\033[K\r\033[K[2/2] b.bmp\r\033[K";
    const std::string failure = "Overflow (dir/b.bmp)\n";
    const std::string summary =
        "1 file written, 0 skipped, 1 failed\n78 bytes in -> 1.1 KB out, 1292.3% larger\n";
    const std::string verbose =
        "dir/a.bmp: 4 x 2, 78 bytes -> 1.1 KB, 1292.3% larger, PSNR 39.48 dB (exact)\n";
    const std::string json =
        "{\"source\":\"dir/a.bmp\",\"output\":\"out/a-reduced.bmp\",\"status\":\"written\","
        "\"message\":\"\",\"width\":4,\"height\":2,\"bytes_in\":78,\"bytes_out\":1086,"
        "\"mapping\":\"exact\",\"psnr\":39.48}\n"
        "{\"source\":\"dir/b.bmp\",\"output\":\"out/b-reduced.bmp\",\"status\":\"failed\","
        "\"message\":\"Overflow\",\"width\":0,\"height\":0,\"bytes_in\":0,\"bytes_out\":0,"
        "\"mapping\":\"exact\",\"psnr\":null}\n";
    const struct {
        const char* What;
        ReportStyle Style;
        bool Interrupted;  // after the first file
        std::string Out, Messages;
    } cases[] = {
        {"plain", {}, false, summary, failure},
        {"terminal", {false, true}, false, summary, progress + failure},
        {"quiet on a terminal", {true, true}, false, "", failure},
        {"quiet", {true, false}, false, "", failure},
        {"verbose", {false, false, true}, false, verbose + summary, failure},
        {"json", {false, false, false, true}, false, json, failure + summary},
        {"json and quiet", {true, true, false, true}, false, json, failure},
        {"interrupted",
         {},
         true,
         "Interrupted: 1 file of 2 not converted\n1 file written, 0 skipped, 0 failed\n"
         "78 bytes in -> 1.1 KB out, 1292.3% larger\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Capture out, messages;
        Reporter reporter(out.File(), messages.File(), 2, c.Style);
        reporter.Working(0, "dir/a.bmp");
        reporter.Finished("dir/a.bmp", written);
        if (!c.Interrupted) {
            reporter.Working(1, "dir/b.bmp");
            reporter.Finished("dir/b.bmp", failed);
        }
        reporter.Summary(c.Interrupted);
        EXPECT_EQ(out.Text(), c.Out);
        EXPECT_EQ(messages.Text(), c.Messages);
        EXPECT_EQ(reporter.Failed(), c.Interrupted ? 0u : 1u);
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
        bool Tree, SkipLarger, Verbose, Json;
        mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;
    } accepted[] = {
        {{"-o", "d", "-"}, {"-"}, false, false, false, false},  // a lone "-" is a file name
        {{"-", "-o", "d", "--", "-v", "--tree"}, {"-", "-v", "--tree"}, false, false, false, false},
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
    };
    for (const auto& c : accepted) {
        SCOPED_TRACE(testing::PrintToString(c.Arguments));
        const CliOptions options = ParseArguments(c.Arguments);
        EXPECT_EQ(options.OutputFolder, "d");
        EXPECT_EQ(options.Paths, c.Paths);
        EXPECT_EQ(options.Tree, c.Tree);
        EXPECT_EQ(options.SkipLarger, c.SkipLarger);
        EXPECT_EQ(options.Verbose, c.Verbose);
        EXPECT_EQ(options.Json, c.Json);
        EXPECT_EQ(options.Mapping, c.Mapping);
    }
    const std::vector<std::vector<std::string>> refused = {{"-o", "d", "--quiet", "--verbose", "p"},
                                                           {"-o", "d", "--tree=yes", "p"},
                                                           {"-o", "d", "-vx", "p"},
                                                           {"-o", "d"},
                                                           {"-o", "d", "--mapping", "best", "p"},
                                                           {"-o", "d", "p", "--mapping"},
                                                           {"-"}};
    for (const auto& arguments : refused)
        EXPECT_THROW(ParseArguments(arguments), UsageError) << testing::PrintToString(arguments);
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

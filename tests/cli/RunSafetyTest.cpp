// pixolune-cli never loses an output within a run, and says what happened: collisions
// refused, --tree, --skip-larger, the summary and --json, and signals in the middle of a
// batch. The built program on real scratch trees.

#include "CliTestSupport.h"
#include "Reporter.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>
#include <map>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clitest;

namespace {

TEST_F(Cli, NoOutputReplacesAnotherOutputOrAnInputOfTheRun) {
    // New sub-folders get the rights the umask leaves: one that differs from the usual.
    const mode_t previousMask = ::umask(002);
    const std::string dcim = in + "/DCIM";
    Input("DCIM/100/IMG_0001.bmp", kHandWorkedSource);
    Input("DCIM/101/IMG_0001.bmp", kRedSource);
    const std::string x = Input("x.bmp", kHandWorkedSource);
    const std::string symlink = dir.Link("in/link.bmp", x), hardlink = in + "/hard.bmp";
    ASSERT_EQ(::link(x.c_str(), hardlink.c_str()), 0);
    const std::string self = dir.Folder("self");
    const std::string a = dir.File("self/a.bmp", 0644,
                                   std::string(kHandWorkedSource.begin(), kHandWorkedSource.end()));
    const std::string aReduced =
        dir.File("self/a-reduced.bmp", 0644, std::string(kRedSource.begin(), kRedSource.end()));
    const std::string alias = dir.Link("in/alias.bmp", aReduced);
    // b-reduced.bmp is a second way to b.bmp, and the name of b.bmp's output (a
    // link, which FilesBelow does not list).
    const std::string b = dir.File("self/b.bmp", 0644,
                                   std::string(kHandWorkedSource.begin(), kHandWorkedSource.end()));
    const std::string bReduced = dir.Link("self/b-reduced.bmp", b);
    const std::map<std::string, Bytes> selfAfter = {{"a.bmp", kHandWorkedSource},
                                                    {"a-reduced.bmp", kRedSource},
                                                    {"a-reduced-reduced.bmp", kRedResult},
                                                    {"b.bmp", kHandWorkedSource}};

    struct Case {
        const char* What;
        std::vector<std::string> Arguments;  // "OUT" stands for a fresh output folder
        int Status;
        std::map<std::string, Bytes> Outputs;  // of the output folder afterwards
        std::vector<std::string> ErrorHolds;   // pieces of stderr
        std::string Counts;                    // first summary line
        std::size_t ErrorLines = 1;            // when ErrorHolds has any
    };
    // Three claimants of one name, the first no picture: the second is written, at any -j.
    const std::string claim = in + "/claim";
    Input("claim/a/pic.bmp", {'B', 'M', 'n', 'o', 'p', 'e'});
    Input("claim/b/pic.png", BuildPng({{kRed, kRed, kRed}}));
    Input("claim/c/pic.bmp", kHandWorkedSource);
    const std::vector<std::string> claimErrors = {
        "pixolune-cli: " + claim + "/a/pic.bmp: cannot decode it: ",
        "pixolune-cli: " + claim +
            "/c/pic.bmp: not converted: it would write OUT/pic-reduced.bmp, " + "the output of " +
            claim + "/b/pic.png (use --tree"};
    const Case cases[] = {
        {"camera folders: the first keeps the name, the second is refused",
         {"-j", "4", "-o", "OUT", dcim},
         1,
         {{"IMG_0001-reduced.bmp", kHandWorkedResult}},
         {"pixolune-cli: " + dcim +
              "/101/IMG_0001.bmp: not converted: it would write OUT/IMG_0001-reduced.bmp, "
              "the output of " +
              dcim + "/100/IMG_0001.bmp",
          "--tree"},
         "1 file written, 0 skipped, 1 failed"},
        {"camera folders with --tree, and a named file at the top",
         {"--tree", "-o", "OUT", dcim, x},
         0,
         {{"100/IMG_0001-reduced.bmp", kHandWorkedResult},
          {"101/IMG_0001-reduced.bmp", kRedResult},
          {"x-reduced.bmp", kHandWorkedResult}},
         {},
         "3 files written, 0 skipped, 0 failed"},
        {"the same names given as files: --tree would not keep them apart",
         {"-o", "OUT", dcim + "/100/IMG_0001.bmp", dcim + "/101/IMG_0001.bmp"},
         1,
         {{"IMG_0001-reduced.bmp", kHandWorkedResult}},
         {"pixolune-cli: " + dcim +
          "/101/IMG_0001.bmp: not converted: it would write OUT/IMG_0001-reduced.bmp, "
          "the output of " +
          dcim + "/100/IMG_0001.bmp (rename one of them)\n"},
         "1 file written, 0 skipped, 1 failed"},
        {"one file by four spellings and links is converted once",
         {"-o", "OUT", "x.bmp", "./x.bmp", x, "link.bmp", "hard.bmp"},
         0,
         {{"x-reduced.bmp", kHandWorkedResult}},
         {},
         "1 file written, 0 skipped, 0 failed"},
        {"an output that is an input",
         {"-o", self, a, aReduced},
         1,
         selfAfter,
         {"pixolune-cli: " + a + ": not converted: it would write " + self +
          "/a-reduced.bmp, an input of this run"},
         "1 file written, 0 skipped, 1 failed"},
        {"an output that a link among the inputs reads",
         {"-o", self, a, alias},
         1,
         {{"a.bmp", kHandWorkedSource},
          {"a-reduced.bmp", kRedSource},
          {"alias-reduced.bmp", kRedResult},
          {"b.bmp", kHandWorkedSource}},
         {"pixolune-cli: " + a + ": not converted: it would write " + self +
          "/a-reduced.bmp, an input of this run"},
         "1 file written, 0 skipped, 1 failed"},
        {"an output that is a later input, through another spelling of the folder",
         {"-o", in + "/../self/", aReduced, self + "/./a.bmp"},
         1,
         selfAfter,
         {"an input of this run"},
         "1 file written, 0 skipped, 1 failed"},
        {"an output that a repeated spelling of its own input names",
         {"-o", self, b, bReduced},
         1,
         {{"a.bmp", kHandWorkedSource},
          {"a-reduced.bmp", kRedSource},
          {"b.bmp", kHandWorkedSource}},
         {"pixolune-cli: " + b + ": not converted: it would write " + bReduced +
          ", an input of this run"},
         "0 files written, 0 skipped, 1 failed"},
        {"a first claimant that is no picture gives the name to the next, one by one",
         {"-j", "1", "-o", "OUT", claim},
         1,
         {{"pic-reduced.bmp", kRedResult}},
         claimErrors,
         "1 file written, 0 skipped, 2 failed",
         2},
        {"a first claimant that is no picture gives the name to the next, four at once",
         {"-j", "4", "-o", "OUT", claim},
         1,
         {{"pic-reduced.bmp", kRedResult}},
         claimErrors,
         "1 file written, 0 skipped, 2 failed",
         2},
        {"a first claimant that is missing",
         {"-o", "OUT", "claim/gone/pic.bmp", "claim/c/pic.bmp"},
         1,
         {{"pic-reduced.bmp", kHandWorkedResult}},
         {"pixolune-cli: claim/gone/pic.bmp: No such file or directory"},
         "1 file written, 0 skipped, 1 failed"},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string folder = dir.Folder("out" + std::to_string(round++));
        std::vector<std::string> arguments = c.Arguments;
        for (std::string& argument : arguments)
            if (argument == "OUT") argument = folder;
        const CliRun run = RunCli(arguments, in);
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        const bool inSelf = c.Outputs.count("a.bmp") > 0;
        const std::string& checked = inSelf ? self : folder;
        EXPECT_EQ(FilesBelow(checked), c.Outputs);
        if (inSelf) {  // back as it was for the next case
            fs::remove(self + "/a-reduced-reduced.bmp");
            fs::remove(self + "/alias-reduced.bmp");
        }
        for (std::string piece : c.ErrorHolds) {
            if (const auto at = piece.find("OUT"); at != std::string::npos)
                piece.replace(at, 3, folder);
            EXPECT_NE(run.Err.find(piece), std::string::npos) << piece << "\n" << run.Err;
        }
        EXPECT_EQ(Lines(run.Err).size(), c.ErrorHolds.empty() ? 0u : c.ErrorLines) << run.Err;
        EXPECT_EQ(Lines(run.Out).at(0), c.Counts);
    }

    ::umask(previousMask);
    struct stat st {};
    ASSERT_EQ(::stat(dir.Path("out1/100").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0775u);
}

TEST_F(Cli, SkipLargerLeavesTheEarlierOutputAlone) {
    // The 1-bit drawing grows when reduced (as BMP and as JPEG); the photograph shrinks.
    const std::string drawing = std::string(PIXOLUNE_SAMPLES) + "/drawing-1bit.bmp";
    const std::string photo = std::string(PIXOLUNE_SAMPLES) + "/photo.bmp";
    const Bytes earlier(100, 0x11);
    const struct {
        bool SkipLarger, EarlierPresent;
        const char* Type;
    } cases[] = {
        {true, false, "bmp"}, {true, true, "bmp"}, {false, true, "bmp"}, {true, true, "jpg"}};
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "skip " << c.SkipLarger << ", earlier output "
                                        << c.EarlierPresent << ", " << c.Type);
        const std::string folder = dir.Folder("out" + std::to_string(round++));
        const std::string output = folder + "/drawing-1bit-reduced." + c.Type;
        struct stat before {
        }, after{};
        if (c.EarlierPresent) {
            WriteFile(output, earlier);
            ::stat(output.c_str(), &before);
        }
        std::vector<std::string> arguments = {"-t", c.Type, "-o", folder, drawing, photo};
        if (c.SkipLarger) arguments.insert(arguments.begin(), "--skip-larger");
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_TRUE(fs::exists(folder + "/photo-reduced." + c.Type));
        if (!c.SkipLarger) {
            EXPECT_EQ(SizeOf(output), 7222u);
            EXPECT_EQ(Lines(run.Out).at(0), "2 files written, 0 skipped, 0 failed");
            continue;
        }
        EXPECT_EQ(Lines(run.Out).at(0), "1 file written, 1 skipped, 0 failed");
        const std::vector<std::string> err = Lines(run.Err);
        ASSERT_EQ(err.size(), 1u) << run.Err;
        const std::string grows =
            "pixolune-cli: " + drawing + ": skipped: it would grow from 830 bytes to ";
        EXPECT_EQ(err[0].rfind(grows, 0), 0u) << err[0];
        if (c.Type == std::string("bmp")) {
            EXPECT_EQ(err[0], grows + "7.1 KB (--skip-larger)");
        }
        EXPECT_EQ(fs::exists(output), c.EarlierPresent);
        if (c.EarlierPresent) {
            ::stat(output.c_str(), &after);
            EXPECT_EQ(ReadFile(output), earlier);
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        }
    }
}

// One batch of every outcome: written (also a name that JSON must escape, and an output
// of exactly its source's size, which --skip-larger keeps), skipped, failed (also a file
// whose output cannot be written: no output bytes), refused, and a file given twice.
// --json: one object per file on stdout and nothing else there, an output only where one
// was written, the source's size in bytes_in whatever the status, a reason for every skip
// and failure; the summary on stderr counts each output once, as on disk. --verbose: one
// line per written file, and the file given twice named.
TEST_F(Cli, SummaryAndJsonTellEachFilesOutcome) {
    // 64 x 64 at 24 bpp: 12342 bytes, reduced to 5174.
    const std::string hand = Input("hand.bmp", Picture(64, 64, 1));
    const std::string weird = Input("we\"ird\\ \xc3\xa9\t.bmp", Picture(64, 64, 2));
    const std::string drawing = std::string(PIXOLUNE_SAMPLES) + "/drawing-1bit.bmp";
    const std::string missing = in + "/missing.bmp";
    const std::string again = Input("sub/hand.bmp", Picture(8, 8, 3));
    // 4 x 128 at 24 bpp: 54 + 128 x 12 bytes; at 8 bpp: 54 + 1024 + 128 x 4, the same.
    const std::string even = Input("even.bmp", Picture(4, 128, 4));
    const std::string blocked = Input("blocked.bmp", Picture(64, 64, 5));
    const std::vector<std::string> inputs = {hand,    weird,   drawing, even,
                                             blocked, missing, again,   hand};
    const std::string verboseOut = dir.Folder("verbose");
    for (const std::string& folder : {out, verboseOut})  // where the output would go
        fs::create_directory(folder + "/blocked-reduced.bmp");

    struct Expected {
        std::string Source, Output, Status;
        int Width, Height;
        bool MessageEmpty;
    };
    const std::vector<Expected> expected = {
        {hand, out + "/hand-reduced.bmp", "written", 64, 64, true},
        {weird, out + "/we\"ird\\ \xc3\xa9\t-reduced.bmp", "written", 64, 64, true},
        {drawing, "", "skipped", 96, 64, true},
        {even, out + "/even-reduced.bmp", "written", 4, 128, true},
        {blocked, "", "failed", 64, 64, false},
        {missing, "", "failed", 0, 0, false},
        {again, "", "failed", 0, 0, false},
    };

    std::vector<std::string> arguments = {"--json", "--skip-larger", "-j", "3", "-o", out};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.Status, 1);
    const std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), expected.size()) << run.Out;
    uint64_t bytesIn = 0, bytesOut = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(lines[i].c_str(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        const QJsonObject object = document.object();
        const Expected& e = expected[i];
        EXPECT_EQ(object["source"].toString().toStdString(), e.Source);
        EXPECT_EQ(object["output"].toString().toStdString(), e.Output);
        EXPECT_EQ(object["status"].toString().toStdString(), e.Status);
        EXPECT_EQ(object["message"].toString().isEmpty(), e.MessageEmpty);
        EXPECT_EQ(object["width"].toInt(), e.Width);
        EXPECT_EQ(object["height"].toInt(), e.Height);
        EXPECT_EQ(object.contains("output"), e.Status == "written");
        EXPECT_EQ(object["reason"].toString().isEmpty(), e.Status == "written");
        const auto in = uint64_t(object["bytes_in"].toInteger());
        const auto written = uint64_t(object["bytes_out"].toInteger());
        EXPECT_EQ(in, SizeOf(e.Source));
        if (e.Status == "failed") {
            EXPECT_TRUE(object["bytes_out"].isNull());
            continue;
        }
        if (e.Status == "skipped") {
            EXPECT_EQ(written, 7222u);  // what the output would have been
            EXPECT_FALSE(fs::exists(out + "/drawing-1bit-reduced.bmp"));
            continue;
        }
        EXPECT_EQ(written, SizeOf(e.Output));
        bytesIn += in;
        bytesOut += written;
    }
    EXPECT_EQ(bytesOut, 2 * 5174u + 1590u);
    EXPECT_EQ(SizeOf(even), 1590u);
    const std::vector<std::string> err = Lines(run.Err);
    ASSERT_GE(err.size(), 2u) << run.Err;
    EXPECT_EQ(err[err.size() - 2], "3 files written, 1 skipped, 3 failed");
    EXPECT_EQ(err.back(), ByteCount(bytesIn) + " in -> " + ByteCount(bytesOut) + " out, " +
                              ShareSaved(bytesIn, bytesOut));

    arguments = {"--verbose", "-o", verboseOut};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const CliRun verbose = RunCli(arguments);
    EXPECT_NE(verbose.Err.find("pixolune-cli: " + hand + ": the same file as " + hand +
                               ": converted once\n"),
              std::string::npos)
        << verbose.Err;
    // The PSNR of each written file against its source; the two-colour drawing is kept.
    const auto psnr = [&](int w, int h, int seed, const std::string& output) {
        char text[32];
        std::snprintf(text, sizeof text, ", PSNR %.2f dB (exact)",
                      PsnrOverRgb(NoisyRows(w, h, seed), ShownRows(ReadFile(output))));
        return std::string(text);
    };
    EXPECT_EQ(
        Lines(verbose.Out),
        (std::vector<std::string>{
            hand + ": 64 x 64, 12.1 KB -> 5.1 KB, 58.1% saved" +
                psnr(64, 64, 1, verboseOut + "/hand-reduced.bmp"),
            weird + ": 64 x 64, 12.1 KB -> 5.1 KB, 58.1% saved" +
                psnr(64, 64, 2, verboseOut + "/we\"ird\\ \xc3\xa9\t-reduced.bmp"),
            drawing + ": 96 x 64, 830 bytes -> 7.1 KB, 770.1% larger, "
                      "lossless (exact)",
            even + ": 4 x 128, 1.6 KB -> 1.6 KB, 0.0% saved" +
                psnr(4, 128, 4, verboseOut + "/even-reduced.bmp"),
            "4 files written, 0 skipped, 3 failed", "26.5 KB in -> 18.7 KB out, 29.3% saved"}));
}

// The number of the batch file bN.bmp that process pid has open, or -1 (its
// open files, as /proc lists them).
int OpenBatchFile(pid_t pid) {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(fd.path(), error).string();
        const std::size_t at = target.rfind("/big/b");
        if (!error && at != std::string::npos) return std::atoi(target.c_str() + at + 6);
    }
    return -1;
}

// Whether signal is pending for process pid as a whole: sent, not yet taken.
bool Pending(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("ShdPnd:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// A large batch stopped by signals: the files being converted finish (or, after a second
// Ctrl+C, are abandoned at once), and no temporary or partial file is ever left. The
// signals are sent once a file is seen being read, the program held still meanwhile
// (SIGSTOP): whatever the machine's load, the files before it and, but after a second
// Ctrl+C, that file are the ones written. For a second Ctrl+C its stdout is a full pipe
// no one reads, so it cannot finish on its own: it must end without printing. A signal
// ignored when the program starts (as nohup starts it) stays ignored: the run goes on.
TEST_F(Cli, SignalsStopTheBatchAndLeaveNoTemporaryFile) {
    constexpr int kWidth = 2000, kHeight = 1500, kFiles = 10;
    BmpLayout layout{kWidth, kHeight};
    layout.Pixels.resize(std::size_t(kWidth) * 3 * kHeight);
    uint32_t x = 2463534242u;
    for (uint8_t& byte : layout.Pixels) x ^= x << 13, x ^= x >> 17, x ^= x << 5, byte = uint8_t(x);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        layout.Pixels[0] = uint8_t(i);
        files.push_back(Input("big/b" + std::to_string(i) + ".bmp", BuildBmp(layout)));
    }
    const uint64_t outputSize = 54 + 1024 + uint64_t(kWidth) * kHeight;

    const struct {
        std::vector<int> Signals;
        int Status;
        int Ignored = 0;  // a signal ignored when the program starts
    } cases[] = {{{SIGINT}, 130}, {{SIGTERM}, 143}, {{SIGINT, SIGINT}, 130}, {{SIGHUP}, 0, SIGHUP}};
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Signals));
        const std::string folder = dir.Folder("stopped" + std::to_string(round++));
        std::vector<std::string> arguments = {PIXOLUNE_CLI, "--json", "-j", "1", "-o", folder};
        arguments.insert(arguments.end(), files.begin(), files.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);

        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const bool again = c.Signals.size() > 1;
        if (again) {  // filled up, then blocking again for the program
            ASSERT_EQ(::fcntl(pipeFds[1], F_SETFL, O_NONBLOCK), 0);
            const std::string filler(4096, 'x');
            while (::write(pipeFds[1], filler.data(), filler.size()) > 0) {
            }
            ASSERT_EQ(::fcntl(pipeFds[1], F_SETFL, 0), 0);
        }
        struct sigaction ignore {
        }, previous{};
        ignore.sa_handler = SIG_IGN;
        if (c.Ignored) ::sigaction(c.Ignored, &ignore, &previous);  // kept across exec
        const std::string errPath = dir.Path("err" + std::to_string(round));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, PIXOLUNE_CLI, &actions, nullptr, argv.data(), environ), 0);
        if (c.Ignored) ::sigaction(c.Ignored, &previous, nullptr);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);

        int reading = -1;
        for (int tries = 0; (reading = OpenBatchFile(pid)) < 0; ++tries) {
            ASSERT_LT(tries, 1200000) << "no file is ever read";
            ::usleep(100);
        }
        ::kill(pid, SIGSTOP);
        // Read before it stopped, or the next one already.
        const int seen = std::max(reading, OpenBatchFile(pid));
        ::kill(pid, c.Signals[0]);
        ::kill(pid, SIGCONT);
        if (again) {  // once the first is taken: a second one of a kind is no repeat
            for (int tries = 0; Pending(pid, c.Signals[0]); ++tries) {
                ASSERT_LT(tries, 1200000) << "the signal is never taken";
                ::usleep(100);
            }
            ::kill(pid, c.Signals[1]);
        }

        // Reads what the program prints until it closes stdout, or (its stdout full) waits
        // for its end; a guard against a hang.
        std::string json;
        int status = 0;
        for (int tries = 0; again && ::waitpid(pid, &status, WNOHANG) == 0; ++tries) {
            if (tries == 120000) {
                ::kill(pid, SIGKILL);
                ADD_FAILURE() << "not ended at once";
            }
            ::usleep(1000);
        }
        while (!again) {
            pollfd fd{pipeFds[0], POLLIN, 0};
            if (::poll(&fd, 1, 120000) != 1) {
                ::kill(pid, SIGKILL);
                ADD_FAILURE() << "no end in sight";
                break;
            }
            char buffer[4096];
            const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            json.append(buffer, std::size_t(got));
        }
        ::close(pipeFds[0]);
        if (!again) {
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        }
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.Status) << ReadText(errPath);

        const std::set<std::string> names = FileNames(folder);
        ASSERT_LT(seen, kFiles - 1) << "the batch ended before it could be stopped";
        std::set<std::string> expected;
        for (int i = 0; i <= (c.Ignored ? kFiles - 1 : seen); ++i)
            expected.insert("b" + std::to_string(i) + "-reduced.bmp");
        const std::string err = ReadText(errPath);
        if (!again) {
            EXPECT_EQ(names, expected);
        } else {  // the file in work abandoned, unless it was done before the second signal
            std::set<std::string> abandoned = expected;
            abandoned.erase("b" + std::to_string(seen) + "-reduced.bmp");
            EXPECT_TRUE(names == expected || names == abandoned) << testing::PrintToString(names);
            EXPECT_EQ(err, "Interrupted again: stopped at once.\n");
        }
        for (const std::string& name : names) {
            EXPECT_NE(name[0], '.') << "a temporary file is left: " << name;
            EXPECT_EQ(SizeOf(folder + "/" + name), outputSize) << name;
        }
        if (!again) {  // the file being converted finished and was reported
            EXPECT_EQ(err.find("Interrupted: ") != std::string::npos, !c.Ignored) << err;
            // Every file has its object: the written ones, and the rest not started.
            const std::vector<std::string> objects = Lines(json);
            ASSERT_EQ(objects.size(), std::size_t(kFiles)) << json;
            const int written = c.Ignored ? kFiles - 1 : seen;
            const std::string reason = std::string("the run was stopped (") +
                                       (c.Signals[0] == SIGTERM ? "SIGTERM" : "SIGINT") +
                                       ") before it was started";
            for (int i = 0; i < kFiles; ++i) {
                const QJsonObject object = QJsonDocument::fromJson(objects[i].c_str()).object();
                EXPECT_EQ(object["source"].toString().toStdString(), files[i]);
                EXPECT_EQ(object["status"].toString(), i <= written ? "written" : "not-started");
                EXPECT_EQ(object["reason"].toString().toStdString(), i <= written ? "" : reason);
            }
            if (!c.Ignored) {
                const int notStarted = kFiles - seen - 1;
                EXPECT_NE(err.find("Interrupted: " + std::to_string(notStarted) +
                                   (notStarted == 1 ? " file" : " files") + " of 10 not started\n"),
                          std::string::npos)
                    << err;
            }
        }
    }
}

// Hidden temporaries that a killed run left in the output folder (where files could
// not be written unnamed) are removed by the next run into it; other hidden files stay.
TEST_F(Cli, ARunRemovesTheStaleTemporariesOfItsOutputFolder) {
    const std::string source = Input("photo.bmp", kHandWorkedSource);
    for (const std::string name : {".photo-reduced.bmp.k3j2h1", ".notes.txt.k3j2h1"}) {
        const std::string path = dir.File("out/" + name, 0644, "partial");
        const timespec old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    }
    EXPECT_EQ(RunCli({"--quiet", "-o", out, source}).Status, 0);
    EXPECT_EQ(FileNames(out), (std::set<std::string>{".notes.txt.k3j2h1", "photo-reduced.bmp"}));
}

}  // namespace

// window_vs_cli: what one small file costs in the window's "Start Reducing"
// against pixolune-cli -j 1 on the same files, in paired rounds.
//
//   window_vs_cli [-n ROUNDS] [-f FILES] [-s SIDE] [--cli PATH] [--scratch DIR]
//
// The window is the real Form1, shown on the offscreen platform when no other
// is asked for, over dialogs that answer every box at once and a settings
// store of its own in the scratch folder. A round times PushButton2_Click
// over the list (in process) and one whole pixolune-cli process over the same
// files, the first of the two alternating from round to round, after one
// round that is not counted. Both write BMP files into the scratch folder
// (/dev/shm where there is one); their bytes are compared once. Prints each
// round's per-file cost of both and their ratio, then the median ratio, in
// wall time and in CPU time (user and system, the CLI's whole process): on a
// shared machine the CPU time does not count the waits for a core that other
// work causes, so it moves less from run to run.

#include "Dialogs.h"
#include "Form1.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Options {
    int Rounds = 7;
    int Files = 2000;
    int Side = 16;
    std::string Cli = PIXOLUNE_CLI;
    std::string Scratch;
};

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr,
                 "window_vs_cli: %s\nusage: window_vs_cli [-n ROUNDS] [-f FILES] "
                 "[-s SIDE] [--cli PATH] [--scratch DIR]\n",
                 problem);
    std::exit(2);
}

int Positive(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1 || value > 1000000) Usage("a count must be a positive number");
    return static_cast<int>(value);
}

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) Usage(("missing value after " + option).c_str());
        const char* value = argv[++i];
        if (option == "-n")
            options.Rounds = Positive(value);
        else if (option == "-f")
            options.Files = Positive(value);
        else if (option == "-s")
            options.Side = Positive(value);
        else if (option == "--cli")
            options.Cli = value;
        else if (option == "--scratch")
            options.Scratch = value;
        else
            Usage(("unknown option " + option).c_str());
    }
    return options;
}

// Answers every box with OK and remembers the last text ("Done." after a run).
class cQuietDialogs final : public cDialogs {
public:
    std::vector<std::string> Texts;
    MsgAnswer MsgBox(const std::string& text, const std::string&, MsgButtons, MsgIcon) override {
        Texts.push_back(text);
        return MsgAnswer::OK;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::string BrowseForFolder(const std::string&, const std::string&) override { return {}; }
    std::vector<std::string> GetOpenFileNames(const std::string&, const std::string&) override {
        return {};
    }
    void OpenUrl(const std::string&) override {}
    bool OpenFolder(const std::string&) override { return false; }
};

void Put32(std::vector<char>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// A 24-bit BMP of side x side pixels in colours of its own.
void WriteSmallBmp(const fs::path& path, int side, std::mt19937& random) {
    const uint32_t stride = (static_cast<uint32_t>(side) * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(side);
    std::vector<char> bytes{'B', 'M'};
    Put32(bytes, 54 + pixelBytes);
    Put32(bytes, 0);
    Put32(bytes, 54);
    Put32(bytes, 40);
    Put32(bytes, static_cast<uint32_t>(side));
    Put32(bytes, static_cast<uint32_t>(side));
    Put32(bytes, 1 | 24 << 16);  // one plane, 24 bits
    for (int i = 0; i < 6; ++i) Put32(bytes, 0);
    const uint32_t base = random();
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < 3; ++c)
                bytes.push_back(static_cast<char>((base >> (8 * c)) + x * (c + 3) + y * (5 - c) +
                                                  (random() & 15)));
        bytes.insert(bytes.end(), stride - static_cast<uint32_t>(side) * 3, '\0');
    }
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double CpuSeconds(const rusage& usage) {
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// What one side of a round took.
struct Cost {
    double Wall = 0;
    double Cpu = 0;
};

// One whole pixolune-cli process, start-up included; stops the program when it fails.
Cost TimeCli(const Options& options, const fs::path& out, const std::vector<std::string>& files) {
    std::vector<std::string> arguments{options.Cli, "-j",  "1",  "-q",         "85",
                                       "-t",        "bmp", "-o", out.string(), "--"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    int status = 0;
    rusage usage{};
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
        wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "window_vs_cli: %s failed\n", options.Cli.c_str());
        std::exit(1);
    }
    const Cost cost{Seconds(start), CpuSeconds(usage)};
    posix_spawn_file_actions_destroy(&actions);
    return cost;
}

Cost TimeWindow(Form1& form, cQuietDialogs& dialogs) {
    dialogs.Texts.clear();
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    form.PushButton2_Click();
    const Cost cost{Seconds(start), ProcessCpuSeconds() - cpuBefore};
    if (dialogs.Texts != std::vector<std::string>{"Done."}) {
        std::fprintf(stderr, "window_vs_cli: the window's run said %s\n",
                     dialogs.Texts.empty() ? "nothing" : dialogs.Texts.front().c_str());
        std::exit(1);
    }
    return cost;
}

// Every output of the window's folder is in the CLI's with the same bytes.
bool SameOutputs(const fs::path& window, const fs::path& cli, int files) {
    int compared = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(window)) {
        std::ifstream a(entry.path(), std::ios::binary),
            b(cli / entry.path().filename(), std::ios::binary);
        const std::string bytesA{std::istreambuf_iterator<char>(a), {}};
        const std::string bytesB{std::istreambuf_iterator<char>(b), {}};
        if (bytesA.empty() || bytesA != bytesB) return false;
        ++compared;
    }
    return compared == files;
}

std::string ScratchFolder(const std::string& asked) {
    if (!asked.empty()) return asked;
    std::string pattern =
        (fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string()) +
        "/pixolune-window-vs-cli.XXXXXX";
    if (!mkdtemp(pattern.data())) Usage("cannot make a scratch folder");
    return pattern;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    const fs::path scratch = ScratchFolder(options.Scratch);
    const fs::path in = scratch / "in", windowOut = scratch / "window", cliOut = scratch / "cli";
    for (const fs::path& folder : {in, windowOut, cliOut, scratch / "settings"})
        fs::create_directories(folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString((scratch / "settings").string()));

    std::mt19937 random(20);
    std::vector<std::string> files;
    for (int i = 0; i < options.Files; ++i) {
        const fs::path file = in / (std::to_string(i) + ".bmp");
        WriteSmallBmp(file, options.Side, random);
        files.push_back(file.string());
    }

    cQuietDialogs dialogs;
    Form1 form(dialogs);
    form.RandomPercent = [] { return 1; };  // the home page never opens
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    for (const std::string& file : files) form.AppendListItem(file);
    form.Option1->click();
    form.Text1->setText(QString::fromStdString(windowOut.string() + "/"));

    std::printf("window_vs_cli: %d files of %d x %d pixels, %d rounds, on %s (load %s)\n",
                options.Files, options.Side, options.Side, options.Rounds,
                QApplication::platformName().toStdString().c_str(), [] {
                    static char load[32] = "?";
                    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
                        if (std::fscanf(f, "%31s", load) != 1) load[0] = '\0';
                        std::fclose(f);
                    }
                    return load;
                }());
    std::printf(
        "round\twindow ms/file\tcli ms/file\twindow/cli\t"
        "window cpu ms/file\tcli cpu ms/file\twindow/cli cpu\n");
    std::vector<double> ratios, cpuRatios;
    for (int round = 0; round <= options.Rounds; ++round) {
        Cost window, cli;
        if (round % 2 == 0) {
            window = TimeWindow(form, dialogs);
            cli = TimeCli(options, cliOut, files);
        } else {
            cli = TimeCli(options, cliOut, files);
            window = TimeWindow(form, dialogs);
        }
        if (round == 0) {
            if (!SameOutputs(windowOut, cliOut, options.Files)) {
                std::fprintf(stderr, "window_vs_cli: the window's outputs differ from the CLI's\n");
                return 1;
            }
            continue;  // page cache, first creation of the outputs
        }
        ratios.push_back(window.Wall / cli.Wall);
        cpuRatios.push_back(window.Cpu / cli.Cpu);
        const double perFile = 1e3 / options.Files;
        std::printf("%d\t%.3f\t%.3f\t%.2f\t%.3f\t%.3f\t%.2f\n", round, window.Wall * perFile,
                    cli.Wall * perFile, ratios.back(), window.Cpu * perFile, cli.Cpu * perFile,
                    cpuRatios.back());
    }
    for (auto [name, values] : {std::pair{"wall", &ratios}, {"cpu", &cpuRatios}}) {
        std::sort(values->begin(), values->end());
        std::printf("median window/cli (%s): %.2f (lowest %.2f, highest %.2f)\n", name,
                    (*values)[values->size() / 2], values->front(), values->back());
    }
    if (options.Scratch.empty()) fs::remove_all(scratch);
    return 0;
}

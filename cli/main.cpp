// pixolune-cli: reduces image files to 8-bit BMP or JPEG files from the
// command line, the way the window's "Start Reducing" does.

#include "BatchRun.h"
#include "CliOptions.h"
#include "ExitStatus.h"
#include "InputFiles.h"
#include "MainPaths.h"
#include "Messages.h"
#include "OutputPlan.h"
#include "QuietStderr.h"
#include "ReplacementFile.h"
#include "Reporter.h"
#include "SignalWatch.h"
#include "WildcardMatch.h"
#include "mDither8bpp.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <set>

#include <malloc.h>
#include <unistd.h>

namespace {

// A batch allocates the same large blocks for every file (the decoded
// picture, the 8-bit result). By default glibc hands them back to the system
// after each file, and the next file faults them in and clears them again;
// with two workers the unmapping also stalls the other core (TLB flushes),
// which ate most of what the second worker gained. Kept in the process, the
// blocks are reused; pixel memory of 4 MB and more (mapped on its own by the
// loader and by cDIB) is not affected. The price: memory freed in a batch
// stays with the process until it ends.
void KeepFreedBlocksForTheNextFile() {
    constexpr int kThreshold = 256 << 20;
    mallopt(M_MMAP_THRESHOLD, kThreshold);
    mallopt(M_TRIM_THRESHOLD, kThreshold);
}

int Exit(ExitStatus status) { return static_cast<int>(status); }

// Thrown out of the folder walk once a signal asked the run to stop.
struct WalkStopped {};

// Removes from the folders this run writes into the hidden temporary files
// that killed runs left where files cannot be written unnamed.
void RemoveStaleTemporaries(const std::vector<PlannedFile>& files, time_t started) {
    std::set<std::string> folders;
    for (const PlannedFile& file : files)
        folders.insert(file.Output.substr(0, file.Output.find_last_of('/')));
    for (const std::string& folder : folders)
        cReplacementFile::RemoveStaleTemporaries(folder, started);
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedBlocksForTheNextFile();  // before anything is allocated
    const time_t started = std::time(nullptr);

    CliOptions options;
    try {
        options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "pixolune-cli: %s\nTry 'pixolune-cli --help' for more information.\n",
                     error.what());
        return Exit(ExitStatus::Usage);
    }
    if (options.Help) {
        std::fputs(UsageText().c_str(), stdout);
        return Exit(ExitStatus::AllWritten);
    }
    if (options.Version) {
        std::printf("pixolune-cli %s\n", PIXOLUNE_VERSION);
        return Exit(ExitStatus::AllWritten);
    }
    if (!FolderExists(options.OutputFolder)) {
        std::fprintf(stderr, "%s\n", kFolderMissing);
        return Exit(ExitStatus::Usage);
    }

    // A reader of --json that goes away must not end the run half-way.
    std::signal(SIGPIPE, SIG_IGN);
    SignalWatch signals;  // before the walk, which a signal may cut short
    const ReportStyle style{options.Quiet, ::isatty(STDERR_FILENO) == 1, options.Verbose,
                            options.Json};

    WalkHooks hooks;
    hooks.Yield = [&] {
        if (signals.Stop()) throw WalkStopped{};
    };
    std::vector<InputFile> inputs;
    try {
        inputs = ExpandInputs(options.Paths,
                              ExtensionPattern(options.Extension.empty() ? "*" : options.Extension),
                              hooks);
    } catch (const WalkStopped&) {
        if (!options.Quiet)
            std::fputs("Interrupted while the folders were listed: no file converted\n", stderr);
        return Exit(StatusForSignal(signals.Signal()));
    }
    if (inputs.empty()) {
        if (!options.Quiet) std::fprintf(stderr, "%s\n", kNoFilesAdded);
        return Exit(ExitStatus::AllWritten);
    }

    BatchSettings settings;
    settings.OutputFolder = WithoutTrailingSlashes(options.OutputFolder);
    settings.Type = options.Type;
    settings.Quality = options.Quality;
    // Measured only where it is shown.
    settings.Choice = {options.Mapping, options.Verbose || options.Json};
    settings.Workers = options.Jobs;
    settings.SkipLarger = options.SkipLarger;
    const std::vector<PlannedFile> files =
        PlanOutputs(inputs, {settings.OutputFolder, settings.Type, options.Tree});

    RemoveStaleTemporaries(files, started);
    // Shared, and built here before any worker starts.
    mDither8bpp::InitDitherTables();

    QuietStderr quiet;
    signals.SetMessages(::fileno(quiet.Messages()));
    Reporter reporter(stdout, quiet.Messages(), files.size(), style);
    RunBatch(files, settings,
             {[&](std::size_t index) { reporter.Working(index, files[index].Source); },
              [&](std::size_t index, const ReduceResult& result) {
                  reporter.Finished(files[index].Source, result);
              }},
             signals.Stop());
    const int signal = signals.Signal();
    reporter.Summary(signal != 0);
    if (signal != 0) return Exit(StatusForSignal(signal));
    return Exit(reporter.Failed() == 0 ? ExitStatus::AllWritten : ExitStatus::SomeFailed);
}

// pixolune-cli: reduces image files to 8-bit BMP or JPEG files from the
// command line, the way the window's "Start Reducing" does.

#include "BandPool.h"
#include "BatchRun.h"
#include "CliMessages.h"
#include "CliOptions.h"
#include "ExitStatus.h"
#include "FileWork.h"
#include "InputFiles.h"
#include "MainPaths.h"
#include "NameList.h"
#include "OutputPlan.h"
#include "PipeRun.h"
#include "QuietStderr.h"
#include "ReplacementFile.h"
#include "Reporter.h"
#include "SignalWatch.h"
#include "WildcardMatch.h"
#include "mDither8bpp.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>

#include <malloc.h>
#include <sys/stat.h>
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

void PrintLine(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

// Thrown out of the folder walk once a signal asked the run to stop.
struct WalkStopped {};

// Removes from the folders this run writes into the hidden temporary files
// that killed runs left where files cannot be written unnamed.
void RemoveStaleTemporaries(const std::vector<PlannedFile>& files, time_t started) {
    std::set<std::string> folders;
    for (const PlannedFile& file : files)
        if (!file.Output.empty())
            folders.insert(file.Output.substr(0, file.Output.find_last_of('/')));
    for (const std::string& folder : folders)
        cReplacementFile::RemoveStaleTemporaries(folder, started);
}

// The errno that keeps path from being the output folder; 0 when it is a folder.
int OutputFolderError(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// What the walk left out (with --verbose) and the folder arguments that gave
// nothing (unless --quiet).
void PrintNotes(const std::vector<WalkNote>& notes, const CliOptions& options) {
    for (const WalkNote& note : notes) {
        if (note.Kind == WalkNoteKind::NoFile) {
            if (!options.Quiet) PrintLine(MessageLine(note.Path, NoFileNote()));
        } else if (options.Verbose) {
            PrintLine(MessageLine(note.Path, note.Kind == WalkNoteKind::OutputFolder
                                                 ? OutputFolderNote()
                                                 : OutputNameNote()));
        }
    }
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
    // A reader that goes away (of --json, of a picture on standard output)
    // must not end the run half-way.
    std::signal(SIGPIPE, SIG_IGN);
    if (options.Piped()) {
        parallel::StartBandThreads();  // while the picture is read, not when it is planned
        return Exit(RunPipe(options));
    }

    if (const int error = OutputFolderError(options.OutputFolder)) {
        PrintLine(MessageLine(options.OutputFolder,
                              std::string("cannot write into it: ") + std::strerror(error)));
        return Exit(ExitStatus::Usage);
    }
    std::vector<std::string> paths = options.Paths;
    for (const std::string& list : options.FilesFrom)  // before the watch: a terminal may be read
        if (const int error = ReadNameList(list, options.NullSeparated, paths)) {
            PrintLine(MessageLine(list == "-" ? kStandardInput : list,
                                  std::string("cannot read the list: ") + std::strerror(error)));
            return Exit(ExitStatus::Usage);
        }

    SignalWatch signals;  // before the walk, which a signal may cut short
    // While the files are looked for and opened, not when the first one is
    // planned; after the watch, whose signals a thread started before it
    // would take.
    parallel::StartBandThreads();
    const ReportStyle style{options.Quiet, ::isatty(STDERR_FILENO) == 1, options.Verbose,
                            options.Json, options.DryRun};
    const std::string outputFolder = WithoutTrailingSlashes(options.OutputFolder);

    WalkHooks hooks;
    hooks.Yield = [&] {
        if (signals.Stop()) throw WalkStopped{};
    };
    InputList inputs;
    try {
        inputs = ExpandInputs(paths,
                              ExtensionPattern(options.Extension.empty() ? "*" : options.Extension),
                              {outputFolder, options.IncludeReduced ? "" : options.Suffix}, hooks);
    } catch (const WalkStopped&) {
        if (!options.Quiet)
            PrintLine(ProgramLine("interrupted while the folders were listed: no file converted"));
        return Exit(StatusForSignal(signals.Signal()));
    }
    PrintNotes(inputs.Notes, options);
    if (inputs.Files.empty()) {
        PrintLine(ProgramLine("no file to convert"));
        return Exit(ExitStatus::SomeFailed);
    }

    const OutputPlan plan =
        PlanOutputs(inputs.Files, {outputFolder, options.Type, options.Tree, options.Suffix});
    if (options.Verbose)
        for (const MergedInput& merged : plan.Merged)
            PrintLine(MessageLine(merged.Path, SameFileNote(merged.SameAs)));
    const std::vector<PlannedFile>& files = plan.Files;

    if (!options.DryRun) RemoveStaleTemporaries(files, started);
    // Shared, and built here before any worker starts.
    mDither8bpp::InitDitherTables();

    WorkSettings work;
    work.OutputFolder = outputFolder;
    work.Type = options.Type;
    work.Quality = options.Quality;
    // The error is measured only where it is shown.
    work.Choice = {options.Mapping, options.Verbose || options.Json, options.MaxPixels};
    work.Sizes = options.Sizes;
    work.SkipExisting = options.SkipExisting;
    const FileWork fileWork = [&](const PlannedFile& file) {
        return options.DryRun ? PlanOnly(file, work) : ConvertPlanned(file, work);
    };

    QuietStderr quiet;
    signals.SetMessages(::fileno(quiet.Messages()));
    Reporter reporter(stdout, quiet.Messages(), files.size(), style);
    RunBatch(files, {options.Jobs, options.Tree}, fileWork,
             {[&](std::size_t index) { reporter.Waiting(index, files[index].Source); },
              [&](std::size_t index, const FileOutcome& outcome) {
                  if (outcome.Status != FileStatus::NotStarted)
                      return reporter.Finished(files[index].Source, outcome);
                  FileOutcome stopped = outcome;
                  stopped.Reason = NotStartedReason(signals.Signal());
                  reporter.Finished(files[index].Source, stopped);
              }},
             signals.Stop());
    const int signal = signals.Signal();
    reporter.Summary(signal != 0);
    if (signal != 0) return Exit(StatusForSignal(signal));
    return Exit(reporter.Failed() == 0 ? ExitStatus::AllWritten : ExitStatus::SomeFailed);
}

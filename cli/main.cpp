// pixolune-cli: reduces image files to 8-bit BMP or JPEG files from the
// command line, the way the window's "Start Reducing" does.

#include "BatchRun.h"
#include "CliOptions.h"
#include "InputFiles.h"
#include "MainPaths.h"
#include "Messages.h"
#include "QuietStderr.h"
#include "Reporter.h"
#include "mDither8bpp.h"

#include <cstdio>
#include <thread>

#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int kAllWritten = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;

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

unsigned DefaultWorkers() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedBlocksForTheNextFile();  // before anything is allocated

    CliOptions options;
    try {
        options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "pixolune-cli: %s\nTry 'pixolune-cli --help' for more information.\n",
                     error.what());
        return kUsageError;
    }
    if (options.Help) {
        std::fputs(UsageText().c_str(), stdout);
        return kAllWritten;
    }
    if (options.Version) {
        std::printf("pixolune-cli %s\n", PIXOLUNE_VERSION);
        return kAllWritten;
    }
    if (!FolderExists(options.OutputFolder)) {
        std::fprintf(stderr, "%s\n", kFolderMissing);
        return kUsageError;
    }

    const std::vector<std::string> files = ExpandInputs(options.Paths, options.Extension);
    if (files.empty()) {
        if (!options.Quiet) std::fprintf(stderr, "%s\n", kNoFilesAdded);
        return kAllWritten;
    }

    mDither8bpp::InitDitherTables();  // shared, read-only once built: before any worker starts

    BatchSettings settings;
    settings.OutputFolder = WithoutTrailingSlashes(options.OutputFolder);
    settings.Type = options.Type;
    settings.Quality = options.Quality;
    settings.Workers = options.Jobs == 0 ? DefaultWorkers() : options.Jobs;

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    QuietStderr quiet;
    Reporter reporter(quiet.Messages(), files.size(), options.Quiet, terminal);
    RunBatch(files, settings,
             {[&](std::size_t index) { reporter.Working(index, files[index]); },
              [&](std::size_t index, const ReduceResult& result) {
                  reporter.Finished(files[index], result);
              }});
    reporter.Summary();
    return reporter.Failed() == 0 ? kAllWritten : kSomeFailed;
}

// pixolune-cli: reduces image files to 8-bit BMP or JPEG files from the
// command line, the way the window's "Start Reducing" does.

#include "BatchRun.h"
#include "CliOptions.h"
#include "InputFiles.h"
#include "MainPaths.h"
#include "QuietStderr.h"
#include "Reporter.h"
#include "mDither8bpp.h"

#include <cstdio>
#include <thread>

#include <unistd.h>

namespace {

constexpr int kAllWritten = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;

unsigned DefaultWorkers() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

}  // namespace

int main(int argc, char** argv) {
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
        std::fputs("Folder does not exist. Please select another folder.\n", stderr);
        return kUsageError;
    }

    const std::vector<std::string> files = ExpandInputs(options.Paths, options.Extension);
    if (files.empty()) {
        if (!options.Quiet) std::fputs("No files added.\n", stderr);
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

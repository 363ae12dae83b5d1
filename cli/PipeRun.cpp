#include "PipeRun.h"

#include "CliMessages.h"
#include "FileWork.h"
#include "PictureLoader.h"
#include "QuietStderr.h"
#include "Reporter.h"
#include "mDither8bpp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace {

// Standard input to its end; errno of a read that failed.
int ReadAll(std::vector<uint8_t>& bytes) {
    uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

FileOutcome Planned(const std::vector<uint8_t>& bytes, const CliOptions& options) {
    ReduceResult failed;
    failed.OutputPath = kStandardOutput;
    failed.BytesIn = bytes.size();
    try {
        const PictureHead head = PictureHeadInMemory(bytes, kStandardInput, options.MaxPixels);
        FileOutcome outcome;
        outcome.Status = FileStatus::Planned;
        outcome.Output = kStandardOutput;
        outcome.BytesIn = head.FileBytes;
        outcome.Width = static_cast<int32_t>(head.Width);
        outcome.Height = static_cast<int32_t>(head.Height);
        outcome.Mapping = options.Mapping;
        if (options.Type == OutputType::BMP && head.Width > 0)
            outcome.BytesOut = ReducedBmpBytes(head.Width, head.Height);
        return outcome;
    } catch (...) {
        RecordFailure(failed, ReduceStep::Load);
    }
    return OutcomeOf(failed);
}

}  // namespace

ExitStatus RunPipe(const CliOptions& options) {
    if (!options.DryRun && ::isatty(STDOUT_FILENO) == 1) {
        std::fprintf(stderr,
                     "pixolune-cli: standard output is a terminal: send the picture to a file "
                     "or a pipe\n");
        return ExitStatus::Usage;
    }
    std::vector<uint8_t> bytes;
    if (const int error = ReadAll(bytes)) {
        std::fprintf(
            stderr, "%s\n",
            MessageLine(kStandardInput, std::string("cannot read it: ") + std::strerror(error))
                .c_str());
        return ExitStatus::SomeFailed;
    }

    const ReportStyle style{options.Quiet, false, options.Verbose, false, options.DryRun};
    FileOutcome outcome;
    QuietStderr quiet;
    if (options.DryRun) {
        outcome = Planned(bytes, options);
    } else {
        mDither8bpp::InitDitherTables();
        outcome = OutcomeOf(ReduceInMemory(bytes, kStandardInput, STDOUT_FILENO, kStandardOutput,
                                           options.Type, options.Quality,
                                           {options.Mapping, options.Verbose, options.MaxPixels}));
    }
    Reporter reporter(quiet.Messages(), quiet.Messages(), 1, style);
    reporter.Finished(kStandardInput, outcome);
    return reporter.Failed() == 0 ? ExitStatus::AllWritten : ExitStatus::SomeFailed;
}

#include "FileWork.h"

#include "CliMessages.h"
#include "PictureLoader.h"
#include "cError.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/stat.h>

namespace {

// Whether anything has the name path: a file, a folder, a link (dangling too).
bool EntryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Makes each missing folder of subFolder below folder, with the rights the
// user's umask leaves of 0777, as for any folder the user's programs make.
void MakeSubFolders(const std::string& folder, const std::string& subFolder) {
    std::string path = folder;
    for (std::string::size_type start = 0; start < subFolder.size();) {
        std::string::size_type end = subFolder.find('/', start);
        if (end == std::string::npos) end = subFolder.size();
        path.push_back('/');
        path.append(subFolder, start, end - start);
        start = end + 1;
        if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            const std::string reason =
                "cannot make the folder " + path + ": " + std::strerror(errno);
            throw cError(ErrorNumber::PathFileAccess, reason, reason);
        }
    }
}

FileOutcome Started(const PlannedFile& file, uint64_t bytesIn) {
    FileOutcome outcome;
    outcome.Output = file.Output;
    outcome.BytesIn = bytesIn;
    return outcome;
}

FileOutcome Skipped(FileOutcome outcome, std::string reason, bool holdsOutput) {
    outcome.Status = FileStatus::Skipped;
    outcome.Reason = std::move(reason);
    outcome.HoldsOutput = holdsOutput;
    return outcome;
}

// The outcomes decided before a file is read: refused, or its output there.
std::optional<FileOutcome> DecidedUnread(const PlannedFile& file, const WorkSettings& settings) {
    if (!file.Refusal.empty()) {
        FileOutcome refused = Started(file, SourceFileSize(file.Source));
        refused.Status = FileStatus::Failed;
        refused.Reason = file.Refusal;
        return refused;
    }
    if (settings.SkipExisting && EntryExists(file.Output))
        return Skipped(Started(file, SourceFileSize(file.Source)), OutputExistsReason(file.Output),
                       false);
    return std::nullopt;
}

// The file's headers, with the BMP output's size where they tell it.
FileOutcome FromHead(const PlannedFile& file, const PictureHead& head, OutputType type) {
    FileOutcome outcome = Started(file, head.FileBytes);
    outcome.Width = static_cast<int32_t>(head.Width);
    outcome.Height = static_cast<int32_t>(head.Height);
    if (type == OutputType::BMP && head.Width > 0)
        outcome.BytesOut = ReducedBmpBytes(head.Width, head.Height);
    return outcome;
}

}  // namespace

FileOutcome OutcomeOf(const ReduceResult& result) {
    FileOutcome outcome;
    outcome.Output = result.OutputPath;
    outcome.BytesIn = result.BytesIn;
    outcome.Width = result.Width;
    outcome.Height = result.Height;
    outcome.Mapping = result.Mapping;
    outcome.Error = result.Error;
    switch (result.Status) {
    case ReduceStatus::Written:
        outcome.Status = FileStatus::Written;
        outcome.HoldsOutput = true;
        outcome.BytesOut = result.BytesOut;
        break;
    case ReduceStatus::Skipped:
        outcome.Status = FileStatus::Skipped;
        outcome.BytesOut = result.BytesOut;
        break;
    case ReduceStatus::Failed:
        outcome.Status = FileStatus::Failed;
        outcome.Reason = FailureReason(result);
        break;
    }
    return outcome;
}

FileOutcome ConvertPlanned(const PlannedFile& file, const WorkSettings& settings) {
    if (std::optional<FileOutcome> decided = DecidedUnread(file, settings)) return *decided;
    if (settings.Sizes.Active() && settings.Type == OutputType::BMP) {
        try {  // a file that cannot be read fails below, in the conversion's words
            const PictureHead head = ReadPictureHead(file.Source, settings.Choice.MaxPixels);
            FileOutcome known = FromHead(file, head, settings.Type);
            known.Mapping = settings.Choice.Mapping;
            if (known.BytesOut && settings.Sizes.Skips(known.BytesIn, *known.BytesOut))
                return Skipped(known, settings.Sizes.Reason(known.BytesIn, *known.BytesOut), true);
        } catch (...) {
        }
    }

    std::string skipReason;
    bool holdsOutput = true;  // skipped for its size: converted, the name is its own
    const auto check = [&](const ReduceResult& planned) {
        if (settings.Sizes.Skips(planned.BytesIn, planned.BytesOut)) {
            skipReason = settings.Sizes.Reason(planned.BytesIn, planned.BytesOut);
            return false;
        }
        if (settings.SkipExisting && EntryExists(file.Output)) {  // made while it was converted
            skipReason = OutputExistsReason(file.Output);
            holdsOutput = false;
            return false;
        }
        MakeSubFolders(settings.OutputFolder, file.SubFolder);
        return true;
    };
    const ReduceResult result = ReduceFile(file.Source, file.Output, settings.Type,
                                           settings.Quality, check, settings.Choice);
    FileOutcome outcome = OutcomeOf(result);
    if (outcome.Status == FileStatus::Skipped) return Skipped(outcome, skipReason, holdsOutput);
    return outcome;
}

FileOutcome PlanOnly(const PlannedFile& file, const WorkSettings& settings) {
    if (std::optional<FileOutcome> decided = DecidedUnread(file, settings)) return *decided;
    PictureHead head;
    try {
        head = ReadPictureHead(file.Source, settings.Choice.MaxPixels);
    } catch (...) {
        ReduceResult failed;
        failed.OutputPath = file.Output;
        failed.BytesIn = SourceFileSize(file.Source);
        RecordFailure(failed, ReduceStep::Load);
        return OutcomeOf(failed);
    }
    FileOutcome outcome = FromHead(file, head, settings.Type);
    outcome.Mapping = settings.Choice.Mapping;
    if (outcome.BytesOut && settings.Sizes.Skips(outcome.BytesIn, *outcome.BytesOut))
        return Skipped(outcome, settings.Sizes.Reason(outcome.BytesIn, *outcome.BytesOut), true);
    outcome.Status = FileStatus::Planned;
    outcome.HoldsOutput = true;
    return outcome;
}

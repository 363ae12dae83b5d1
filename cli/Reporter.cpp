#include "Reporter.h"

#include "CliMessages.h"
#include "JsonText.h"
#include "MainPaths.h"

#include <cmath>

namespace {

const char* StatusName(FileStatus status) {
    switch (status) {
    case FileStatus::Written:
        return "written";
    case FileStatus::Planned:
        return "planned";
    case FileStatus::Skipped:
        return "skipped";
    case FileStatus::Failed:
        return "failed";
    case FileStatus::NotStarted:
        break;
    }
    return "not-started";
}

// "PSNR 31.52 dB (exact)", "lossless (fine)", or only "(fine)" when the
// file was not converted.
std::string Quality(const FileOutcome& result) {
    const std::string mapping = std::string("(") + mDither8bpp::MappingName(result.Mapping) + ")";
    const double psnr = result.Error.Psnr();
    if (std::isnan(psnr)) return mapping;
    if (std::isinf(psnr)) return "lossless " + mapping;
    char text[32];
    std::snprintf(text, sizeof text, "PSNR %.2f dB ", psnr);
    return text + mapping;
}

// The PSNR as a JSON number; null when infinite (nothing lost) or unknown.
std::string JsonPsnr(const RgbError& error) {
    const double psnr = error.Psnr();
    if (!std::isfinite(psnr)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", psnr);
    return text;
}

std::string Files(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

}  // namespace

Reporter::Reporter(std::FILE* out, std::FILE* messages, std::size_t total, ReportStyle style)
    : out_(out), messages_(messages), total_(total), style_(style) {
    if (style_.Quiet) style_.Progress = false;
}

void Reporter::Waiting(std::size_t index, const std::string& source) {
    if (!style_.Progress) return;
    // \r and erase-to-end: the line is rewritten for each file.
    std::fprintf(messages_, "\r\033[K[%zu/%zu] %s", index + 1, total_,
                 FileNameFromPath(source).c_str());
    std::fflush(messages_);
    progressShown_ = true;
}

void Reporter::Finished(const std::string& source, const FileOutcome& outcome) {
    ClearProgress();
    if (style_.Json) PrintJson(source, outcome);
    const uint64_t bytesOut = outcome.BytesOut.value_or(0);
    switch (outcome.Status) {
    case FileStatus::Written:
        ++written_;
        bytesIn_ += outcome.BytesIn;
        bytesOut_ += bytesOut;
        if (style_.Verbose) {
            std::fprintf(TextOut(), "%s: %d x %d, %s -> %s, %s, %s\n", source.c_str(),
                         outcome.Width, outcome.Height, ByteCount(outcome.BytesIn).c_str(),
                         ByteCount(bytesOut).c_str(), ShareSaved(outcome.BytesIn, bytesOut).c_str(),
                         Quality(outcome).c_str());
            std::fflush(TextOut());
        }
        break;
    case FileStatus::Planned:
        ++planned_;
        if (outcome.BytesOut) {
            bytesIn_ += outcome.BytesIn;
            bytesOut_ += bytesOut;
        } else {
            ++unknownSizes_;
        }
        if (!style_.Quiet) {
            const std::string sizes = outcome.BytesOut ? std::to_string(bytesOut) + " bytes, " +
                                                             ShareSaved(outcome.BytesIn, bytesOut)
                                                       : std::string("size unknown");
            std::fprintf(TextOut(), "%s -> %s: %llu bytes -> %s\n", source.c_str(),
                         outcome.Output.c_str(), static_cast<unsigned long long>(outcome.BytesIn),
                         sizes.c_str());
            std::fflush(TextOut());
        }
        break;
    case FileStatus::Skipped:
        ++skipped_;
        if (!style_.Quiet) Note(MessageLine(source, "skipped: " + outcome.Reason));
        break;
    case FileStatus::Failed:
        ++failed_;
        Note(MessageLine(source, outcome.Reason));
        break;
    case FileStatus::NotStarted:
        ++notStarted_;
        break;
    }
}

void Reporter::Note(const std::string& line) {
    ClearProgress();
    std::fprintf(messages_, "%s\n", line.c_str());
    std::fflush(messages_);
}

void Reporter::PrintJson(const std::string& source, const FileOutcome& outcome) {
    const bool hasOutput =
        outcome.Status == FileStatus::Written || outcome.Status == FileStatus::Planned;
    std::string line = "{\"source\":" + JsonString(source);
    if (hasOutput) line += ",\"output\":" + JsonString(outcome.Output);
    line += ",\"status\":\"" + std::string(StatusName(outcome.Status)) + "\"";
    line += ",\"message\":" + JsonString(outcome.Status == FileStatus::Failed
                                             ? MessageLine(source, outcome.Reason)
                                             : std::string());
    if (!hasOutput) line += ",\"reason\":" + JsonString(outcome.Reason);
    line += ",\"width\":" + std::to_string(outcome.Width) +
            ",\"height\":" + std::to_string(outcome.Height) +
            ",\"bytes_in\":" + std::to_string(outcome.BytesIn) + ",\"bytes_out\":" +
            (outcome.BytesOut ? std::to_string(*outcome.BytesOut) : std::string("null")) +
            ",\"mapping\":\"" + mDither8bpp::MappingName(outcome.Mapping) +
            "\",\"psnr\":" + JsonPsnr(outcome.Error) + "}\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);  // a line at a time, for a script reading along
}

void Reporter::Summary(bool interrupted) {
    ClearProgress();
    if (style_.Quiet) return;
    std::FILE* text = TextOut();
    if (interrupted)
        std::fprintf(text, "Interrupted: %s of %zu not started\n", Files(notStarted_).c_str(),
                     total_);
    if (style_.DryRun)
        std::fprintf(text, "%s to write, %zu skipped, %zu failed (dry run: nothing written)\n",
                     Files(planned_).c_str(), skipped_, failed_);
    else
        std::fprintf(text, "%s written, %zu skipped, %zu failed\n", Files(written_).c_str(),
                     skipped_, failed_);
    if (written_ + planned_ > unknownSizes_) {
        std::fprintf(text, "%s in -> %s out, %s", ByteCount(bytesIn_).c_str(),
                     ByteCount(bytesOut_).c_str(), ShareSaved(bytesIn_, bytesOut_).c_str());
        if (unknownSizes_ > 0)
            std::fprintf(text, " (not counting %s of unknown size)", Files(unknownSizes_).c_str());
        std::fputc('\n', text);
    }
    std::fflush(text);
}

void Reporter::ClearProgress() {
    if (!progressShown_) return;
    std::fprintf(messages_, "\r\033[K");
    std::fflush(messages_);
    progressShown_ = false;
}

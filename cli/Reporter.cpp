#include "Reporter.h"

#include "JsonText.h"
#include "MainPaths.h"

#include <cmath>

namespace {

const char* StatusName(ReduceStatus status) {
    switch (status) {
    case ReduceStatus::Written:
        return "written";
    case ReduceStatus::Skipped:
        return "skipped";
    default:
        return "failed";
    }
}

// "PSNR 31.52 dB (exact)", "lossless (fine)", or only "(fine)" when the
// file was not converted.
std::string Quality(const ReduceResult& result) {
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

void Reporter::Working(std::size_t index, const std::string& source) {
    if (!style_.Progress) return;
    // \r and erase-to-end: the line is rewritten for each file.
    std::fprintf(messages_, "\r\033[K[%zu/%zu] %s", index + 1, total_,
                 FileNameFromPath(source).c_str());
    std::fflush(messages_);
    progressShown_ = true;
}

void Reporter::Finished(const std::string& source, const ReduceResult& result) {
    ClearProgress();
    if (style_.Json) PrintJson(source, result);
    switch (result.Status) {
    case ReduceStatus::Written:
        ++written_;
        bytesIn_ += result.BytesIn;
        bytesOut_ += result.BytesOut;
        if (style_.Verbose) {
            std::fprintf(TextOut(), "%s: %d x %d, %s -> %s, %s, %s\n", source.c_str(), result.Width,
                         result.Height, ByteCount(result.BytesIn).c_str(),
                         ByteCount(result.BytesOut).c_str(),
                         ShareSaved(result.BytesIn, result.BytesOut).c_str(),
                         Quality(result).c_str());
            std::fflush(TextOut());
        }
        break;
    case ReduceStatus::Skipped:
        ++skipped_;
        if (!style_.Quiet) {
            std::fprintf(messages_, "Skipped: %s would grow from %s to %s (--skip-larger)\n",
                         source.c_str(), ByteCount(result.BytesIn).c_str(),
                         ByteCount(result.BytesOut).c_str());
            std::fflush(messages_);
        }
        break;
    case ReduceStatus::Failed:
        ++failed_;
        if (result.Message.find(source) != std::string::npos)
            std::fprintf(messages_, "%s\n", result.Message.c_str());
        else
            std::fprintf(messages_, "%s (%s)\n", result.Message.c_str(), source.c_str());
        std::fflush(messages_);
        break;
    }
}

void Reporter::PrintJson(const std::string& source, const ReduceResult& result) {
    const std::string line =
        "{\"source\":" + JsonString(source) + ",\"output\":" + JsonString(result.OutputPath) +
        ",\"status\":\"" + StatusName(result.Status) +
        "\",\"message\":" + JsonString(result.Message) +
        ",\"width\":" + std::to_string(result.Width) +
        ",\"height\":" + std::to_string(result.Height) +
        ",\"bytes_in\":" + std::to_string(result.BytesIn) +
        ",\"bytes_out\":" + std::to_string(result.BytesOut) + ",\"mapping\":\"" +
        mDither8bpp::MappingName(result.Mapping) + "\",\"psnr\":" + JsonPsnr(result.Error) + "}\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);  // a line at a time, for a script reading along
}

void Reporter::Summary(bool interrupted) {
    ClearProgress();
    if (style_.Quiet) return;
    std::FILE* text = TextOut();
    const std::size_t reported = written_ + skipped_ + failed_;
    if (interrupted)
        std::fprintf(text, "Interrupted: %s of %zu not converted\n",
                     Files(total_ - reported).c_str(), total_);
    std::fprintf(text, "%s written, %zu skipped, %zu failed\n", Files(written_).c_str(), skipped_,
                 failed_);
    if (written_ > 0)
        std::fprintf(text, "%s in -> %s out, %s\n", ByteCount(bytesIn_).c_str(),
                     ByteCount(bytesOut_).c_str(), ShareSaved(bytesIn_, bytesOut_).c_str());
    std::fflush(text);
}

void Reporter::ClearProgress() {
    if (!progressShown_) return;
    std::fprintf(messages_, "\r\033[K");
    std::fflush(messages_);
    progressShown_ = false;
}

std::string ByteCount(uint64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string ShareSaved(uint64_t bytesIn, uint64_t bytesOut) {
    if (bytesIn == 0) return bytesOut == 0 ? "0.0% saved" : "larger";
    const double change = 100.0 * (double(bytesIn) - double(bytesOut)) / double(bytesIn);
    char text[48];
    if (change >= 0)
        std::snprintf(text, sizeof text, "%.1f%% saved", change);
    else
        std::snprintf(text, sizeof text, "%.1f%% larger", -change);
    return text;
}

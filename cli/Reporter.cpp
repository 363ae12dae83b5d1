#include "Reporter.h"

#include "MainPaths.h"

Reporter::Reporter(std::FILE* messages, std::size_t total, bool quiet, bool progress)
    : messages_(messages), total_(total), quiet_(quiet), progress_(progress && !quiet) {}

void Reporter::Working(std::size_t index, const std::string& path) {
    if (!progress_) return;
    // \r and erase-to-end: the line is rewritten for each file.
    std::fprintf(messages_, "\r\033[K[%zu/%zu] %s", index + 1, total_,
                 FileNameFromPath(path).c_str());
    std::fflush(messages_);
    progressShown_ = true;
}

void Reporter::Finished(const std::string& path, const ReduceResult& result) {
    if (result.Ok) {
        ++written_;
        bytesIn_ += result.BytesIn;
        bytesOut_ += result.BytesOut;
        return;
    }
    ++failed_;
    ClearProgress();
    if (result.Message.find(path) != std::string::npos)
        std::fprintf(messages_, "%s\n", result.Message.c_str());
    else
        std::fprintf(messages_, "%s (%s)\n", result.Message.c_str(), path.c_str());
    std::fflush(messages_);
}

void Reporter::Summary() {
    ClearProgress();
    if (quiet_) return;
    std::printf("%zu %s written, %zu failed\n", written_, written_ == 1 ? "file" : "files",
                failed_);
    if (written_ == 0) return;
    std::printf("%s in -> %s out", ByteCount(bytesIn_).c_str(), ByteCount(bytesOut_).c_str());
    if (bytesIn_ > 0) {
        const double change = 100.0 * (double(bytesIn_) - double(bytesOut_)) / double(bytesIn_);
        if (change >= 0)
            std::printf(", %.1f%% saved", change);
        else
            std::printf(", %.1f%% larger", -change);
    }
    std::printf("\n");
    std::fflush(stdout);
}

void Reporter::ClearProgress() {
    if (!progressShown_) return;
    std::fprintf(messages_, "\r\033[K");
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

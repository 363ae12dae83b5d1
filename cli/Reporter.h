#pragma once
// What pixolune-cli tells the user while it runs: a progress line on a
// terminal, one line per failing or skipped file, one line per file with
// --verbose, one JSON object per file with --json, and a summary at the end.

#include "ReduceJob.h"

#include <cstdint>
#include <cstdio>
#include <string>

struct ReportStyle {
    bool Quiet = false;     // nothing but failures (and JSON)
    bool Progress = false;  // draw the "[i/n] name" line: messages go to a terminal
    bool Verbose = false;
    bool Json = false;  // JSON on out; every text line goes to messages then
};

class Reporter {
public:
    // out: the user's stdout; messages: the user's stderr.
    Reporter(std::FILE* out, std::FILE* messages, std::size_t total, ReportStyle style);

    void Working(std::size_t index, const std::string& source);
    // A failure is one line: the message, followed by the path in brackets
    // when the message does not name the file itself (e.g. "Overflow").
    void Finished(const std::string& source, const ReduceResult& result);
    // Counts; bytes of the written files only. interrupted: the run was
    // stopped, and the files not reported were not converted.
    void Summary(bool interrupted);

    std::size_t Written() const { return written_; }
    std::size_t Skipped() const { return skipped_; }
    std::size_t Failed() const { return failed_; }

private:
    void ClearProgress();
    std::FILE* TextOut() const { return style_.Json ? messages_ : out_; }
    void PrintJson(const std::string& source, const ReduceResult& result);

    std::FILE* out_;
    std::FILE* messages_;
    std::size_t total_;
    ReportStyle style_;
    bool progressShown_ = false;
    std::size_t written_ = 0;
    std::size_t skipped_ = 0;
    std::size_t failed_ = 0;
    uint64_t bytesIn_ = 0;
    uint64_t bytesOut_ = 0;
};

// "512 bytes", "12.3 KB", "4.5 MB", "1.2 GB" (powers of 1024).
std::string ByteCount(uint64_t bytes);

// "67.3% saved" or "12.0% larger": the change from bytesIn to bytesOut.
std::string ShareSaved(uint64_t bytesIn, uint64_t bytesOut);

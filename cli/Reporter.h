#pragma once
// What pixolune-cli tells the user while it runs: a progress line on a
// terminal, one line per failing or skipped file, one line per file with
// --verbose or --dry-run, one JSON object per file with --json, and a summary
// at the end.

#include "ByteText.h"
#include "FileOutcome.h"

#include <cstdint>
#include <cstdio>
#include <string>

struct ReportStyle {
    bool Quiet = false;     // nothing but failures (and JSON)
    bool Progress = false;  // draw the "[i/n] name" line: messages go to a terminal
    bool Verbose = false;
    bool Json = false;    // JSON on out; every text line goes to messages then
    bool DryRun = false;  // the outcomes are plans: a line for each
};

class Reporter {
public:
    // out: the user's stdout; messages: the user's stderr.
    Reporter(std::FILE* out, std::FILE* messages, std::size_t total, ReportStyle style);

    // The file the run waits for next (BatchCallbacks::Waiting): its
    // "[i/n] name" line, where progress is drawn.
    void Waiting(std::size_t index, const std::string& source);
    // A failure is the line "pixolune-cli: SOURCE: reason", a skip the same
    // with "skipped: " before the reason; a file not started has no line.
    void Finished(const std::string& source, const FileOutcome& outcome);
    // A line of its own on messages (a note about the inputs).
    void Note(const std::string& line);
    // Counts; bytes of the written files only (of the planned files of
    // known size in a dry run). interrupted: the run was stopped.
    void Summary(bool interrupted);

    std::size_t Written() const { return written_; }
    std::size_t Planned() const { return planned_; }
    std::size_t Skipped() const { return skipped_; }
    std::size_t Failed() const { return failed_; }
    std::size_t NotStarted() const { return notStarted_; }

private:
    void ClearProgress();
    std::FILE* TextOut() const { return style_.Json ? messages_ : out_; }
    void PrintJson(const std::string& source, const FileOutcome& outcome);

    std::FILE* out_;
    std::FILE* messages_;
    std::size_t total_;
    ReportStyle style_;
    bool progressShown_ = false;
    std::size_t written_ = 0;
    std::size_t planned_ = 0;
    std::size_t unknownSizes_ = 0;  // planned files whose size only a conversion tells
    std::size_t skipped_ = 0;
    std::size_t failed_ = 0;
    std::size_t notStarted_ = 0;
    uint64_t bytesIn_ = 0;
    uint64_t bytesOut_ = 0;
};

#pragma once
// What pixolune-cli tells the user while it runs: a progress line on a
// terminal, one line per failing file, and a summary at the end.

#include "ReduceJob.h"

#include <cstdint>
#include <cstdio>
#include <string>

class Reporter {
public:
    // messages: the user's stderr. progress: draw the "[i/n] name" line
    // there (it is a terminal and not quiet).
    Reporter(std::FILE* messages, std::size_t total, bool quiet, bool progress);

    void Working(std::size_t index, const std::string& path);
    // A failure is one line: the message, followed by the path in brackets
    // when the message does not name the file itself (e.g. "Overflow").
    void Finished(const std::string& path, const ReduceResult& result);
    void Summary();

    std::size_t Written() const { return written_; }
    std::size_t Failed() const { return failed_; }

private:
    void ClearProgress();

    std::FILE* messages_;
    std::size_t total_;
    bool quiet_;
    bool progress_;
    bool progressShown_ = false;
    std::size_t written_ = 0;
    std::size_t failed_ = 0;
    uint64_t bytesIn_ = 0;
    uint64_t bytesOut_ = 0;
};

// "512 bytes", "12.3 KB", "4.5 MB", "1.2 GB" (powers of 1024).
std::string ByteCount(uint64_t bytes);

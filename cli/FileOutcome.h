#pragma once
// What became of one file of a run, as pixolune-cli reports it.

#include "RgbError.h"
#include "mDither8bpp.h"

#include <cstdint>
#include <optional>
#include <string>

enum class FileStatus {
    Written,
    Planned,  // --dry-run: would be converted and written
    Skipped,
    Failed,  // also refused
    NotStarted,
};

struct FileOutcome {
    FileStatus Status = FileStatus::NotStarted;
    // The file converted (in a dry run: would be converted), so its output
    // name is its own and later claimants of the name are refused.
    bool HoldsOutput = false;
    std::string Output;  // where its output goes, whether written or not
    std::string Reason;  // why it was skipped, failed or not started
    int32_t Width = 0;   // of the picture, where loaded or read from its header
    int32_t Height = 0;
    uint64_t BytesIn = 0;  // the source file's size, whatever its status; 0: no regular file
    // Written: the output's size on disk; skipped by size: the size it would
    // have had; dry run: the exact size where the header tells it. None where
    // there is no such size.
    std::optional<uint64_t> BytesOut;
    mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;
    // Of the 8-bit reduction against the loaded picture, when measured.
    RgbError Error;
};

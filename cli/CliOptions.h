#pragma once
// pixolune-cli's command line: what the user asked for, or why it cannot run.

#include "ReduceJob.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct CliOptions {
    std::string OutputFolder;           // -o, as typed
    OutputType Type = OutputType::BMP;  // -t
    uint8_t Quality = 85;  // -q, 1..100 (only JPG output uses it); the window's default
    mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;  // --mapping; the window's
    std::string Extension;    // -e: folders give the files of this extension; empty: every file
    unsigned Jobs = 0;        // -j; 0: one per core
    bool Tree = false;        // outputs of a folder's files keep their sub-folders
    bool SkipLarger = false;  // an output larger than its source is not written
    bool Quiet = false;
    bool Verbose = false;
    bool Json = false;
    bool Help = false;
    bool Version = false;
    std::vector<std::string> Paths;
};

// A command line that cannot be run; the text says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options and paths may come in any order; "--" ends the options and a lone
// "-" is a path. --help and --version need nothing else. Raises UsageError;
// never ends the process.
CliOptions ParseArguments(const std::vector<std::string>& arguments);

// The --help text, made from the same table the parser reads.
std::string UsageText();

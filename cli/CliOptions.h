#pragma once
// pixolune-cli's command line: what the user asked for, or why it cannot run.

#include "ReduceJob.h"
#include "SizeRule.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct CliOptions {
    std::string OutputFolder;           // -o, as typed
    OutputType Type = OutputType::BMP;  // -t
    uint8_t Quality = 85;  // -q, 1..100 (only JPG output uses it); the window's default
    mDither8bpp::Mapping Mapping = mDither8bpp::Mapping::Exact;  // --mapping; the window's
    // -e, as "bmp" however it was written ("bmp", ".bmp", "*.bmp"): folders give
    // the files of this extension; "*": every file; empty: every file
    std::string Extension;
    unsigned Jobs = 0;                      // -j; 0: one per core
    bool Tree = false;                      // outputs of a folder's files keep their sub-folders
    SizeRule Sizes;                         // --skip-larger, --min-saving: outputs not written
    bool SkipExisting = false;              // an output that exists is not replaced
    std::string Suffix = kReducedSuffix;    // --suffix: after each output's name
    bool IncludeReduced = false;            // walks take files named as outputs too
    int64_t MaxPixels = kMaxPicturePixels;  // larger pictures are refused before decoding
    bool DryRun = false;                    // plan and report, write nothing
    std::vector<std::string> FilesFrom;     // --files-from lists, "-" for standard input
    bool NullSeparated = false;             // -0: the lists' names end with NUL
    bool Quiet = false;
    bool Verbose = false;
    bool Json = false;
    bool Help = false;
    bool Version = false;
    std::vector<std::string> Paths;  // as given; a lone "-" is standard input

    // "-" as the one input: a picture from standard input to standard output.
    bool Piped() const { return Paths.size() == 1 && Paths[0] == "-"; }
};

// A command line that cannot be run; the text says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options and paths may come in any order; "--" ends the options. A lone "-"
// (standard input) must be the only input, and then needs no -o. --help and
// --version need nothing else. Raises UsageError; never ends the process.
CliOptions ParseArguments(const std::vector<std::string>& arguments);

// The --help text, made from the same table the parser reads.
std::string UsageText();

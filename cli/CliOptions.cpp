#include "CliOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A whole decimal number within [low, high], nothing before or after it.
std::optional<long> ParseNumber(const std::string& text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// A share in per cent, "20", "12.5" or "20%", in thousandths of a per cent
// (at most three decimals), below 100.
std::optional<uint32_t> ParseShare(std::string text) {
    if (text.ends_with('%')) text.pop_back();
    const std::string::size_type dot = text.find('.');
    std::string decimals = dot == std::string::npos ? "000" : text.substr(dot + 1);
    if (decimals.empty() || decimals.size() > 3 ||
        decimals.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    decimals.resize(3, '0');
    const std::optional<long> percent = ParseNumber(text.substr(0, dot), 0, 99);
    const std::optional<long> thousandths = ParseNumber(decimals, 0, 999);
    if (!percent || !thousandths) return std::nullopt;
    return static_cast<uint32_t>(*percent * 1000 + *thousandths);
}

// -e's extension however it is written: "bmp", ".bmp" and "*.bmp" alike;
// "*" and "*.*" for every file.
std::string ExtensionOf(const std::string& value) {
    if (value == "*" || value == "*.*") return "*";
    if (value.starts_with("*.")) return value.substr(2);
    if (value.starts_with('.')) return value.substr(1);
    return value;
}

struct Option {
    char Short;  // 0: long form only
    const char* Long;
    const char* ValueName;  // nullptr: a flag that takes no value
    const char* Help;
    void (*Apply)(CliOptions& options, const std::string& value);
};

const Option kOptions[] = {
    {'o', "output", "DIR", "output folder (must exist)",
     [](CliOptions& o, const std::string& value) {
         if (value.empty()) throw UsageError("the output folder (-o) must not be empty");
         o.OutputFolder = value;
     }},
    {'t', "type", "bmp|jpg", "output type (default bmp)",
     [](CliOptions& o, const std::string& value) {
         const std::string type = Lower(value);
         if (type == "bmp")
             o.Type = OutputType::BMP;
         else if (type == "jpg")
             o.Type = OutputType::JPG;
         else
             throw UsageError("unknown output type '" + value + "' (-t takes bmp or jpg)");
     }},
    {'q', "quality", "N", "JPEG quality from 1 to 100 (default 85)",
     [](CliOptions& o, const std::string& value) {
         const std::optional<long> quality = ParseNumber(value, 1, 100);
         if (!quality)
             throw UsageError("invalid quality '" + value +
                              "' (-q takes a whole number from 1 to 100)");
         o.Quality = static_cast<uint8_t>(*quality);
     }},
    {0, "mapping", "exact|fine",
     "exact (default): the window's reduction; fine:\n"
     "                            nearest colours, a finer dither, and a picture of\n"
     "                            at most 256 colours kept as it is",
     [](CliOptions& o, const std::string& value) {
         const std::string name = Lower(value);
         for (const auto mapping : {mDither8bpp::Mapping::Exact, mDither8bpp::Mapping::Fine})
             if (name == mDither8bpp::MappingName(mapping)) {
                 o.Mapping = mapping;
                 return;
             }
         throw UsageError("unknown mapping '" + value + "' (--mapping takes exact or fine)");
     }},
    {'e', "extension", "EXT", "from folders, take only files named *.EXT",
     [](CliOptions& o, const std::string& value) {
         const std::string extension = ExtensionOf(value);
         if (extension.empty() || extension.find('/') != std::string::npos)
             throw UsageError("invalid extension '" + value + "' (-e takes bmp, .bmp or *.bmp)");
         o.Extension = extension;
     }},
    {'j', "jobs", "N", "convert N files at once (default: one per core)",
     [](CliOptions& o, const std::string& value) {
         const std::optional<long> jobs = ParseNumber(value, 1, 1024);
         if (!jobs)
             throw UsageError("invalid number of jobs '" + value +
                              "' (-j takes a whole number from 1 to 1024)");
         o.Jobs = static_cast<unsigned>(*jobs);
     }},
    {0, "tree", nullptr, "keep the sub-folders of folder arguments below DIR",
     [](CliOptions& o, const std::string&) { o.Tree = true; }},
    {0, "files-from", "FILE", "also the paths listed in FILE (or -), one a line",
     [](CliOptions& o, const std::string& value) {
         if (value.empty()) throw UsageError("the list (--files-from) must not be empty");
         o.FilesFrom.push_back(value);
     }},
    {'0', "null", nullptr, "names in those lists end with NUL, not newline",
     [](CliOptions& o, const std::string&) { o.NullSeparated = true; }},
    {0, "include-reduced", nullptr, "folders also give files named as outputs",
     [](CliOptions& o, const std::string&) { o.IncludeReduced = true; }},
    {0, "suffix", "TEXT", "name outputs NAME + TEXT (default \"-reduced\")",
     [](CliOptions& o, const std::string& value) {
         if (value.find('/') != std::string::npos)
             throw UsageError("invalid suffix '" + value + "' (--suffix takes no '/')");
         o.Suffix = value;
     }},
    {0, "skip-existing", nullptr, "do not replace an output that exists",
     [](CliOptions& o, const std::string&) { o.SkipExisting = true; }},
    {0, "skip-larger", nullptr, "do not write an output larger than its source",
     [](CliOptions& o, const std::string&) { o.Sizes = o.Sizes.Stricter(SizeRule::NotLarger()); }},
    {0, "min-saving", "PCT", "write only outputs PCT% smaller than the source",
     [](CliOptions& o, const std::string& value) {
         const std::optional<uint32_t> share = ParseShare(value);
         if (!share)
             throw UsageError("invalid share '" + value +
                              "' (--min-saving takes a per cent from 0 to 99.999)");
         std::string shown = value;
         if (shown.ends_with('%')) shown.pop_back();
         o.Sizes = o.Sizes.Stricter(SizeRule::MinSaving(*share, shown));
     }},
    {0, "max-pixels", "N", "refuse pictures over N pixels before decoding",
     [](CliOptions& o, const std::string& value) {
         const std::optional<long> pixels = ParseNumber(value, 1, kMaxPicturePixels);
         if (!pixels)
             throw UsageError("invalid number of pixels '" + value +
                              "' (--max-pixels takes a whole number from 1 to " +
                              std::to_string(kMaxPicturePixels) + ")");
         o.MaxPixels = *pixels;
     }},
    {'n', "dry-run", nullptr, "show the outputs and their sizes; write nothing",
     [](CliOptions& o, const std::string&) { o.DryRun = true; }},
    {'v', "verbose", nullptr, "one line per file: size, bytes in and out, PSNR",
     [](CliOptions& o, const std::string&) { o.Verbose = true; }},
    {0, "json", nullptr, "one JSON object per file on stdout; the rest on stderr",
     [](CliOptions& o, const std::string&) { o.Json = true; }},
    {0, "quiet", nullptr, "print nothing but failures",
     [](CliOptions& o, const std::string&) { o.Quiet = true; }},
    {'h', "help", nullptr, "show this help and exit",
     [](CliOptions& o, const std::string&) { o.Help = true; }},
    {0, "version", nullptr, "show the version and exit",
     [](CliOptions& o, const std::string&) { o.Version = true; }},
};

const Option* FindShort(char c) {
    for (const Option& option : kOptions)
        if (option.Short != 0 && option.Short == c) return &option;
    return nullptr;
}

const Option* FindLong(const std::string& name) {
    for (const Option& option : kOptions)
        if (name == option.Long) return &option;
    return nullptr;
}

}  // namespace

CliOptions ParseArguments(const std::vector<std::string>& arguments) {
    CliOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.Paths.push_back(argument);  // a lone "-" too: standard input
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }

        const Option* option = nullptr;
        std::optional<std::string> value;
        std::string shown;
        if (argument[1] == '-') {  // --name or --name=value
            const std::string::size_type equals = argument.find('=');
            const std::string name =
                argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            option = FindLong(name);
            shown = "--" + name;
            if (!option) throw UsageError("unknown option '" + shown + "'");
            if (equals != std::string::npos) {
                if (!option->ValueName) throw UsageError("option '" + shown + "' takes no value");
                value = argument.substr(equals + 1);
            }
        } else {  // -x or -xVALUE
            option = FindShort(argument[1]);
            shown = argument.substr(0, 2);
            if (!option) throw UsageError("unknown option '" + shown + "'");
            if (argument.size() > 2) {
                if (!option->ValueName) throw UsageError("unknown option '" + argument + "'");
                value = argument.substr(2);
            }
        }

        if (option->ValueName && !value) {
            if (i + 1 >= arguments.size()) throw UsageError("option '" + shown + "' needs a value");
            value = arguments[++i];
        }
        option->Apply(options, value.value_or(std::string()));
    }

    if (options.Help || options.Version) return options;
    if (options.Quiet && options.Verbose)
        throw UsageError("--quiet and --verbose exclude each other");
    if (options.NullSeparated && options.FilesFrom.empty())
        throw UsageError("-0 is for the lists of --files-from, and none is given");
    if (std::count(options.FilesFrom.begin(), options.FilesFrom.end(), "-") > 1)
        throw UsageError("standard input can be read only once (--files-from -)");
    if (std::count(options.Paths.begin(), options.Paths.end(), "-") > 0) {
        if (!options.Piped() || !options.FilesFrom.empty())
            throw UsageError("'-' (standard input) must be the only input");
        if (!options.OutputFolder.empty())
            throw UsageError("'-' writes to standard output: -o does not go with it");
        if (options.Json)
            throw UsageError("--json does not go with '-': standard output holds the picture");
        if (options.SkipExisting)
            throw UsageError("--skip-existing does not go with '-': there is no output file");
        if (options.Sizes.Active())
            throw UsageError(
                "--skip-larger and --min-saving do not go with '-': a skipped "
                "picture would leave standard output empty");
        return options;
    }
    if (options.OutputFolder.empty()) throw UsageError("no output folder given (-o DIR)");
    if (options.Paths.empty() && options.FilesFrom.empty())
        throw UsageError("no PATH given (or --files-from FILE)");
    return options;
}

std::string UsageText() {
    std::string text =
        "Usage: pixolune-cli -o DIR [OPTION]... PATH...\n"
        "  or:  pixolune-cli [OPTION]... - >OUTPUT\n"
        "Makes bitmap images smaller: each image gets an optimal palette of at most\n"
        "256 colours and is written, dithered to 8 bits per pixel, into DIR as\n"
        "NAME-reduced.bmp or NAME-reduced.jpg. Files of earlier runs are replaced;\n"
        "within one run no output replaces another output or an input (such a file\n"
        "is refused). A PATH that is a folder adds every file of its tree, but for\n"
        "the output folder and files named as outputs. A lone '-' reads one picture\n"
        "from standard input and writes it to standard output.\n"
        "\n"
        "Options:\n";
    for (const Option& option : kOptions) {
        std::string line = option.Short ? std::string("  -") + option.Short + ", " : "      ";
        line += std::string("--") + option.Long;
        if (option.ValueName) line += std::string(" ") + option.ValueName;
        line.resize(std::max<std::size_t>(line.size() + 2, 28), ' ');
        text += line + option.Help + "\n";
    }
    text +=
        "  --                        end of options: what follows are paths\n"
        "\n"
        "Exit status: 0 when every file was written or skipped (with --dry-run: would\n"
        "be), 1 when any file failed or was refused, a folder could not be taken, or\n"
        "no file was found at all, 2 for a usage error, a missing output folder or a\n"
        "list that cannot be read, 130 after Ctrl+C (SIGINT), 143 after SIGTERM, 129\n"
        "after SIGHUP. See pixolune-cli(1).\n";
    return text;
}

#include "CliOptions.h"

#include "Messages.h"

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

// A whole decimal number, nothing before or after it.
std::optional<long> ParseNumber(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

struct OptionDef {
    char Short;
    const char* Long;
    bool TakesValue;
};

constexpr OptionDef kOptions[] = {
    {'o', "output", true}, {'t', "type", true},  {'q', "quality", true}, {'e', "extension", true},
    {'j', "jobs", true},   {'h', "help", false}, {0, "quiet", false},    {0, "version", false},
};

const OptionDef* FindShort(char c) {
    for (const OptionDef& def : kOptions)
        if (def.Short == c) return &def;
    return nullptr;
}

const OptionDef* FindLong(const std::string& name) {
    for (const OptionDef& def : kOptions)
        if (name == def.Long) return &def;
    return nullptr;
}

void Apply(CliOptions& options, const OptionDef& def, const std::string& value) {
    const std::string name = def.Long;
    if (name == "output") {
        if (value.empty()) throw UsageError("the output folder (-o) must not be empty");
        options.OutputFolder = value;
    } else if (name == "type") {
        const std::string type = Lower(value);
        if (type == "bmp")
            options.Type = OutputType::BMP;
        else if (type == "jpg")
            options.Type = OutputType::JPG;
        else
            throw UsageError("unknown output type '" + value + "' (-t takes bmp or jpg)");
    } else if (name == "quality") {
        const std::optional<long> quality = ParseNumber(value);
        if (!quality || *quality < 1 || *quality > 100)
            throw UsageError("invalid quality '" + value +
                             "' (-q takes a whole number from 1 to 100)");
        options.Quality = static_cast<uint8_t>(*quality);
    } else if (name == "extension") {
        if (value.empty()) throw UsageError("the extension (-e) must not be empty");
        options.Extension = value;
    } else if (name == "jobs") {
        const std::optional<long> jobs = ParseNumber(value);
        if (!jobs || *jobs < 1 || *jobs > 1024)
            throw UsageError("invalid number of jobs '" + value +
                             "' (-j takes a whole number from 1 to 1024)");
        options.Jobs = static_cast<unsigned>(*jobs);
    } else if (name == "help") {
        options.Help = true;
    } else if (name == "quiet") {
        options.Quiet = true;
    } else if (name == "version") {
        options.Version = true;
    }
}

}  // namespace

CliOptions ParseArguments(const std::vector<std::string>& arguments) {
    CliOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.Paths.push_back(argument);  // a lone "-" is a file name too
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }

        const OptionDef* def = nullptr;
        std::optional<std::string> value;
        std::string shown;
        if (argument[1] == '-') {  // --name or --name=value
            const std::string::size_type equals = argument.find('=');
            const std::string name =
                argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            def = FindLong(name);
            shown = "--" + name;
            if (!def) throw UsageError("unknown option '" + shown + "'");
            if (equals != std::string::npos) {
                if (!def->TakesValue) throw UsageError("option '" + shown + "' takes no value");
                value = argument.substr(equals + 1);
            }
        } else {  // -x or -xVALUE
            def = FindShort(argument[1]);
            shown = argument.substr(0, 2);
            if (!def) throw UsageError("unknown option '" + shown + "'");
            if (argument.size() > 2) {
                if (!def->TakesValue) throw UsageError("unknown option '" + argument + "'");
                value = argument.substr(2);
            }
        }

        if (def->TakesValue && !value) {
            if (i + 1 >= arguments.size()) throw UsageError("option '" + shown + "' needs a value");
            value = arguments[++i];
        }
        Apply(options, *def, value.value_or(std::string()));
    }

    if (options.Help || options.Version) return options;
    if (options.OutputFolder.empty()) throw UsageError("no output folder given (-o DIR)");
    if (options.Paths.empty()) throw UsageError(kNoFilesAdded);
    return options;
}

std::string UsageText() {
    return "Usage: pixolune-cli -o DIR [OPTION]... PATH...\n"
           "Makes bitmap images smaller: each image gets an optimal palette of at most\n"
           "256 colours and is written, dithered to 8 bits per pixel, into DIR as\n"
           "NAME-reduced.bmp or NAME-reduced.jpg. Existing files are replaced.\n"
           "A PATH that is a folder adds every file of its tree.\n"
           "\n"
           "Options:\n"
           "  -o, --output DIR      output folder (must exist)\n"
           "  -t, --type bmp|jpg    output type (default bmp)\n"
           "  -q, --quality N       JPEG quality from 1 to 100 (default 85)\n"
           "  -e, --extension EXT   from folders, take only files named *.EXT\n"
           "  -j, --jobs N          convert N files at once (default: one per core)\n"
           "      --quiet           print nothing but failures\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "  --                    end of options: what follows are paths\n"
           "\n"
           "Exit status: 0 when every file was written, 1 when any file failed,\n"
           "2 for a usage error or a missing output folder.\n";
}

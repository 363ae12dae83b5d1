// pixolune-cli's option parser on any command line: the input's bytes split
// at NUL into arguments. A line that cannot run must be refused by a
// UsageError; one that is accepted must be whole.

#include "CliOptions.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<char>(data[i]);
    }
    try {
        const CliOptions options = ParseArguments(arguments);
        const bool whole = options.Help || options.Version ||
                           (!options.OutputFolder.empty() && !options.Paths.empty() &&
                            options.Quality >= 1 && options.Quality <= 100);
        if (!whole) {
            std::fputs("an accepted command line that cannot run\n", stderr);
            std::abort();
        }
    } catch (const UsageError&) {
    }
    return 0;
}

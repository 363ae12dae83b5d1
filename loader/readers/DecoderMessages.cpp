#include "DecoderMessages.h"

#include <algorithm>
#include <cctype>
#include <string>

bool SaysDataMissing(std::string_view message) {
    static constexpr const char* kMissing[] = {
        "premature end", "not enough image data", "read error", "mng error", "pixels missing",
        "truncated",     "unexpected end"};
    std::string lower(message);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(kMissing), std::end(kMissing),
                       [&](const char* words) { return lower.find(words) != std::string::npos; });
}

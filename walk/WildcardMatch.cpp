#include "WildcardMatch.h"

#include "Utf8Decode.h"

#include <string>

namespace {

// A name that is not UTF-8 is still matched, byte by byte.
std::u32string Characters(std::string_view text) {
    if (auto decoded = DecodeUtf8(text)) {
        return std::move(*decoded);
    }
    std::u32string bytes;
    for (char c : text) {
        bytes.push_back(static_cast<unsigned char>(c));
    }
    return bytes;
}

// Folds ASCII and Latin-1 letters; other scripts compare exactly.
char32_t Fold(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 32;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 32;
    }
    return c;
}

// Glob match with backtracking to the last "*": linear in practice, never
// worse than name length times pattern length.
bool Glob(const std::u32string& name, const std::u32string& pattern) {
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::u32string::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == U'?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    const std::u32string chars = Characters(name);
    const std::u32string wild = Characters(pattern);
    if (Glob(chars, wild)) {
        return true;
    }
    constexpr std::u32string_view anyExtension = U".*";
    if (wild.size() >= anyExtension.size() && wild.ends_with(anyExtension)) {
        return Glob(chars, wild.substr(0, wild.size() - anyExtension.size()));
    }
    return false;
}

std::string ExtensionPattern(std::string_view extension) { return "*." + std::string(extension); }

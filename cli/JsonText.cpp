#include "JsonText.h"

#include "Utf8Decode.h"

#include <cstdio>

namespace {

void AppendEscape(std::string& out, unsigned value) {
    char escape[7];
    std::snprintf(escape, sizeof escape, "\\u%04x", value);
    out += escape;
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t from = at;
        const std::optional<char32_t> c = NextCodePoint(text, at);
        if (!c) {
            AppendEscape(out, 0xDC00u | static_cast<unsigned char>(text[at++]));
        } else if (*c == U'"' || *c == U'\\') {
            out += '\\';
            out += static_cast<char>(*c);
        } else if (*c < 0x20) {
            AppendEscape(out, static_cast<unsigned>(*c));
        } else {
            out.append(text, from, at - from);
        }
    }
    out += '"';
    return out;
}

#include "Utf8Decode.h"

#include <cstdint>

std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<uint8_t>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t extra = 0;
    char32_t cp = 0;
    char32_t smallest = 0;  // below this the form is overlong
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        smallest = 0x10000;
    } else {
        return std::nullopt;  // stray continuation byte or 0xF8..0xFF
    }
    if (text.size() - at <= extra) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    at += extra + 1;
    return cp;
}

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::optional<char32_t> cp = NextCodePoint(text, at);
        if (!cp) {
            return std::nullopt;
        }
        out.push_back(*cp);
    }
    return out;
}

#pragma once
// File names here are UTF-8 byte strings; the walk's name rules and the
// wildcard matcher both work on characters, not bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The code points of text, or nothing when text is not well-formed UTF-8
// (overlong forms, surrogates and values above U+10FFFF count as malformed).
std::optional<std::u32string> DecodeUtf8(std::string_view text);

// The code point whose well-formed sequence starts at byte at of text, with
// at moved past it; nothing (at unmoved) when no well-formed one starts there.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& at);

#pragma once
// File names here are UTF-8 byte strings; the walk's name rules and the
// wildcard matcher both work on characters, not bytes.

#include <optional>
#include <string>
#include <string_view>

// The code points of text, or nothing when text is not well-formed UTF-8
// (overlong forms, surrogates and values above U+10FFFF count as malformed).
std::optional<std::u32string> DecodeUtf8(std::string_view text);

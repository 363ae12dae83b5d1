#pragma once
// File-name wildcards as users know them from the file dialogs of the
// original platform: case-insensitive, "*" any run of characters (also none),
// "?" exactly one character, and a trailing ".*" that also accepts a name
// without that part, so "*.*" matches every name, with or without a dot.

#include <string>
#include <string_view>

bool MatchesWildcard(std::string_view name, std::string_view pattern);

// The pattern that takes the files of one extension: "*." + extension, used
// as typed. "bmp" gives "*.bmp" (any case), "*" gives "*.*" (every file, with
// or without a dot), ".bmp" gives "*..bmp", which matches no ordinary name.
std::string ExtensionPattern(std::string_view extension);

#pragma once
// File-name wildcards as users know them from the file dialogs of the
// original platform: case-insensitive, "*" any run of characters (also none),
// "?" exactly one character, and a trailing ".*" that also accepts a name
// without that part, so "*.*" matches every name, with or without a dot.

#include <string_view>

bool MatchesWildcard(std::string_view name, std::string_view pattern);

#pragma once
// The few JSON texts pixolune-cli writes for --json.

#include <string>
#include <string_view>

// text as a JSON string, quotes included. Well-formed UTF-8 passes as it is;
// a byte that is not part of any (a file name in another character set) is
// written as \udcXX, XX the byte: the form in which Python's
// "surrogateescape" error handler reads it, and gives it back byte for byte
// (os.fsencode), so a script can always reach the file it is told about.
std::string JsonString(std::string_view text);

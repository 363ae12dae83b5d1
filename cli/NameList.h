#pragma once
// The lists of paths --files-from reads.

#include <string>
#include <vector>

// Appends to names the paths the list holds, one a line or, with
// nulSeparated, each ended by a NUL byte (as find -print0 writes them, so a
// name may hold a newline); a last name may lack its end, empty names are
// passed over. "-" reads standard input. Returns 0, or the errno of the
// open or read that failed.
int ReadNameList(const std::string& list, bool nulSeparated, std::vector<std::string>& names);

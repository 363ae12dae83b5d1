#pragma once
// Path and file helpers shared by the window, the folder walk and the CLI.
// Paths use the native separator "/"; a backslash is an ordinary character.

#include <string>

// Text after the last "/" (the whole path when it has none; "" when it ends in "/").
std::string FileNameFromPath(const std::string& path);

// Collapses doubled separators in one left-to-right pass ("a//b" -> "a/b",
// "a///b" -> "a//b"). A leading run of separators becomes a single "/":
// there are no network prefixes to keep here.
std::string CollapseBackslashes(const std::string& path);

// The path without its trailing "/" ("/" itself becomes ""), ready for
// folder + "/" + name.
std::string WithoutTrailingSlashes(const std::string& path);

// True when the path's modification time can be read.
bool FileExists(const std::string& path);

// True when the path names an existing directory.
bool FolderExists(const std::string& path);

// There are no short names here: the path itself when it names an existing
// file, else "".
std::string GetShortFilename(const std::string& path);

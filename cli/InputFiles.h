#pragma once
// The files pixolune-cli works on, from its PATH arguments.

#include <string>
#include <vector>

// Each PATH as given, in order, except folders: a folder gives every file of
// its tree, as a folder dropped on the window's list does ("*.*"), or with an
// extension the files a folder import for that extension takes ("*." + ext).
// Paths that do not exist or are no regular file stay in the list; converting
// them fails with the loader's message.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& paths,
                                      const std::string& extension);

// The folder without trailing "/" ("/" itself becomes ""), ready for
// folder + "/" + name.
std::string WithoutTrailingSlashes(const std::string& folder);

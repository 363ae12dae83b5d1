#pragma once
// The files pixolune-cli works on, from its PATH arguments.

#include "AddFolder.h"

#include <string>
#include <vector>

struct InputFile {
    std::string Path;
    // For a file found in a folder argument: the folder it lies in, relative
    // to that argument ("" at its top, "100/raw" further down). "" for a file
    // named as an argument itself.
    std::string SubFolder;
    // Set for a folder of the tree whose files could not all be listed (Path
    // is then that folder): the line that says so. Nothing is converted for it.
    std::string Missed;
};

// Each PATH as given, in order, except folders: a folder gives every file of
// its tree whose name matches pattern (see ExtensionPattern), as a folder
// import does. Paths that do not exist or are no regular file stay in the
// list; converting them fails with the loader's message. A folder the walk
// could not take whole follows the files of its argument as a Missed entry.
// hooks.Yield runs at every step of the walk and may raise to stop it.
std::vector<InputFile> ExpandInputs(const std::vector<std::string>& paths,
                                    const std::string& pattern, const WalkHooks& hooks = {});

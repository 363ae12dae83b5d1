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
    // is then that folder): why. Nothing is converted for it.
    std::string Missed;
};

// What the folder walks leave out, so that a rerun does not take the
// outputs of earlier runs for inputs.
struct WalkRules {
    // Left out with everything below it where it lies inside a folder
    // argument (not where it is that folder itself).
    std::string OutputFolder;
    // Files named NAME + suffix + ".bmp" or ".jpg" are left out; "" leaves
    // none out (every name would be an output's).
    std::string OutputSuffix;
};

enum class WalkNoteKind {
    OutputFolder,  // the output folder, left out
    OutputName,    // a file named as an output, left out
    NoFile,        // a folder argument that gave no file to convert
};

struct WalkNote {
    std::string Path;
    WalkNoteKind Kind;
};

struct InputList {
    std::vector<InputFile> Files;
    std::vector<WalkNote> Notes;  // in the order of the arguments
};

// Each PATH as given, in order, except folders: a folder gives every file of
// its tree whose name matches pattern (see ExtensionPattern), as a folder
// import does, but what rules leave out. Paths that do not exist or are no
// regular file stay in the list; converting them fails with the loader's
// message. A folder the walk could not take whole follows the files of its
// argument as a Missed entry. hooks.Yield runs at every step of the walk and
// may raise to stop it.
InputList ExpandInputs(const std::vector<std::string>& paths, const std::string& pattern,
                       const WalkRules& rules, const WalkHooks& hooks = {});

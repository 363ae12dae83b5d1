#pragma once
// Where each input's output goes, decided for the whole run before anything
// is converted, so that no output of the run replaces another output or an
// input of the same run.

#include "InputFiles.h"
#include "ReduceJob.h"

#include <string>
#include <vector>

struct PlannedFile {
    std::string Source;
    std::string Output;
    std::string SubFolder;  // of Output below the output folder; "" without --tree
    std::string Refusal;    // why the file is not converted; empty: convert it
};

struct PlanSettings {
    std::string OutputFolder;  // without trailing "/"
    OutputType Type = OutputType::BMP;
    bool Tree = false;  // files of folder arguments keep their sub-folders
};

// One entry per input file, in order; an input given again (also by another
// spelling or through a link) is left out. An input whose output would be the
// output of an earlier input, or would replace an input of the run, is
// refused with one line that names both files and the way out; a Missed
// folder is refused with its own line.
std::vector<PlannedFile> PlanOutputs(const std::vector<InputFile>& inputs,
                                     const PlanSettings& settings);

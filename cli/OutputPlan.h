#pragma once
// Where each input's output goes, decided for the whole run before anything
// is converted, so that no output of the run replaces another output or an
// input of the same run.

#include "InputFiles.h"
#include "ReduceJob.h"

#include <cstddef>
#include <string>
#include <vector>

struct PlannedFile {
    std::string Source;
    std::string Output;
    std::string SubFolder;  // of Output below the output folder; "" without --tree
    std::string FoundIn;    // the input's SubFolder, with or without --tree
    std::string Refusal;    // why the file is not converted (a reason); empty: convert it
    // The first file of the plan (by index) whose output is this one's: the
    // file's own index when it is the first. The output belongs to the first
    // of them that converts; the rest are refused then.
    std::size_t Claim = 0;
};

// An input left out as the repetition of an earlier one.
struct MergedInput {
    std::string Path;
    std::string SameAs;  // the input kept
};

struct OutputPlan {
    std::vector<PlannedFile> Files;
    std::vector<MergedInput> Merged;
};

struct PlanSettings {
    std::string OutputFolder;  // without trailing "/"
    OutputType Type = OutputType::BMP;
    bool Tree = false;                    // files of folder arguments keep their sub-folders
    std::string Suffix = kReducedSuffix;  // after each output's name
};

// One entry per input file, in order; an input given again (also by another
// spelling or through a link) is left out, and listed as merged. An input
// whose output would replace an input of the run is refused, saying so and
// the way out; a Missed folder is refused for its own reason. Inputs that
// share an output are claimants of it (Claim).
OutputPlan PlanOutputs(const std::vector<InputFile>& inputs, const PlanSettings& settings);

// Why a claimant is refused whose output the file holder holds.
std::string TakenRefusal(const PlannedFile& claimant, const PlannedFile& holder, bool tree);

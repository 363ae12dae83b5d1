#pragma once
// One planned file's work in a run: converting it, or for --dry-run telling
// what converting it would do from its headers alone.

#include "FileOutcome.h"
#include "OutputPlan.h"
#include "ReduceJob.h"
#include "SizeRule.h"

#include <string>

struct WorkSettings {
    std::string OutputFolder;  // without trailing "/"
    OutputType Type = OutputType::BMP;
    uint8_t Quality = 85;
    ReduceChoice Choice;
    SizeRule Sizes;             // outputs not written for their size
    bool SkipExisting = false;  // an output that exists is not replaced
};

// Converts the file and writes its output, making its sub-folders first. A
// refused file fails with its refusal. Skipped without decoding: an output
// that exists (SkipExisting), and a BMP output whose size, known from a BMP
// source's header, the size rule refuses.
FileOutcome ConvertPlanned(const PlannedFile& file, const WorkSettings& settings);

// What ConvertPlanned would do, as far as the file's headers tell, writing
// nothing: a file that cannot be opened or whose BMP header is refused fails
// as it would; a BMP output's size is exact for a BMP source and unknown for
// every other source and for JPEG output.
FileOutcome PlanOnly(const PlannedFile& file, const WorkSettings& settings);

// The outcome a ReduceFile result stands for (a skip's reason aside).
FileOutcome OutcomeOf(const ReduceResult& result);

#pragma once
// Runs the work of each planned file on several threads while the caller
// sees the outcomes one by one in list order.

#include "FileOutcome.h"
#include "OutputPlan.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

// One file's work: converting it, or in a dry run what converting would do.
using FileWork = std::function<FileOutcome(const PlannedFile& file)>;

struct BatchSettings {
    unsigned Workers = 0;  // files at once; 0: one per core
    bool Tree = false;     // for the refusals of claimants
};

struct BatchCallbacks {
    // The file at index is the next one to be reported (it may already be done).
    std::function<void(std::size_t index)> Waiting;
    std::function<void(std::size_t index, const FileOutcome& outcome)> Finished;
};

// Every file is reported, on the calling thread and in list order. The
// claimants of one output are worked on by one thread, in list order: once
// one of them holds the output, the later ones are refused without work
// (TakenRefusal), so the outcome is the same at any number of workers. Once
// stop is set no file is started any more; the files being converted finish,
// and those never started are reported NotStarted. Each of the W files at
// once gets cores / W threads (at least 1) for its own bands.
void RunBatch(const std::vector<PlannedFile>& files, const BatchSettings& settings,
              const FileWork& work, const BatchCallbacks& callbacks, const std::atomic<bool>& stop);

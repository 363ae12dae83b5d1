#pragma once
// Runs ReduceFile over the planned files on several threads while the caller
// sees the results one by one in list order.

#include "OutputPlan.h"
#include "ReduceJob.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct BatchSettings {
    std::string OutputFolder;  // without trailing "/"
    OutputType Type = OutputType::BMP;
    uint8_t Quality = 85;
    ReduceChoice Choice;
    unsigned Workers = 0;     // files at once; 0: one per core
    bool SkipLarger = false;  // an output larger than its source is skipped
};

struct BatchCallbacks {
    // The file at index is the next one to be reported (it may already be done).
    std::function<void(std::size_t index)> Waiting;
    std::function<void(std::size_t index, const ReduceResult& result)> Finished;
};

// Both callbacks run on the calling thread, in list order. A refused file is
// reported failed with its refusal and not converted. Sub-folders of outputs
// are made when a file is about to be written. Once stop is set no file is
// started any more; the files being converted finish and are reported, and
// RunBatch returns how many files were reported (all of them unless stopped).
// Each of the W files at once gets cores / W threads (at least 1) for its
// own bands. mDither8bpp::InitDitherTables must have run before.
std::size_t RunBatch(const std::vector<PlannedFile>& files, const BatchSettings& settings,
                     const BatchCallbacks& callbacks, const std::atomic<bool>& stop);

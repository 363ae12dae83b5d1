#pragma once
// Runs ReduceFile over a list of files on several threads while the caller
// sees the results one by one in list order.

#include "ReduceJob.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct BatchSettings {
    std::string OutputFolder;
    OutputType Type = OutputType::BMP;
    uint8_t Quality = 85;
    unsigned Workers = 1;
};

struct BatchCallbacks {
    // The file at index is the next one to be reported (it may already be done).
    std::function<void(std::size_t index)> Waiting;
    std::function<void(std::size_t index, const ReduceResult& result)> Finished;
};

// Both callbacks run on the calling thread, in list order. Files whose output
// names are equal are converted one after the other in list order, so the
// later one's output is the one that stays, as when they run one by one.
// mDither8bpp::InitDitherTables must have run before.
void RunBatch(const std::vector<std::string>& files, const BatchSettings& settings,
              const BatchCallbacks& callbacks);

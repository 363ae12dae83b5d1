#include "BatchRun.h"

#include "ErrorMessage.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// For each file, the nearest earlier file with the same output path (kNone if
// none): it must be finished before this one starts.
std::vector<std::size_t> EarlierSameOutput(const std::vector<std::string>& files,
                                           const BatchSettings& settings) {
    std::vector<std::size_t> earlier(files.size(), kNone);
    std::unordered_map<std::string, std::size_t> lastByOutput;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string output =
            ReducedOutputPath(settings.OutputFolder, ReducedBaseName(files[i]), settings.Type);
        const auto [it, inserted] = lastByOutput.try_emplace(output, i);
        if (!inserted) {
            earlier[i] = it->second;
            it->second = i;
        }
    }
    return earlier;
}

class Batch {
public:
    Batch(const std::vector<std::string>& files, const BatchSettings& settings)
        : files_(files),
          settings_(settings),
          earlier_(EarlierSameOutput(files, settings)),
          results_(files.size()) {}

    // Takes files in list order. A file waits only for an earlier one, which
    // was taken before it and waits for nothing later: no cycle.
    void Work() {
        for (;;) {
            const std::size_t index = next_.fetch_add(1);
            if (index >= files_.size()) return;
            if (earlier_[index] != kNone) {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return results_[earlier_[index]].has_value(); });
            }
            ReduceResult result = Convert(files_[index]);
            {
                std::lock_guard lock(mutex_);
                results_[index] = std::move(result);
            }
            changed_.notify_all();
        }
    }

    ReduceResult Take(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return results_[index].has_value(); });
        return std::move(*results_[index]);  // the slot stays set: later files may wait on it
    }

private:
    ReduceResult Convert(const std::string& file) const {
        try {
            return ReduceFile(file, settings_.OutputFolder, settings_.Type, settings_.Quality);
        } catch (...) {  // ReduceFile reports its own failures; not these
            ReduceResult failed;
            failed.Message = ErrorMessage();
            return failed;
        }
    }

    const std::vector<std::string>& files_;
    const BatchSettings& settings_;
    const std::vector<std::size_t> earlier_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<ReduceResult>> results_;
};

}  // namespace

void RunBatch(const std::vector<std::string>& files, const BatchSettings& settings,
              const BatchCallbacks& callbacks) {
    Batch batch(files, settings);
    const std::size_t workerCount =
        std::max<std::size_t>(1, std::min<std::size_t>(settings.Workers, files.size()));
    std::vector<std::jthread> workers;
    workers.reserve(workerCount);
    for (std::size_t w = 0; w < workerCount; ++w) workers.emplace_back([&batch] { batch.Work(); });

    for (std::size_t index = 0; index < files.size(); ++index) {
        if (callbacks.Waiting) callbacks.Waiting(index);
        const ReduceResult result = batch.Take(index);
        if (callbacks.Finished) callbacks.Finished(index, result);
    }
}

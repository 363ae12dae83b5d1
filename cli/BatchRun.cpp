#include "BatchRun.h"

#include "BandPool.h"
#include "ReduceJob.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// The files worked on by one thread, in list order: a file alone, or every
// claimant of one output.
using Chain = std::vector<std::size_t>;

std::vector<Chain> ChainsOf(const std::vector<PlannedFile>& files) {
    std::vector<Chain> chains;
    std::vector<std::size_t> chainOf(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t first = files[i].Claim;
        if (first == i) {
            chainOf[i] = chains.size();
            chains.push_back({i});
        } else {
            chains[chainOf[first]].push_back(i);
        }
    }
    return chains;
}

FileOutcome NotStarted(const PlannedFile& file) {
    FileOutcome outcome;
    outcome.Output = file.Output;
    outcome.BytesIn = SourceFileSize(file.Source);
    return outcome;
}

class Batch {
public:
    Batch(const std::vector<PlannedFile>& files, const BatchSettings& settings,
          const FileWork& work, const std::atomic<bool>& stop)
        : files_(files),
          chains_(ChainsOf(files)),
          settings_(settings),
          work_(work),
          stop_(stop),
          outcomes_(files.size()) {}

    std::size_t Chains() const { return chains_.size(); }

    // Counts a worker in before it starts, so that Take never sees the count
    // at zero while a worker is still to come.
    void Joining() {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    void Leaving() {
        {
            std::lock_guard lock(mutex_);
            --running_;
        }
        changed_.notify_all();
    }

    // Takes chains in the order of their first files.
    void Work() {
        for (;;) {
            if (stop_.load()) break;
            const std::size_t chain = next_.fetch_add(1);
            if (chain >= chains_.size()) break;
            WorkOn(chains_[chain]);
        }
        Leaving();
    }

    // The file's outcome; NotStarted once no worker will ever come to it.
    FileOutcome Take(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return outcomes_[index].has_value() || running_ == 0; });
        if (!outcomes_[index]) return NotStarted(files_[index]);
        return std::move(*outcomes_[index]);
    }

private:
    void WorkOn(const Chain& chain) {
        const PlannedFile* holder = nullptr;
        for (const std::size_t index : chain) {
            const PlannedFile& file = files_[index];
            FileOutcome outcome;
            if (holder) {
                outcome.Status = FileStatus::Failed;
                outcome.Output = file.Output;
                outcome.Reason = TakenRefusal(file, *holder, settings_.Tree);
                outcome.BytesIn = SourceFileSize(file.Source);
            } else {
                if (stop_.load()) return;  // the rest of the chain is not started
                outcome = work_(file);
                if (outcome.HoldsOutput) holder = &file;
            }
            {
                std::lock_guard lock(mutex_);
                outcomes_[index] = std::move(outcome);
            }
            changed_.notify_all();
        }
    }

    const std::vector<PlannedFile>& files_;
    const std::vector<Chain> chains_;
    const BatchSettings& settings_;
    const FileWork& work_;
    const std::atomic<bool>& stop_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t running_ = 0;
    std::vector<std::optional<FileOutcome>> outcomes_;
};

}  // namespace

void RunBatch(const std::vector<PlannedFile>& files, const BatchSettings& settings,
              const FileWork& work, const BatchCallbacks& callbacks,
              const std::atomic<bool>& stop) {
    Batch batch(files, settings, work, stop);
    const unsigned wanted = settings.Workers == 0 ? parallel::Cores() : settings.Workers;
    const std::size_t workerCount =
        std::max<std::size_t>(1, std::min<std::size_t>(wanted, batch.Chains()));
    std::vector<std::jthread> workers;
    workers.reserve(workerCount);
    // Files at once times threads a file stays within the cores.
    const unsigned share =
        std::max<unsigned>(1, static_cast<unsigned>(parallel::Cores() / workerCount));
    for (std::size_t w = 0; w < workerCount; ++w) {
        batch.Joining();
        try {
            workers.emplace_back([&batch, share] {
                parallel::SetThreadShare(share);
                batch.Work();
            });
        } catch (const std::system_error&) {  // a process or thread limit: the ones started do
            batch.Leaving();
            break;
        }
    }
    if (workers.empty()) {  // not even one thread: the files are converted here, then reported
        batch.Joining();
        batch.Work();
    }

    for (std::size_t index = 0; index < files.size(); ++index) {
        if (callbacks.Waiting) callbacks.Waiting(index);
        const FileOutcome outcome = batch.Take(index);
        if (callbacks.Finished) callbacks.Finished(index, outcome);
    }
}

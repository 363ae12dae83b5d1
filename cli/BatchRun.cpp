#include "BatchRun.h"

#include "BandPool.h"
#include "ErrorMessage.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <sys/stat.h>

namespace {

// Makes each missing folder of subFolder below folder, with the rights the
// user's umask leaves of 0777, as for any folder the user's programs make.
void MakeSubFolders(const std::string& folder, const std::string& subFolder) {
    std::string path = folder;
    for (std::string::size_type start = 0; start < subFolder.size();) {
        std::string::size_type end = subFolder.find('/', start);
        if (end == std::string::npos) end = subFolder.size();
        path.push_back('/');
        path.append(subFolder, start, end - start);
        start = end + 1;
        if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("Cannot make the folder " + path + ": " +
                                     std::strerror(errno));
    }
}

class Batch {
public:
    Batch(const std::vector<PlannedFile>& files, const BatchSettings& settings,
          const std::atomic<bool>& stop)
        : files_(files), settings_(settings), stop_(stop), results_(files.size()) {}

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

    // Takes files in list order, so the files started always form the start
    // of the list.
    void Work() {
        for (;;) {
            if (stop_.load()) break;
            const std::size_t index = next_.fetch_add(1);
            if (index >= files_.size()) break;
            ReduceResult result = Convert(files_[index]);
            {
                std::lock_guard lock(mutex_);
                results_[index] = std::move(result);
            }
            changed_.notify_all();
        }
        Leaving();
    }

    // The file's result, or nothing when no worker will ever convert it.
    std::optional<ReduceResult> Take(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return results_[index].has_value() || running_ == 0; });
        return std::move(results_[index]);
    }

private:
    ReduceResult Convert(const PlannedFile& file) const {
        if (!file.Refusal.empty()) {
            ReduceResult refused;
            refused.OutputPath = file.Output;
            refused.Message = file.Refusal;
            return refused;
        }
        const auto check = [&](const ReduceResult& planned) {
            if (settings_.SkipLarger && planned.BytesOut > planned.BytesIn) return false;
            MakeSubFolders(settings_.OutputFolder, file.SubFolder);
            return true;
        };
        try {
            return ReduceFile(file.Source, file.Output, settings_.Type, settings_.Quality, check,
                              settings_.Choice);
        } catch (...) {  // ReduceFile reports its own failures; not these
            ReduceResult failed;
            failed.OutputPath = file.Output;
            failed.Message = ErrorMessage();
            return failed;
        }
    }

    const std::vector<PlannedFile>& files_;
    const BatchSettings& settings_;
    const std::atomic<bool>& stop_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t running_ = 0;
    std::vector<std::optional<ReduceResult>> results_;
};

}  // namespace

std::size_t RunBatch(const std::vector<PlannedFile>& files, const BatchSettings& settings,
                     const BatchCallbacks& callbacks, const std::atomic<bool>& stop) {
    const unsigned wanted = settings.Workers == 0 ? parallel::Cores() : settings.Workers;
    const std::size_t workerCount =
        std::max<std::size_t>(1, std::min<std::size_t>(wanted, files.size()));
    Batch batch(files, settings, stop);
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

    std::size_t reported = 0;
    for (; reported < files.size(); ++reported) {
        if (callbacks.Waiting) callbacks.Waiting(reported);
        const std::optional<ReduceResult> result = batch.Take(reported);
        if (!result) break;  // stopped before this file
        if (callbacks.Finished) callbacks.Finished(reported, *result);
    }
    return reported;
}

#include "SerialWorker.h"

#include "BandPool.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace parallel {

cSerialWorker::cSerialWorker(int depth) : depth_(static_cast<size_t>(std::max(1, depth))) {
    try {
        // A step that runs bands runs them on the handing thread's share of
        // the cores, as the handing thread would.
        thread_ = std::thread([this, share = ThreadShare()] {
            SetThreadShare(share);
            Loop();
        });
    } catch (const std::system_error&) {
    }
}

cSerialWorker::~cSerialWorker() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return done_ == handed_; });
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void cSerialWorker::Run(std::function<void()> step) {
    if (!thread_.joinable()) {
        if (failure_) std::rethrow_exception(failure_);
        try {
            step();
        } catch (...) {
            failure_ = std::current_exception();
            throw;
        }
        return;
    }
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return handed_ - done_ < depth_; });
        if (failure_) std::rethrow_exception(failure_);
        steps_.push_back(std::move(step));
        ++handed_;
    }
    changed_.notify_all();
}

void cSerialWorker::Wait() {
    std::unique_lock lock(mutex_);
    WaitFor(handed_, lock);
}

void cSerialWorker::WaitFor(uint64_t count) {
    std::unique_lock lock(mutex_);
    WaitFor(count, lock);
}

void cSerialWorker::WaitFor(uint64_t count, std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this, count] { return done_ >= count; });
    if (failure_) std::rethrow_exception(failure_);
}

void cSerialWorker::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return ending_ || !steps_.empty(); });
        if (steps_.empty()) return;  // ending, with nothing in hand
        const std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        lock.unlock();
        std::exception_ptr failure;
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        ++done_;
        if (failure && !failure_) failure_ = failure;
        if (failure_) {  // the steps after a failure are done without running
            done_ += steps_.size();
            steps_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace parallel

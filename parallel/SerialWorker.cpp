#include "SerialWorker.h"

#include "BandPool.h"

#include <system_error>
#include <utility>

namespace parallel {

cSerialWorker::cSerialWorker() {
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
        WaitIdle(lock);
        ending_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void cSerialWorker::WaitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !step_; });
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
        WaitIdle(lock);
        if (failure_) std::rethrow_exception(failure_);
        step_ = std::move(step);
    }
    changed_.notify_all();
}

void cSerialWorker::Wait() {
    std::unique_lock lock(mutex_);
    WaitIdle(lock);
    if (failure_) std::rethrow_exception(failure_);
}

void cSerialWorker::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return ending_ || step_; });
        if (!step_) return;  // ending, with nothing in hand
        lock.unlock();
        std::exception_ptr failure;
        try {
            step_();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_) failure_ = failure;
        step_ = nullptr;
        changed_.notify_all();
    }
}

}  // namespace parallel

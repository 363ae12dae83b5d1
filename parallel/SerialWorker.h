#pragma once
// A thread of its own for the steps of one run that must go in order, one
// at a time, beside the thread that hands them over: bands are read ahead of
// their dither, or written or encoded while the next ones are dithered. At
// most depth steps are in hand: handing over one more waits until the
// oldest is done, so depth + 1 buffers used in turn are enough. Without a
// thread to be had, each step runs on the handing thread. A step's bands
// (BandPool.h) use the handing thread's share of the cores.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace parallel {

class cSerialWorker {
public:
    explicit cSerialWorker(int depth = 1);
    // Waits for the steps in hand (whatever their outcome), then ends the thread.
    ~cSerialWorker();
    cSerialWorker(const cSerialWorker&) = delete;
    cSerialWorker& operator=(const cSerialWorker&) = delete;

    // Waits until fewer than depth steps are in hand, then hands step over.
    // Raises what a step before raised (and runs no more steps once one has
    // raised).
    void Run(std::function<void()> step);
    // Waits until every step handed over is done; raises as Run does.
    void Wait();
    // Waits until the first count steps handed over are done; raises as Run
    // does.
    void WaitFor(uint64_t count);

private:
    void Loop();
    void WaitFor(uint64_t count, std::unique_lock<std::mutex>& lock);

    const size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> steps_;  // handed over, not yet begun
    uint64_t handed_ = 0, done_ = 0;           // steps, counted from the first
    std::exception_ptr failure_;
    bool ending_ = false;
    std::thread thread_;  // not joinable when steps run on the handing thread
};

}  // namespace parallel

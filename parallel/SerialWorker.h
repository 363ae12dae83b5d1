#pragma once
// A thread of its own for the steps of one run that must go in order, one
// at a time, beside the thread that hands them over: a band is read ahead of
// its dither, or written or encoded while the next one is dithered. At most
// one step is in hand: handing over the next waits until the one before is
// done, so two buffers used in turn are enough. Without a thread to be had,
// each step runs on the handing thread. A step's bands (BandPool.h) use the
// handing thread's share of the cores.

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace parallel {

class cSerialWorker {
public:
    cSerialWorker();
    // Waits for the step in hand (whatever its outcome), then ends the thread.
    ~cSerialWorker();
    cSerialWorker(const cSerialWorker&) = delete;
    cSerialWorker& operator=(const cSerialWorker&) = delete;

    // Waits for the step before, then hands step over. Raises what a step
    // before raised (and runs no more steps once one has raised).
    void Run(std::function<void()> step);
    // Waits until the step in hand is done; raises as Run does.
    void Wait();

private:
    void Loop();
    void WaitIdle(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> step_;  // the step in hand, empty when none
    std::exception_ptr failure_;
    bool ending_ = false;
    std::thread thread_;  // not joinable when steps run on the handing thread
};

}  // namespace parallel

#pragma once
// Ctrl+C, SIGTERM and SIGHUP during a run: the first one asks the run to
// stop taking new files (the files being converted finish and the summary so
// far is printed); a second one ends the process at once, after removing
// every temporary file the writers still hold, with the exit status of the
// signal (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).
//
// The signals are blocked in the thread that creates the watch and in every
// thread it starts afterwards, and read on a thread of the watch's own: no
// signal handler runs, so the second signal's clean-up may take locks and
// free no resource half-way. A signal that is ignored when the watch starts
// is left ignored.

#include <atomic>
#include <thread>

class SignalWatch {
public:
    SignalWatch();   // before any worker thread starts
    ~SignalWatch();  // stops watching; the signals stay blocked until the process ends
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Set by the first signal.
    const std::atomic<bool>& Stop() const { return stop_; }
    // The first signal's number, 0 when none came.
    int Signal() const { return signal_.load(); }
    // Where the one line of the second signal goes (default: stderr).
    void SetMessages(int fd) { messages_.store(fd); }

private:
    void Watch();

    std::atomic<bool> stop_{false};
    std::atomic<int> signal_{0};
    std::atomic<int> messages_{2};
    int signals_ = -1;  // signalfd
    int wake_ = -1;     // eventfd that ends the watch
    std::thread watcher_;
};

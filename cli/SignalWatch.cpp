#include "SignalWatch.h"

#include "ReplacementFile.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// A signal ignored when the program starts stays ignored, as the caller
// wanted it (nohup ignores SIGHUP, a shell's background job SIGINT).
sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&set, number);
    }
    return set;
}

}  // namespace

SignalWatch::SignalWatch() {
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signals_ = ::signalfd(-1, &set, SFD_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (signals_ >= 0 && wake_ >= 0) {
        try {
            watcher_ = std::thread([this] { Watch(); });
            return;
        } catch (const std::system_error&) {  // a process or thread limit
        }
    }
    // Without the watch the signals act as they would by default: better
    // than not stopping at all.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

SignalWatch::~SignalWatch() {
    if (watcher_.joinable()) {
        const uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) == sizeof one)
            watcher_.join();
        else
            watcher_.detach();
    }
    if (signals_ >= 0) ::close(signals_);
    if (wake_ >= 0) ::close(wake_);
}

void SignalWatch::Watch() {
    for (;;) {
        pollfd fds[2] = {{signals_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        signalfd_siginfo info{};
        if (::read(signals_, &info, sizeof info) != sizeof info) continue;
        const int number = static_cast<int>(info.ssi_signo);
        int expected = 0;
        if (signal_.compare_exchange_strong(expected, number)) {
            stop_.store(true);
            continue;
        }
        // The second signal: no waiting for anything any more.
        cReplacementFile::AbandonAll();
        static constexpr char kNotice[] = "Interrupted again: stopped at once.\n";
        [[maybe_unused]] const ssize_t shown =
            ::write(messages_.load(), kNotice, sizeof kNotice - 1);
        ::_exit(128 + number);
    }
}

#pragma once
// The exit statuses of pixolune-cli, as its manual page lists them.

#include <csignal>

enum class ExitStatus : int {
    AllWritten = 0,  // every file written, or skipped by --skip-larger
    SomeFailed = 1,  // a file failed or was refused
    Usage = 2,       // a command line that cannot run, or no output folder
    // A run stopped by a signal: 128 + the signal's number, as shells report it.
    Hangup = 128 + SIGHUP,
    Interrupted = 128 + SIGINT,
    Terminated = 128 + SIGTERM,
};

inline ExitStatus StatusForSignal(int signal) {
    switch (signal) {
    case SIGHUP:
        return ExitStatus::Hangup;
    case SIGTERM:
        return ExitStatus::Terminated;
    default:
        return ExitStatus::Interrupted;
    }
}

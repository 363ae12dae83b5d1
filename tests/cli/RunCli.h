#pragma once
// Runs the built pixolune-cli as a child process and collects what it said.

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestFiles.h"

extern char** environ;

namespace testcli {

struct CliRun {
    int Status = -1;    // exit status; -1 when it did not exit normally
    bool Hung = false;  // killed after the guard time
    std::string Out;
    std::string Err;
};

// Runs the program with arguments, stdin from /dev/null, stdout and stderr
// captured through files (never a terminal, so no progress line). A run that
// has not ended after guardSeconds is killed and reported as hung.
inline CliRun RunCli(const std::vector<std::string>& arguments, const std::string& workingDir = "",
                     int guardSeconds = 120) {
    testfiles::TempDir capture;
    const std::string outPath = capture / "out", errPath = capture / "err";

    std::vector<std::string> argvText = {PIXOLUNE_CLI};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());

    CliRun run;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, PIXOLUNE_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;

    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            run.Hung = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!run.Hung && WIFEXITED(status)) run.Status = WEXITSTATUS(status);
    const auto out = testfiles::ReadFile(outPath), err = testfiles::ReadFile(errPath);
    run.Out.assign(out.begin(), out.end());
    run.Err.assign(err.begin(), err.end());
    return run;
}

}  // namespace testcli

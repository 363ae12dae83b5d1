#include "CliMessages.h"

#include <csignal>
#include <cstring>

std::string MessageLine(const std::string& subject, const std::string& what) {
    return "pixolune-cli: " + subject + ": " + what;
}

std::string ProgramLine(const std::string& what) { return "pixolune-cli: " + what; }

std::string FailureReason(const ReduceResult& result) {
    switch (result.FailedStep) {
    case ReduceStep::Load:
        if (result.FailedNumber == ErrorNumber::DeviceIO) return "cannot read it: " + result.Reason;
        if (result.FailedNumber == ErrorNumber::InvalidPicture)
            return "cannot decode it: " + result.Reason;
        // The system's reason as it is: "No such file or directory", "a
        // named pipe, not a picture file", "too large to load (...)".
        return result.Reason;
    case ReduceStep::Convert:
        return "cannot reduce it: " + result.Reason;
    case ReduceStep::Write:
        break;
    }
    return "cannot write " + result.OutputPath + ": " + result.Reason;
}

std::string OutputTakenReason(const std::string& output, const std::string& holder,
                              bool treeWouldHelp) {
    return "not converted: it would write " + output + ", the output of " + holder +
           (treeWouldHelp ? " (use --tree to keep sub-folders apart, or rename one of them)"
                          : " (rename one of them)");
}

std::string OutputIsInputReason(const std::string& output) {
    return "not converted: it would write " + output +
           ", an input of this run (choose another output folder, or rename " + output + ")";
}

std::string FolderMissedReason(int error) {
    if (error == 0)
        return "its files are not converted: its name is not valid UTF-8, or holds \"?\" or a "
               "control character";
    return std::string("cannot list its files: ") + std::strerror(error);
}

std::string OutputExistsReason(const std::string& output) {
    return output + " exists (--skip-existing)";
}

std::string NotStartedReason(int signal) {
    const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGHUP ? "SIGHUP" : "SIGINT";
    return std::string("the run was stopped (") + name + ") before it was started";
}

std::string SameFileNote(const std::string& kept) {
    return "the same file as " + kept + ": converted once";
}

std::string OutputFolderNote() { return "left out of the walk: it is the output folder"; }

std::string OutputNameNote() {
    return "left out of the walk: its name is an output name (--include-reduced takes it)";
}

std::string NoFileNote() { return "no file in it to convert"; }

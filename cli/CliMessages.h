#pragma once
// pixolune-cli's own texts. Every line about one file or folder reads
// "pixolune-cli: PATH: what went wrong", with the system's reason where there
// is one; the window keeps its texts (error/Messages.h).

#include "ReduceJob.h"

#include <string>

// What standard input and output are called where a path would stand.
inline constexpr const char* kStandardInput = "standard input";
inline constexpr const char* kStandardOutput = "standard output";

// "pixolune-cli: " + subject + ": " + what.
std::string MessageLine(const std::string& subject, const std::string& what);
// "pixolune-cli: " + what, for the lines about no one file.
std::string ProgramLine(const std::string& what);

// Why a file failed, from its result: the step and the reason.
std::string FailureReason(const ReduceResult& result);

// Why a file was not converted before anything was tried.
std::string OutputTakenReason(const std::string& output, const std::string& holder,
                              bool treeWouldHelp);
std::string OutputIsInputReason(const std::string& output);
// A folder of a tree the walk could not take (error: its errno; 0 for a name
// it refuses).
std::string FolderMissedReason(int error);

// Why a file was skipped or not started.
std::string OutputExistsReason(const std::string& output);
std::string NotStartedReason(int signal);

// Notes about the inputs: a repetition left out, files the walk left out, a
// folder argument that gave nothing.
std::string SameFileNote(const std::string& kept);
std::string OutputFolderNote();
std::string OutputNameNote();
std::string NoFileNote();

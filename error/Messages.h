#pragma once
// The program's own message texts, in one place for the window, the per-file
// job and pixolune-cli. Box texts write CR for a line break, as the window's
// dialogs expect.

#include <string>

// A source that gives no picture, directly followed by its path.
inline constexpr const char* kLoadFailed = "Unexpected error loading image..";
// The window's conversion without a source image.
inline constexpr const char* kNothingToDither = "Nothing to dither..";
// Writing without a reduced image.
inline constexpr const char* kNothingToSave = "Nothing to save.";
// A picture file that does not decode; ": " and its path follow.
inline constexpr const char* kInvalidPicture = "Invalid picture";
// What a failed allocation is reported as.
inline constexpr const char* kOutOfMemory = "Out of memory";
// What a caught error that carries no text of its own is reported as.
inline constexpr const char* kUnexpectedError = "Unexpected error";

inline constexpr const char* kNoFilesAdded = "No files added.";
inline constexpr const char* kFolderMissing =
    "Folder does not exist. Please select another folder.";
inline constexpr const char* kDone = "Done.";
// "Error reducing file: " + path + CR LF + message + path.
inline constexpr const char* kReduceFailed = "Error reducing file: ";
// A list item whose output an earlier item of the same run has written: it is
// not converted, so that output is not lost.
inline std::string OutputTakenText(const std::string& source, const std::string& output,
                                   const std::string& earlierSource) {
    return "Not converted: " + source + "\r\n" + output + " is already the output of " +
           earlierSource + " in this run (rename one of them).";
}
// The progress bar's text: "Processing: " + file name while a file is worked on.
inline constexpr const char* kProcessing = "Processing: ";
inline constexpr const char* kProgressBarIdle = "Progress Bar";

// The folder choosers' prompt.
inline constexpr const char* kSelectFolder = "Please select folder:";
inline constexpr const char* kExtensionPrompt =
    "Enter file extension to load:\r\r"
    "(* for all files, txt for all txt files, doc for all doc files, etc.)";
inline constexpr const char* kOpenSamplesQuestion =
    "Would you like this software to open the folder where these sample files are stored "
    "(so that you can view them before working with them)?";
// + the samples folder, when no file manager could be started for it.
inline constexpr const char* kCannotOpenFolder =
    "No file manager could be started to open this folder:\r";

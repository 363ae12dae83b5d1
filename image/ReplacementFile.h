#pragma once
// A file written under a temporary name beside its target and renamed over the
// target once complete: a failed write never leaves a half-written file, never
// costs an earlier file of that name, and a symbolic or hard link at the target
// is replaced instead of written through.
//
// Every step returns 0 or the errno of what failed, so that each writer can
// raise its own kind of error.
//
// The temporary files of all live objects are known process-wide, so that a
// program ended at once (a second Ctrl+C) can remove them first.

#include <cstddef>
#include <string>

class cReplacementFile {
public:
    explicit cReplacementFile(std::string target);
    ~cReplacementFile();  // removes the temporary file unless Commit succeeded
    cReplacementFile(const cReplacementFile&) = delete;
    cReplacementFile& operator=(const cReplacementFile&) = delete;

    int Open();
    int Write(const void* data, size_t length);
    int Commit();  // closes the file and renames it over the target

    // Removes the temporary file of every object of the process, on any
    // thread, and makes every later Open and Commit fail with ECANCELED (so
    // no new temporary file appears and none is renamed over its target):
    // for a program about to end without waiting for its writers.
    static void AbandonAll();

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

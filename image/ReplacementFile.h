#pragma once
// A file written under a temporary name beside its target and renamed over the
// target once complete: a failed write never leaves a half-written file, never
// costs an earlier file of that name, and a symbolic or hard link at the target
// is replaced instead of written through.
//
// Every step returns 0 or the errno of what failed, so that each writer can
// raise its own kind of error.

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

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

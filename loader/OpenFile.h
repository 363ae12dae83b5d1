#pragma once
// A picture file opened for reading: only a regular file, and a way to tell
// whether it changed while it was read. Raises the loader's errors.

#include <cstdint>
#include <string>

#include <sys/stat.h>

// An open file, closed when it goes, with its state when it was opened.
struct cOpenFile {
    int Fd = -1;
    struct stat Opened {};
    uint64_t Size() const { return static_cast<uint64_t>(Opened.st_size); }

    cOpenFile() = default;
    cOpenFile(const cOpenFile&) = delete;
    cOpenFile& operator=(const cOpenFile&) = delete;
    ~cOpenFile();
};

// Opens the file for reading after making sure it is a regular file (a
// folder, a named pipe, a socket or a device is refused by its mode alone),
// and checks again on the open descriptor in case the path changed in
// between.
void OpenRegularFile(const std::string& path, cOpenFile& file);

// Refuses a file that was written to since it was opened: what was read of
// it may be part old, part new, or cut short.
void RequireUnchanged(const cOpenFile& file, const std::string& path);

#pragma once
// A file written beside its target and renamed over the target once complete:
// a failed write never leaves a half-written file, never costs an earlier file
// of that name, and a symbolic or hard link at the target is replaced instead
// of written through.
//
// Where the file system allows, the file has no name while it is written
// (O_TMPFILE): a process killed in the middle leaves nothing behind. It gets a
// hidden temporary name (".NAME.XXXXXX") only for the instant between being
// linked in and renamed, and, on file systems without unnamed files, for the
// whole write; such leftovers of killed runs are what RemoveStaleTemporaries
// clears.
//
// Every step returns 0 or the errno of what failed, so that each writer can
// raise its own kind of error.
//
// The temporary files of all live objects are known process-wide, so that a
// program ended at once (a second Ctrl+C) can remove them first.

#include <cstddef>
#include <ctime>
#include <string>

class cReplacementFile {
public:
    explicit cReplacementFile(std::string target);
    ~cReplacementFile();  // removes the temporary file unless Commit succeeded
    cReplacementFile(const cReplacementFile&) = delete;
    cReplacementFile& operator=(const cReplacementFile&) = delete;

    int Open();
    int Write(const void* data, size_t length);
    int WriteAt(const void* data, size_t length, unsigned long long offset);
    int Commit();  // closes the file and renames it over the target

    // Removes the temporary file of every object of the process, on any
    // thread, and makes every later Open and Commit fail with ECANCELED (so
    // no new temporary file appears and none is renamed over its target):
    // for a program about to end without waiting for its writers.
    static void AbandonAll();

    // Removes from folder the hidden temporary files of this naming, for
    // targets ending in .bmp or .jpg, that were last written before the
    // given time and that no live writer holds (each holds a lock on its
    // own). Returns how many it removed.
    static int RemoveStaleTemporaries(const std::string& folder, time_t writtenBefore);

private:
    int LinkHidden();  // gives the unnamed file its temporary name

    std::string target_;
    std::string path_;  // the temporary name, once there is one
    int fd_ = -1;
    bool unnamed_ = false;
    bool committed_ = false;
};

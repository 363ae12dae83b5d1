#pragma once
// Reading an open file by offset (pread): the descriptor's own position is
// never moved, so another reader of the same descriptor is not disturbed.

#include <cstddef>
#include <cstdint>

// Reads up to size bytes at offset into to, as many reads as it takes.
// Returns the bytes read (fewer only at the end of the file), or -1 with
// errno set.
std::ptrdiff_t ReadAt(int fd, void* to, std::size_t size, uint64_t offset);

// A file read front to back, byte by byte, through a buffer.
class cFileBytes {
public:
    cFileBytes(int fd, uint64_t begin) : fd_(fd), position_(begin) {}
    cFileBytes(const cFileBytes&) = delete;
    cFileBytes& operator=(const cFileBytes&) = delete;

    // The next byte, or -1 at the end of the file or on a read error.
    int Next() {
        if (at_ == end_ && !Refill()) return -1;
        ++position_;
        return buffer_[at_++];
    }
    // Skips count bytes; false when no byte follows them.
    bool Skip(uint64_t count);
    // Whether a read failed (as opposed to the file simply ending).
    bool Failed() const { return failed_; }

private:
    bool Refill();

    int fd_;
    uint64_t position_;  // file offset of the next byte
    uint8_t buffer_[65536];
    std::size_t at_ = 0, end_ = 0;
    bool failed_ = false;
};

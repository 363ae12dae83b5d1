#pragma once
// Reading an open file by offset (pread): the descriptor's own position is
// never moved, so another reader of the same descriptor is not disturbed.

#include <cstddef>
#include <cstdint>

// Reads up to size bytes at offset into to, as many reads as it takes.
// Returns the bytes read (fewer only at the end of the file), or -1 with
// errno set.
std::ptrdiff_t ReadAt(int fd, void* to, std::size_t size, uint64_t offset);

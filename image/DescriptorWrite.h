#pragma once
// Writing a whole block to an open descriptor (standard output, a pipe),
// where the system may take it in pieces.

#include <cstddef>

// Writes all length bytes, going on after a partial write or an interrupted
// one. Returns 0, or the errno of the write that failed.
int WriteAll(int fd, const void* data, std::size_t length);

// The same at offset in a file, whatever the descriptor's position (pwrite).
int WriteAllAt(int fd, const void* data, std::size_t length, unsigned long long offset);

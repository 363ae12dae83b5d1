#pragma once
// Whether a JPEG file is all there: its markers walked from the start of the
// file to the end-of-image marker, entropy-coded data included.

#include <cstdint>

enum class JpegExtent {
    NotJpeg,    // no start-of-image marker
    Complete,   // the end-of-image marker is there (whatever follows it)
    Truncated,  // the file ends before it
    Unreadable, // a segment length no decoder could follow: the decoder decides
    ReadError,  // reading failed; errno tells why
};

// Walks the open file from its first byte (the descriptor's position is not moved).
JpegExtent WalkJpeg(int fd);

#pragma once
// Whether a JPEG, GIF, XBM or run-length BMP file is all there, found by walking its structure
// from the first byte (the descriptor's position is not moved). Their
// decoders make a picture of whatever part they get and call it a success.

#include <cstdint>

struct BmpHeader;

enum class FileExtent {
    OtherFormat,  // not a file of this format
    Complete,     // what the first picture needs is all there
    Truncated,    // the file ends before that
    Unreadable,   // a structure no decoder could follow: the decoder decides
    ReadError,    // reading failed; errno tells why
};

// Complete when the end-of-image marker is there (whatever follows it).
FileExtent JpegExtent(int fd);

// Complete when the first image's data blocks end before the file does.
FileExtent GifExtent(int fd);

// Complete when the file holds every byte of the rows that its two
// "#define" lines (width, height) call for.
FileExtent XbmExtent(int fd);

// For a run-length BMP file of fileSize bytes: complete when its codes (from
// the pixel start on) reach the end-of-bitmap code, or the end of the last
// row, before the file ends. Runs may stop short of a row or skip pixels;
// that is how the format leaves pixels unset.
FileExtent RleExtent(int fd, uint64_t fileSize, const BmpHeader& header);

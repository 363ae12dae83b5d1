#pragma once
// Whether a JPEG, GIF, XBM or run-length BMP file is all there, found by
// walking its structure from the first byte of its contents in memory. Their
// decoders make a picture of whatever part they get and call it a success.

#include <cstdint>
#include <span>

struct BmpHeader;

enum class FileExtent {
    OtherFormat,  // not a file of this format
    Complete,     // what the first picture needs is all there
    Truncated,    // the file ends before that
    Unreadable,   // a structure no decoder could follow: the decoder decides
};

// Complete when the end-of-image marker is there (whatever follows it).
FileExtent JpegExtent(std::span<const uint8_t> file);

// Complete when the first image's data blocks end before the file does.
FileExtent GifExtent(std::span<const uint8_t> file);

// Complete when the file holds every byte of the rows that its two
// "#define" lines (width, height) call for.
FileExtent XbmExtent(std::span<const uint8_t> file);

// For a run-length BMP file: complete when its codes (from
// the pixel start on) reach the end-of-bitmap code, or the end of the last
// row, before the file ends. Runs may stop short of a row or skip pixels;
// that is how the format leaves pixels unset.
FileExtent RleExtent(std::span<const uint8_t> file, const BmpHeader& header);

#pragma once
// The native reader of the commonest BMP files: uncompressed 24- and 32-bit
// pixels (BI_RGB, or bit fields with the standard 8-8-8 masks and an
// optional 0xFF000000 alpha mask) under a 40-byte, V4 or V5 header, rows
// bottom-up or top-down. Every other file goes to the general decoder.
//
// The pixel data is read in bands of rows, each band with one read straight
// into its own rows of the picture's memory, which is laid out as cDIB keeps
// it (32 bpp, bottom-up, packed), so the image takes it over as it is.

#include "BmpHeader.h"
#include "cPicture.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// Whether ReadNativeBmp reads files of this header. Headers of other kinds,
// sizes that are zero, negative or beyond what an image holds, and offsets
// inside the headers are left to the general decoder.
bool IsNativeBmp(const BmpHeader& header);

enum class BmpReadStatus {
    Read,       // the picture holds the image
    Truncated,  // the file ends before its pixel data does
    NoMemory,   // no memory for the pixels
    ReadError,  // reading failed; errno tells why
};

// Reads up to size bytes of the file at offset into to: the bytes read (fewer
// only at the end of the file), or -1 with errno set. Called from several
// threads at once.
using ReadFileAt = std::function<std::ptrdiff_t(void* to, std::size_t size, uint64_t offset)>;

// Reads count rows of pixels, memory rows first to first + count - 1 (row 0 the
// bottom of the picture), of a file whose header passes IsNativeBmp and whose
// pixel data the file holds, into pixels (4 x width bytes a row, as cDIB
// keeps them: Blue, Green, Red and a fourth byte that is not part of the
// colour, alpha composited over white). errno's value is left in error when
// reading fails.
BmpReadStatus ReadBmpRows(const ReadFileAt& read, const BmpHeader& header, int32_t first,
                          int32_t count, uint8_t* pixels, int& error);

// Reads the pixels of a file of fileSize bytes whose header passes
// IsNativeBmp into a 32-bpp bottom-up picture: Blue, Green, Red, and a
// fourth byte that is not part of the colour; alpha is composited over white
// as for every loaded picture. Nothing is allocated before the file is known
// to hold all the pixel data.
BmpReadStatus ReadNativeBmp(const ReadFileAt& read, uint64_t fileSize, const BmpHeader& header,
                            cPicture& picture);

#pragma once
// A PNG or JPEG file decoded row by row by its own library (libpng,
// libjpeg-turbo), top row first, into 32-bpp rows (Blue, Green, Red, fourth
// byte): the pixels Qt's reader gives for the same file, so that the whole
// picture's load and the banded road read the same bytes. Variants whose
// pixels would differ from Qt's (an interlaced PNG, a CMYK JPEG) are left to
// Qt's reader.

#include "BmpReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class cRowDecoder {
public:
    virtual ~cRowDecoder() = default;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // The next count rows of the picture, downwards: the first at rows, each
    // next one stride bytes on (negative for memory that keeps rows
    // bottom-up). Raises the loader's error for data that is missing or does
    // not decode.
    virtual void ReadRows(uint8_t* rows, std::ptrdiff_t stride, int32_t count) = 0;
    // Passes over the next count rows.
    virtual void SkipRows(int32_t count) = 0;
    // Reads what follows the last row as far as Qt's reader reads it (a
    // JPEG's end marker): a file cut there is refused as well. Call it once
    // every row is read.
    virtual void Finish() = 0;

protected:
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// The formats with a decoder of their own.
enum class RowFormat { None, Png, Jpeg };
RowFormat RowFormatOf(const uint8_t* head, std::size_t size);

// Where a decoder's bytes come from: read(to, size, offset) as ReadFileAt
// reads, from a file of fileSize bytes.
struct cRowInput {
    ReadFileAt Read;
    uint64_t FileSize = 0;
    const std::string* Path = nullptr;  // for the errors' descriptions
};

// The file's decoder with its header read, or nullptr for a file of another
// format or a variant left to Qt's reader. Raises the loader's error for a
// header that does not decode, and 7 for a picture of more than maxPixels
// pixels.
std::unique_ptr<cRowDecoder> OpenRowDecoder(const cRowInput& input, int64_t maxPixels);

// Raise the loader's error for a decoder's failure, as its library left it:
// a read that failed (readError, an errno), a file cut short, else the
// library's message (named as data missing where it says so); and for a
// warning of data missing (missing, empty when there was none).
[[noreturn]] void RaiseDecoderFailure(const std::string& path, int readError, bool cut,
                                      const char* message);
void RequireNothingMissing(const std::string& path, const std::string& missing);

std::unique_ptr<cRowDecoder> OpenPngRows(const cRowInput& input, int64_t maxPixels);
std::unique_ptr<cRowDecoder> OpenJpegRows(const cRowInput& input, int64_t maxPixels);

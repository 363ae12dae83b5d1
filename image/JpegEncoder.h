#pragma once
// A baseline JPEG encoded in memory from rows handed over from the top of the
// picture down, a few at a time, so that no picture has to be whole in memory
// to be encoded: YCbCr with 4:2:0 chroma subsampling, the standard tables
// scaled to the quality, the fast integer DCT below quality 96 and the
// accurate one from 96 on (the settings of the program's JPEG files since
// their first version, which keeps their bytes).
//
// Every failure is error 5, "Cannot save the image. GDI+ Error:" followed by a
// status number: the errno of a file operation below 1000, or one of
// JpegStatus.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace JpegStatus {
inline constexpr int EncoderStart = 1001;  // the encoder could not be started
inline constexpr int Encoding = 1002;      // the encoder refused or failed to encode
inline constexpr int Unsupported = 1003;   // an empty image or a depth JPEG cannot hold
inline constexpr int Quality = 1004;       // a quality above 100
}  // namespace JpegStatus

[[noreturn]] void RaiseJpegSaveError(int status);

// An encoded file: Size bytes at Data.
struct JPGBytesFree {
    void operator()(unsigned char* bytes) const;
};
struct cJPGBytes {
    std::unique_ptr<unsigned char, JPGBytesFree> Data;
    size_t Size = 0;
};

// How the rows handed to the encoder hold a pixel.
enum class JpegPixels {
    BGRX,     // Blue, Green, Red, unused: a 32-bit image
    RGB,
    Indexed,  // one byte, the number of an entry of a colour table
};

class cJpegEncoder {
public:
    // Starts the file of a width x height picture at quality (1..100; 0
    // encodes as 1). Indexed rows need colourTable: 256 entries of Blue,
    // Green, Red, unused; the bytes are those of the rows expanded through it.
    cJpegEncoder(int32_t width, int32_t height, uint8_t quality, JpegPixels pixels,
                 const uint8_t* colourTable = nullptr);
    ~cJpegEncoder();
    cJpegEncoder(const cJpegEncoder&) = delete;
    cJpegEncoder& operator=(const cJpegEncoder&) = delete;

    // Encodes the next count rows of the picture, the first at first and each
    // following one stride bytes on (a negative stride walks memory kept
    // bottom-up).
    void WriteRows(const uint8_t* first, std::ptrdiff_t stride, int32_t count);

    // Ends the file once every row is written and gives its bytes.
    cJPGBytes Finish();

private:
    // Hands the planes' full block of rows to the library.
    void WritePlanes();

    struct State;
    std::unique_ptr<State> state_;
    std::vector<uint8_t*> rows_;
};

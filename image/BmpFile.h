#pragma once
// The uncompressed BMP file as the program writes it: the 14-byte file
// header, the 40-byte information header, the colour table, then the pixel
// rows bottom-up, each padded to 4 bytes. cDIB::Save writes an image whole;
// a conversion that never holds the whole picture writes its rows band by
// band through the same writer.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ReplacementFile.h"

// The 40-byte BMP information header, as held by the image and written to files.
#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    uint32_t biSize = 0;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 0;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

inline constexpr int32_t kBmpHeadersBytes = 14 + static_cast<int32_t>(sizeof(BITMAPINFOHEADER));

// The information header of an image of that size and depth, as the image
// holds it from its creation on.
BITMAPINFOHEADER BmpInfoHeader(int32_t width, int32_t height, int32_t bpp);

// The file's bytes before the pixel rows: file header, information header,
// colour table; the file's size counts pixelBytes of rows after them.
std::vector<uint8_t> BmpFileHead(const BITMAPINFOHEADER& info, std::span<const uint8_t> colourTable,
                                 uint64_t pixelBytes);

// Raises the write error of path for errno value error, as every BMP and
// JPEG writer of the program reports it (writing: the failure came after
// the file was opened).
[[noreturn]] void RaiseFileError(const std::string& path, int error, bool writing);

// A BMP file written in pieces into a replacement of path: the head, then
// rows in file order, or at their place in the file (WriteAt, for rows that
// come top row first). The file replaces an earlier one only on Commit;
// destroyed before, it leaves nothing. Every step raises its failure.
class cBmpFileWriter {
public:
    cBmpFileWriter(const std::string& path, std::span<const uint8_t> head);
    void Write(const uint8_t* rows, std::size_t bytes);
    void WriteAt(const uint8_t* rows, std::size_t bytes, uint64_t offset);
    void Commit();

private:
    std::string path_;
    cReplacementFile file_;
};

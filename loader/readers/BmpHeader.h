#pragma once
// The headers at the start of a BMP file, and how far its pixel data must
// reach: both picture readers decide by these whether a file is all there.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Bytes at the start of a file that hold every header ParseBmpHeader reads.
inline constexpr std::size_t kBmpHeadBytes = 14 + 124;

enum BmpCompression : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
    BI_ALPHABITFIELDS = 6,
};

struct BmpHeader {
    uint32_t PixelOffset = 0;  // where the file says its pixels start
    uint32_t InfoSize = 0;     // 12 (OS/2), 40, 52, 56, 64, 108 (V4) or 124 (V5)
    int64_t Width = 0;         // as stored: may be zero or negative in a broken file
    int64_t Height = 0;        // as stored: negative for rows top-down
    uint16_t Planes = 0;
    uint16_t BitCount = 0;
    uint32_t Compression = BI_RGB;
    uint32_t ColoursUsed = 0;
    // The words at file offsets 54, 58, 62 and 66 (0 past the end of the file):
    // the red, green, blue and alpha masks where the file has them, inside a
    // V2 to V5 header or after a 40-byte one.
    uint32_t Masks[4] = {};

    int64_t Rows() const { return Height < 0 ? -Height : Height; }
    bool HasBitFields() const {
        return Compression == BI_BITFIELDS || Compression == BI_ALPHABITFIELDS;
    }
    // The alpha mask, where the header has one (0 otherwise).
    uint32_t AlphaMask() const {
        return InfoSize >= 56 || Compression == BI_ALPHABITFIELDS ? Masks[3] : 0;
    }
    bool IsRle() const {
        return (Compression == BI_RLE8 && BitCount == 8) ||
               (Compression == BI_RLE4 && BitCount == 4);
    }
};

// The headers of a BMP file from its first bytes (kBmpHeadBytes or the whole
// file when shorter); nothing when they are not those of a BMP file.
std::optional<BmpHeader> ParseBmpHeader(std::span<const uint8_t> head);

// The first byte the pixel data may start at: the file's own offset, but
// never inside the headers.
uint64_t BmpPixelStart(const BmpHeader& header);

// Bytes of uncompressed pixel data the header describes (rows padded to 4
// bytes, UINT64_MAX when beyond counting); 0 when it describes no
// uncompressed data of a known depth and a positive size.
uint64_t BmpUncompressedBytes(const BmpHeader& header);

// Whether a file of fileSize bytes holds all of that uncompressed data.
bool BmpDataFits(const BmpHeader& header, uint64_t fileSize);

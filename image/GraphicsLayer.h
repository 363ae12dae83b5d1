#pragma once
// The small graphics layer the image code draws through: drawing contexts that
// a bitmap can be selected into, and the two blits between them (a plain copy
// that converts pixel formats, and a nearest-pixel scaled copy).
//
// Coordinates are picture coordinates: row 0 is the top row of the picture,
// whatever order the rows have in memory.

#include "RowView.h"

#include <cstddef>
#include <cstdint>

// Raster operation: the only one the program uses.
inline constexpr int32_t SRCCOPY = 0x00CC0020;

// A view of a bitmap's pixel memory.
struct cBitmapBits {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BPP = 0;                      // 1, 4, 8 or 32
    int32_t Stride = 0;                   // bytes per memory row
    uint8_t* Bits = nullptr;              // first byte of memory row 0
    bool BottomUp = true;                 // memory row 0 is the bottom row of the picture
    const uint8_t* ColorTable = nullptr;  // 2^BPP entries Blue, Green, Red, reserved when BPP <= 8

    // Address of picture row y (0 = top).
    uint8_t* Row(int32_t y) const {
        return RowView<uint8_t>{Bits, Stride, Height, BottomUp}.Row(y);
    }
};

// The depths images are held, drawn and written in: indexed 1, 4 or 8 bpp,
// or 32 bpp.
inline bool IsIndexedDepth(int32_t bpp) { return bpp == 1 || bpp == 4 || bpp == 8; }
inline bool IsSupportedDepth(int32_t bpp) { return IsIndexedDepth(bpp) || bpp == 32; }

// Colour-table index of pixel x of an indexed row (1, 4 or 8 bpp); the
// leftmost pixel sits in the high bits of a byte.
inline uint8_t PixelIndex(const uint8_t* row, int32_t x, int32_t bpp) {
    switch (bpp) {
    case 8:
        return row[x];
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

// Nearest-pixel scaling: destination offset d (0..n-1) of an n-wide span takes
// source offset floor((2d+1)·sourceLength / 2n) of a sourceLength-wide span,
// the source pixel under the centre of the destination pixel.
inline int64_t NearestSourceOffset(int64_t d, int64_t n, int64_t sourceLength) {
    // (2d+1) < 2^32 and sourceLength < 2^31: the product fits 64 bits.
    return ((2 * d + 1) * sourceLength) / (2 * n);
}

// A drawing context: something blits can go into. A memory context draws into
// the bitmap selected into it; a window's context (the preview canvas) draws
// on screen.
class cDC {
public:
    virtual ~cDC() = default;

    // Copies the w x h rectangle at (xSrc, ySrc) of src to (x, y). Indexed
    // source pixels become their colour-table colours at 32 bpp (unused byte
    // 0); at equal depths the bytes are copied. Returns nonzero on success.
    virtual int32_t BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                           int32_t xSrc, int32_t ySrc) = 0;

    // Nearest-pixel scaled copy (rows and columns dropped or repeated, never
    // blended) of the wSrc x hSrc rectangle at (xSrc, ySrc) onto the w x h
    // rectangle at (x, y): destination pixel (dx, dy) takes source
    // (xSrc + floor((2dx+1)·wSrc / 2w), ySrc + floor((2dy+1)·hSrc / 2h)).
    // Returns nonzero on success.
    virtual int32_t StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                               int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) = 0;

    // The bitmap selected into this context, or nullptr (a window's context).
    virtual const cBitmapBits* SelectedBitmap() const = 0;
};

// A memory drawing context: blits go into the bitmap selected into it.
class cMemoryDC final : public cDC {
public:
    // Selects a bitmap (nullptr: none) and returns the one selected before.
    const cBitmapBits* SelectObject(const cBitmapBits* bitmap) {
        const cBitmapBits* old = selected_;
        selected_ = bitmap;
        return old;
    }

    int32_t BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src, int32_t xSrc,
                   int32_t ySrc) override;
    int32_t StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                       int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) override;
    const cBitmapBits* SelectedBitmap() const override { return selected_; }

private:
    const cBitmapBits* selected_ = nullptr;
};

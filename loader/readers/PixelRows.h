#pragma once
// Whole-row work on 32-bpp pixel memory (Blue, Green, Red, fourth byte) that
// both picture readers share: widening 24-bit file rows and showing
// transparent pixels over white.
//
// The row functions take a range of rows (first, count), so that a caller
// may run them in bands. (Turning rows over is in RowOrder.h.)

#include <cstddef>
#include <cstdint>

// Bytes of one 24-bit BMP row: 3 a pixel, padded to a multiple of 4.
inline std::size_t Stride24(int32_t width) {
    return (3 * static_cast<std::size_t>(width) + 3) & ~std::size_t(3);
}

// Rows [first, first + count) of a 32-bpp image of the given width, whose
// memory from row first on holds those count rows as 24-bit BMP rows
// (Stride24 apart): widened in place to Blue, Green, Red, 0. Works from the
// last pixel backwards, so no byte is overwritten before it is read; bands of
// rows are independent of each other.
void ExpandRows24To32(uint8_t* bits, int32_t width, int32_t first, int32_t count);

// Transparent pixels are shown over white: c' = (c·a + 255·(255 − a) + 127) / 255.
inline uint8_t OverWhite(uint32_t c, uint32_t a) {
    return static_cast<uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

// Rows [first, first + count) of Blue, Green, Red, alpha pixels (rows of
// 4 x width bytes, stride apart) composited over white; alpha becomes 255.
void CompositeRowsOverWhite(uint8_t* bits, std::size_t stride, int32_t width, int32_t first,
                            int32_t count);

#pragma once
// The pixel mapping of the fine mode: the nearest palette entry through the
// 64 x 64 x 64 map, after an ordered dither whose amplitude follows how far
// apart the palette's entries lie around the pixel's colour, so that it mixes
// neighbouring entries and no more.

#include "NearestMap.h"

#include <array>
#include <cstdint>

class cPal8bpp;

namespace mDither8bpp::detail {

class cFineMap {
public:
    // From the first Entries entries of palette (an empty one raises an
    // overflow error).
    explicit cFineMap(const cPal8bpp& palette);

    // The entry for the source pixel at s (Blue, Green, Red) at matrix
    // position p = (y mod 4) * 4 + (x mod 4).
    uint8_t Index(const uint8_t* s, int32_t p) const {
        const int32_t r = s[2], g = s[1], b = s[0];
        const int32_t offset = (amplitude_[Coarse(r, g, b)] * kMatrix[p]) >> 5;
        return nearest_.Nearest(Clamp(r + offset), Clamp(g + offset), Clamp(b + offset));
    }

    // One memory row: width pixels of Blue, Green, Red, unused to width
    // entry numbers; row = (y mod 4) * 4. The same bytes as Index.
    void MapRow(const uint8_t* source, uint8_t* target, int32_t width, int32_t row) const;

private:
    // The threshold matrix (the 4 x 4 Bayer matrix plus 1) as 2t - 17: the
    // offset runs from -15/32 to +15/32 of the amplitude.
    static constexpr std::array<int32_t, 16> kMatrix{-15, 1, -11, 5, 9,  -7, 13, -3,
                                                     -9,  7, -13, 3, 15, -1, 11, -5};

    static int32_t Clamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
    static int32_t Coarse(int32_t r, int32_t g, int32_t b) {
        return (r >> 4) | (g >> 4) << 4 | (b >> 4) << 8;
    }

    void PlainRow(const uint8_t* source, uint8_t* target, int32_t first, int32_t width,
                  int32_t row) const;
    void Avx2Row(const uint8_t* source, uint8_t* target, int32_t width, int32_t row) const;

    cNearestMap nearest_;
    // The amplitude in colour units by 16 x 16 x 16 coarse cell.
    std::array<int32_t, 4096> amplitude_{};
};

}  // namespace mDither8bpp::detail

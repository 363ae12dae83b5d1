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

    // The entry for the source pixel at s (Blue, Green, Red) at memory
    // position (x, y).
    uint8_t Index(const uint8_t* s, int32_t x, int32_t y) const {
        const int32_t r = s[2], g = s[1], b = s[0];
        const int32_t offset = Offset(amplitude_[Coarse(r, g, b)], Threshold(x, y));
        return nearest_.Nearest(Clamp(r + offset), Clamp(g + offset), Clamp(b + offset));
    }

    // Memory row y: width pixels of Blue, Green, Red, unused to width entry
    // numbers. The same bytes as Index.
    void MapRow(const uint8_t* source, uint8_t* target, int32_t width, int32_t y) const;

private:
    // The threshold matrix: a 16 x 16 blue-noise mask, anchored at the
    // bottom-left pixel like the exact mapping's. Its pattern has no
    // low-frequency structure, where the 4 x 4 Bayer matrix leaves a regular
    // cross-hatch in every shaded area that the eye (and butteraugli) picks
    // out; on photographs it also measures a little better in PSNR.
    static constexpr int32_t kSide = 16;
    static const std::array<int16_t, kSide * kSide> kThresholds;  // 2 rank + 1 - 256

    static int32_t Threshold(int32_t x, int32_t y) {
        return kThresholds[(y & (kSide - 1)) * kSide + (x & (kSide - 1))];
    }
    // amplitude x threshold / 512 rounded: from -1/2 to +1/2 of the amplitude.
    static int32_t Offset(int32_t amplitude, int32_t threshold) {
        return (amplitude * threshold + 256) >> 9;
    }
    static int32_t Clamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
    // The amplitude's cells: 8 x 8 x 8, so that the table fits in eight
    // vector registers and a row looks it up by byte permutes.
    static constexpr int32_t kCoarseBits = 3;
    static constexpr int32_t kCoarseCells = 1 << (3 * kCoarseBits);
    static int32_t Coarse(int32_t r, int32_t g, int32_t b) {
        constexpr int32_t shift = 8 - kCoarseBits;
        return (r >> shift) | (g >> shift) << kCoarseBits | (b >> shift) << (2 * kCoarseBits);
    }

    void PlainRow(const uint8_t* source, uint8_t* target, int32_t first, int32_t width,
                  int32_t y) const;
    int32_t Avx2Row(const uint8_t* source, uint8_t* target, int32_t first, int32_t width,
                    int32_t y) const;
    int32_t Avx512Row(const uint8_t* source, uint8_t* target, int32_t width, int32_t y) const;

    cNearestMap nearest_;
    // The amplitude in colour units (at most 64) by coarse cell, and 3 bytes
    // that a 4-byte read of the last cell may touch.
    alignas(64) std::array<uint8_t, kCoarseCells + 3> amplitude_{};
};

}  // namespace mDither8bpp::detail

#include "PixelRows.h"

#include "CpuFeatures.h"
#include "VectorIntrinsics.h"

#include <algorithm>
#include <cstring>

namespace {

// Pixels first .. first + count - 1 of a row, going backwards.
void ExpandPixels(const uint8_t* src, uint8_t* dst, int32_t first, int32_t count) {
    for (int32_t x = first + count - 1; x >= first; --x) {
        uint32_t pixel;
        std::memcpy(&pixel, src + 3 * static_cast<std::size_t>(x), 4);
        pixel &= 0x00FFFFFFu;  // Blue, Green, Red, 0 in memory
        std::memcpy(dst + 4 * static_cast<std::size_t>(x), &pixel, 4);
    }
}

// The row's last multiple of 16 pixels, 16 at a time going backwards, one
// byte permute each; returns how many pixels are left at its start. A step
// reads 64 bytes from 3x on and writes 64 from 4x on: every byte it reads lies
// below what the steps before it wrote (from 4x + 64 on), so the row widens
// in place as the plain loop widens it. The 16 bytes read past the step's 48
// lie inside the row or the memory of the rows after it (width >= 16).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t ExpandPixels16(const uint8_t* src,
                                                                              uint8_t* dst,
                                                                              int32_t width) {
    alignas(64) static constexpr uint8_t kSpread[64] = {
        0,  1,  2,  0,  3,  4,  5,  0,  6,  7,  8,  0,  9,  10, 11, 0,  12, 13, 14, 0,  15, 16,
        17, 0,  18, 19, 20, 0,  21, 22, 23, 0,  24, 25, 26, 0,  27, 28, 29, 0,  30, 31, 32, 0,
        33, 34, 35, 0,  36, 37, 38, 0,  39, 40, 41, 0,  42, 43, 44, 0,  45, 46, 47, 0};
    const __m512i spread = _mm512_load_si512(kSpread);
    constexpr __mmask64 kColourBytes = 0x7777777777777777ull;
    int32_t x = width - 16;
    for (; x >= 0; x -= 16) {
        const __m512i p = _mm512_loadu_si512(src + 3 * static_cast<std::size_t>(x));
        _mm512_storeu_si512(dst + 4 * static_cast<std::size_t>(x),
                            _mm512_maskz_permutexvar_epi8(kColourBytes, spread, p));
    }
    return x + 16;
}

}  // namespace

void ExpandRows24To32(uint8_t* bits, int32_t width, int32_t first, int32_t count) {
    const std::size_t stride32 = 4 * static_cast<std::size_t>(width);
    const std::size_t stride24 = Stride24(width);
    uint8_t* band = bits + static_cast<std::size_t>(first) * stride32;
    // Pixel i of the band reads from at most where it is written to (a file
    // row is never longer than a 32-bit row), so going backwards each source
    // pixel is read before anything lands on it. A pixel is read as 4 bytes:
    // the fourth, the next pixel's first or padding, is still unwritten (the
    // next pixel went to 4 bytes further on) and is masked off.
    const bool vectors = width >= 16 && HasAvx512Vbmi();
    for (int32_t r = count - 1; r >= 0; --r) {
        const uint8_t* src = band + static_cast<std::size_t>(r) * stride24;
        uint8_t* dst = band + static_cast<std::size_t>(r) * stride32;
        const int32_t left = vectors ? ExpandPixels16(src, dst, width) : width;
        ExpandPixels(src, dst, 0, left);
    }
}

void CompositeRowsOverWhite(uint8_t* bits, std::size_t stride, int32_t width, int32_t first,
                            int32_t count) {
    for (int32_t y = first; y < first + count; ++y) {
        uint8_t* p = bits + static_cast<std::size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x, p += 4) {
            const uint32_t a = p[3];
            if (a == 255) continue;
            p[0] = OverWhite(p[0], a);
            p[1] = OverWhite(p[1], a);
            p[2] = OverWhite(p[2], a);
            p[3] = 255;
        }
    }
}

#include "PixelRows.h"

#include <algorithm>
#include <cstring>

void ExpandRows24To32(uint8_t* bits, int32_t width, int32_t first, int32_t count) {
    const std::size_t stride32 = 4 * static_cast<std::size_t>(width);
    const std::size_t stride24 = Stride24(width);
    uint8_t* band = bits + static_cast<std::size_t>(first) * stride32;
    // Pixel i of the band reads from at most where it is written to (a file
    // row is never longer than a 32-bit row), so going backwards each source
    // pixel is read before anything lands on it. A pixel is read as 4 bytes:
    // the fourth, the next pixel's first or padding, is still unwritten (the
    // next pixel went to 4 bytes further on) and is masked off.
    for (int32_t r = count - 1; r >= 0; --r) {
        const uint8_t* src = band + static_cast<std::size_t>(r) * stride24;
        uint8_t* dst = band + static_cast<std::size_t>(r) * stride32;
        for (int32_t x = width - 1; x >= 0; --x) {
            uint32_t pixel;
            std::memcpy(&pixel, src + 3 * static_cast<std::size_t>(x), 4);
            pixel &= 0x00FFFFFFu;  // Blue, Green, Red, 0 in memory
            std::memcpy(dst + 4 * static_cast<std::size_t>(x), &pixel, 4);
        }
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

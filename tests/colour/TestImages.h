#pragma once
// Small synthetic images and palette readers for the colour tests.

#include "cDIB.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <tuple>
#include <vector>

struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << '(' << int(c.R) << ", " << int(c.G) << ", " << int(c.B) << ')';
}

// Pixel (x, y) of a 32-bpp image, y being the memory row (0 = bottom row of the picture).
inline void SetPixel(cDIB& dib, int32_t x, int32_t y, Rgb c) {
    uint8_t* p = dib.lpBits() + static_cast<size_t>(y) * dib.BytesPerScanline() + 4 * static_cast<size_t>(x);
    p[0] = c.B;
    p[1] = c.G;
    p[2] = c.R;
    p[3] = 0;
}

inline Rgb GetPixel(const cDIB& dib, int32_t x, int32_t y) {
    const uint8_t* p = dib.lpBits() + static_cast<size_t>(y) * dib.BytesPerScanline() + 4 * static_cast<size_t>(x);
    return {p[2], p[1], p[0]};
}

// A 32-bpp image whose memory pixel (x, y) is colour(x, y).
inline void MakeImage(cDIB& dib, int32_t w, int32_t h, const std::function<Rgb(int32_t, int32_t)>& colour) {
    ASSERT_TRUE(dib.Create(w, h, 32));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) SetPixel(dib, x, y, colour(x, y));
}

// One memory row of pixels, in the order given.
inline void MakeRow(cDIB& dib, const std::vector<Rgb>& pixels) {
    MakeImage(dib, static_cast<int32_t>(pixels.size()), 1,
              [&](int32_t x, int32_t) { return pixels[static_cast<size_t>(x)]; });
}

inline Rgb Entry(const cPal8bpp& pal, int32_t i) {
    const auto n = static_cast<uint8_t>(i);
    return {pal.rgbR(n), pal.rgbG(n), pal.rgbB(n)};
}

// Entries 0 .. Entries - 1.
inline std::vector<Rgb> UsedEntries(const cPal8bpp& pal) {
    std::vector<Rgb> out;
    for (int32_t i = 0; i < pal.Entries(); ++i) out.push_back(Entry(pal, i));
    return out;
}

inline uint8_t Closest(const cPal8bpp& pal, uint8_t R, uint8_t G, uint8_t B) {
    uint8_t index = 0;
    pal.ClosestIndex(R, G, B, index);
    return index;
}

// Memory rows of an 8-bpp image, padding left out.
inline std::vector<std::vector<uint8_t>> IndexRows(const cDIB& dib) {
    std::vector<std::vector<uint8_t>> rows;
    for (int32_t y = 0; y < dib.Height(); ++y) {
        const uint8_t* p = dib.lpBits() + static_cast<size_t>(y) * dib.BytesPerScanline();
        rows.emplace_back(p, p + dib.Width());
    }
    return rows;
}

// Expects the call to raise a cError with that number.
#define EXPECT_CERROR(statement, number)                                          \
    do {                                                                          \
        try {                                                                     \
            statement;                                                            \
            ADD_FAILURE() << #statement " raised no error";                       \
        } catch (const cError& e) {                                               \
            EXPECT_EQ(e.Number(), number) << e.Description();                     \
        }                                                                         \
    } while (false)

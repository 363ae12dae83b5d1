#pragma once
// Synthetic images and palette readers for the colour tests.

#include "cDIB.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << '(' << int(c.R) << ", " << int(c.G) << ", " << int(c.B) << ')';
}

using Rows = std::vector<std::vector<uint8_t>>;

inline Rgb Grey(int v) { return {uint8_t(v), uint8_t(v), uint8_t(v)}; }

// (x, y) is a memory pixel: y = 0 is the bottom row of the picture.
inline uint8_t* PixelAt(const cDIB& dib, int32_t x, int32_t y) {
    return dib.Rows().MemoryRow(y) + size_t(x) * dib.BPP() / 8;
}

inline Rgb GetPixel(const cDIB& dib, int32_t x, int32_t y) {
    const uint8_t* p = PixelAt(dib, x, y);
    return {p[2], p[1], p[0]};
}

// A 32-bpp image whose memory pixel (x, y) is colour(x, y).
inline void MakeImage(cDIB& dib, int32_t w, int32_t h,
                      const std::function<Rgb(int32_t, int32_t)>& colour) {
    ASSERT_TRUE(dib.Create(w, h, 32));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const Rgb c = colour(x, y);
            uint8_t* p = PixelAt(dib, x, y);
            p[0] = c.B, p[1] = c.G, p[2] = c.R, p[3] = 0;
        }
}

inline void MakeRow(cDIB& dib, const std::vector<Rgb>& pixels) {
    MakeImage(dib, int32_t(pixels.size()), 1, [&](int32_t x, int32_t) { return pixels[x]; });
}

inline Rgb Entry(const cPal8bpp& pal, int32_t i) {
    const auto n = uint8_t(i);
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

// Memory rows of an 8-bpp image without their padding.
inline Rows IndexRows(const cDIB& dib) {
    Rows rows;
    for (int32_t y = 0; y < dib.Height(); ++y)
        rows.emplace_back(PixelAt(dib, 0, y), PixelAt(dib, dib.Width(), y));
    return rows;
}

#define EXPECT_CERROR(statement, number)                                         \
    do {                                                                         \
        try {                                                                    \
            statement;                                                           \
            ADD_FAILURE() << #statement " raised no error";                      \
        } catch (const cError& e) {                                              \
            EXPECT_EQ(e.Number(), number) << #statement ": " << e.Description(); \
        }                                                                        \
    } while (false)

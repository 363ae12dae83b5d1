// Widening 24-bit file rows in place, whole or in bands.

#include "PixelRows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// 24-bit rows of a width x height image, every byte distinct enough to show a
// pixel that lands in the wrong place.
Bytes FileRows(int32_t width, int32_t height) {
    Bytes rows(Stride24(width) * height, 0xEE);  // padding reads 0xEE
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < 3 * width; ++x)
            rows[y * Stride24(width) + x] = uint8_t(7 * y + 3 * x + 1);
    return rows;
}

// What widening must give: Blue, Green, Red, 0 a pixel, packed.
Bytes Widened(const Bytes& file, int32_t width, int32_t height) {
    Bytes out;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &file[y * Stride24(width) + 3 * x];
            out.insert(out.end(), {p[0], p[1], p[2], 0});
        }
    return out;
}

// Widening runs in bands of rows (each band's file rows read into the start of
// its own part of the image) as well as over the whole image at once.
TEST(PixelRows, WideningInPlaceGivesTheSameBytesWholeOrInBands) {
    struct Case {
        int32_t width, height, band;
    };
    // From 16 pixels on, steps of 16 from the row's end, the rest one by one.
    const Case cases[] = {{1, 1, 1},  {1, 7, 3},  {2, 5, 5},    {3, 4, 1},
                          {5, 9, 4},  {7, 3, 2},  {16, 3, 1},   {17, 4, 3},
                          {33, 2, 2}, {64, 6, 4}, {1000, 2, 1}, {4, 5, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", bands of " << c.band);
        const Bytes file = FileRows(c.width, c.height);
        const std::size_t stride = 4 * std::size_t(c.width);

        Bytes whole(stride * c.height, 0x55);
        std::copy(file.begin(), file.end(), whole.begin());
        ExpandRows24To32(whole.data(), c.width, 0, c.height);
        EXPECT_EQ(whole, Widened(file, c.width, c.height));

        Bytes banded(stride * c.height, 0x55);
        for (int32_t first = 0; first < c.height; first += c.band) {
            const int32_t count = std::min(c.band, c.height - first);
            std::copy_n(file.begin() + first * Stride24(c.width), count * Stride24(c.width),
                        banded.begin() + first * stride);
            ExpandRows24To32(banded.data(), c.width, first, count);
        }
        EXPECT_EQ(banded, whole);
    }
}

}  // namespace

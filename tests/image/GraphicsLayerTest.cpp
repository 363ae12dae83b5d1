#include "GraphicsLayer.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A bitmap over its own memory, every byte the background unless given.
struct TestBitmap {
    TestBitmap(int32_t width, int32_t height, int32_t bpp, bool bottomUp = true,
               uint8_t background = 0, Bytes bytes = {}) {
        bits = {width, height, bpp, ((width * bpp + 31) / 32) * 4, nullptr, bottomUp};
        memory = bytes.empty() ? Bytes(bits.Stride * height, background) : bytes;
        bits.Bits = memory.data();
    }
    // 32 bpp: B = x, G = y, R = 0x80, unused 0x33 at picture position (x, y).
    TestBitmap& FillWithPositions() {
        for (int32_t y = 0; y < bits.Height; ++y)
            for (int32_t x = 0; x < bits.Width; ++x) {
                uint8_t* p = bits.Row(y) + x * 4;
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = 0x80;
                p[3] = 0x33;
            }
        return *this;
    }
    Bytes Pixel(int32_t x, int32_t y) const {
        return Bytes(bits.Row(y) + x * 4, bits.Row(y) + x * 4 + 4);
    }

    Bytes memory;
    cBitmapBits bits;
};

// The pixel FillWithPositions put at (x, y).
Bytes From(int32_t x, int32_t y) {
    return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x80, 0x33};
}

}  // namespace

TEST(StretchBlt, NearestPixelsCountedFromTheTopWhateverTheMemoryOrder) {
    // Square bitmaps; destination pixel d of n takes source offset + (2d+1)·length / 2n, in
    // both directions, the destination always bottom-up in memory.
    const struct {
        int32_t srcSize;
        bool srcBottomUp;
        int32_t size, offset, length;
    } cases[] = {{3, false, 2, 0, 3}, {2, true, 5, 0, 2}, {8, false, 3, 2, 4}, {8, true, 3, 1, 5}};
    const std::vector<int> maps[] = {{0, 2}, {0, 0, 1, 1, 1}, {2, 4, 5}, {1, 3, 5}};
    for (int i = 0; i < 4; ++i) {
        const auto& c = cases[i];
        TestBitmap src(c.srcSize, c.srcSize, 32, c.srcBottomUp), dst(c.size, c.size, 32);
        src.FillWithPositions();
        cMemoryDC dc;
        dc.SelectObject(&dst.bits);
        EXPECT_NE(
            dc.StretchBlt(0, 0, c.size, c.size, src.bits, c.offset, c.offset, c.length, c.length),
            0);
        for (int32_t y = 0; y < c.size; ++y)
            for (int32_t x = 0; x < c.size; ++x)
                EXPECT_EQ(dst.Pixel(x, y), From(maps[i][x], maps[i][y])) << "case " << i;
    }
}

TEST(StretchBlt, HugeRectanglesNeitherOverflowNorWriteOutside) {
    TestBitmap src(3, 3, 32), dst(2, 2, 32, true, 0xAA), row(2, 1, 32, true, 0xAA);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    // dx 0 and 1 of a 2^31-1 wide rectangle both map to source column 0.
    EXPECT_NE(dc.StretchBlt(0, 0, INT32_MAX, INT32_MAX, src.bits, 0, 0, 3, 3), 0);
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(dst.Pixel(i % 2, i / 2), From(0, 0));
    EXPECT_NE(dc.StretchBlt(INT32_MIN, 0, INT32_MAX, 1, src.bits, 0, 0, 3, 1), 0);  // ends at -2
    // Destination far to the left: only its last column lands on the bitmap,
    // dx = 2^31 - 2, source column (2^32 - 3)·3 / (2^32 - 2) = 2.
    dc.SelectObject(&row.bits);
    EXPECT_NE(dc.StretchBlt(-(INT32_MAX - 1), 0, INT32_MAX, 1, src.bits, 0, 0, 3, 1), 0);
    EXPECT_EQ(row.Pixel(0, 0), From(2, 0));
    EXPECT_EQ(row.Pixel(1, 0), Bytes(4, 0xAA));
}

TEST(BitBlt, IndexedSourcesBecomeTableColoursWithUnusedByteZero) {
    const uint8_t table[16] = {1, 2, 3, 0x99, 4, 5, 6, 0x99, 7, 8, 9, 0x99, 10, 11, 12, 0x99};
    const struct {
        int32_t bpp;
        Bytes row;
        std::array<int, 4> indices;
    } cases[] = {
        {8, {2, 0, 3, 1}, {2, 0, 3, 1}},
        {4, {0x20, 0x31, 0, 0}, {2, 0, 3, 1}},
        {1, {0x50, 0, 0, 0}, {0, 1, 0, 1}},
    };
    for (const auto& c : cases) {
        TestBitmap src(4, 1, c.bpp, true, 0, c.row), dst(4, 1, 32, true, 0xAA);
        src.bits.ColorTable = table;
        cMemoryDC dc;
        dc.SelectObject(&dst.bits);
        EXPECT_NE(dc.BitBlt(0, 0, 4, 1, src.bits, 0, 0), 0);
        for (int32_t x = 0; x < 4; ++x) {
            const uint8_t* entry = table + c.indices[x] * 4;
            EXPECT_EQ(dst.Pixel(x, 0), (Bytes{entry[0], entry[1], entry[2], 0}))
                << c.bpp << " bpp, pixel " << x;
        }
    }
}

TEST(BitBlt, EqualIndexedDepthsCopyIndicesAtAnyBitOffset) {
    // 4 bpp, 3 pixels from x = 1 to x = 2: source nibbles 1 2 3 4 5.
    TestBitmap src(5, 1, 4, true, 0, {0x12, 0x34, 0x50, 0}), dst(6, 1, 4, true, 0xFF);
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.BitBlt(2, 0, 3, 1, src.bits, 1, 0), 0);
    EXPECT_EQ(dst.memory, (Bytes{0xFF, 0x23, 0x4F, 0xFF}));

    TestBitmap mono(9, 1, 1, true, 0, {0xA5, 0x80, 0, 0}), monoDst(9, 1, 1);
    dc.SelectObject(&monoDst.bits);
    EXPECT_NE(dc.BitBlt(0, 0, 9, 1, mono.bits, 0, 0), 0);
    EXPECT_EQ(monoDst.memory, mono.memory);

    // Scaled 8-bit indices are sampled, never blended: columns 1 and 3.
    TestBitmap eight(4, 1, 8, true, 0, {10, 20, 30, 40}), half(2, 1, 8);
    dc.SelectObject(&half.bits);
    EXPECT_NE(dc.StretchBlt(0, 0, 2, 1, eight.bits, 0, 0, 4, 1), 0);
    EXPECT_EQ(half.memory, (Bytes{20, 40, 0, 0}));
}

TEST(BitBlt, ClipsToBothBitmapsAndLeavesUnreachablePixelsAlone) {
    TestBitmap src(3, 3, 32);
    src.FillWithPositions();
    cMemoryDC dc;
    const Bytes untouched(4, 0xAA);

    TestBitmap overTopLeft(3, 3, 32, true, 0xAA);
    dc.SelectObject(&overTopLeft.bits);
    EXPECT_NE(dc.BitBlt(-1, -1, 3, 3, src.bits, 0, 0), 0);
    EXPECT_EQ(overTopLeft.Pixel(0, 0), From(1, 1));
    EXPECT_EQ(overTopLeft.Pixel(1, 1), From(2, 2));
    EXPECT_EQ(overTopLeft.Pixel(2, 0), untouched);  // right of the destination rectangle
    EXPECT_EQ(overTopLeft.Pixel(0, 2), untouched);  // below it

    // A source rectangle reaching past the source: those pixels stay as they were.
    TestBitmap pastSource(3, 3, 32, true, 0xAA);
    dc.SelectObject(&pastSource.bits);
    EXPECT_NE(dc.BitBlt(0, 0, 3, 3, src.bits, 2, -1), 0);
    EXPECT_EQ(pastSource.Pixel(0, 0), untouched);  // source row -1
    EXPECT_EQ(pastSource.Pixel(0, 1), From(2, 0));
    EXPECT_EQ(pastSource.Pixel(1, 1), untouched);  // source column 3
    EXPECT_EQ(pastSource.Pixel(0, 2), From(2, 1));

    TestBitmap outside(3, 3, 32, true, 0xAA);  // entirely outside: nothing drawn, still a success
    dc.SelectObject(&outside.bits);
    EXPECT_NE(dc.BitBlt(5, 5, 3, 3, src.bits, 0, 0), 0);
    EXPECT_NE(dc.BitBlt(0, 0, 3, 3, src.bits, 10, 0), 0);
    EXPECT_EQ(outside.memory, Bytes(36, 0xAA));
}

TEST(BitBlt, RefusesNegativeSizesIndexedTargetsOfOtherDepthsAndMissingTargets) {
    TestBitmap src(2, 2, 32), four(2, 2, 4), dst(2, 2, 32, true, 0xAA), eight(2, 2, 8, true, 0x42);
    src.FillWithPositions();
    cMemoryDC dc;
    EXPECT_EQ(dc.BitBlt(0, 0, 2, 2, src.bits, 0, 0), 0);  // nothing selected
    dc.SelectObject(&dst.bits);
    EXPECT_EQ(dc.BitBlt(0, 0, -2, 2, src.bits, 0, 0), 0);
    EXPECT_EQ(dc.StretchBlt(0, 0, 2, -2, src.bits, 0, 0, 2, 2), 0);
    EXPECT_EQ(dc.StretchBlt(0, 0, 2, 2, src.bits, 0, 0, 0, 2), 0);  // nothing to sample
    EXPECT_NE(dc.BitBlt(0, 0, 0, 2, src.bits, 0, 0), 0);            // nothing to draw
    EXPECT_EQ(dst.memory, Bytes(16, 0xAA));

    EXPECT_EQ(dc.SelectObject(&eight.bits), &dst.bits);
    EXPECT_EQ(dc.BitBlt(0, 0, 2, 2, src.bits, 0, 0), 0);
    EXPECT_EQ(dc.BitBlt(0, 0, 2, 2, four.bits, 0, 0), 0);
    EXPECT_EQ(eight.memory, Bytes(8, 0x42));
    dc.SelectObject(nullptr);
    EXPECT_EQ(dc.SelectedBitmap(), nullptr);
}

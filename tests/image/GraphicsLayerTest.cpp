#include "GraphicsLayer.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

// A bitmap over its own memory, filled with a background byte.
struct TestBitmap {
    TestBitmap(int32_t width, int32_t height, int32_t bpp, bool bottomUp = true,
               uint8_t background = 0) {
        bits.Width = width;
        bits.Height = height;
        bits.BPP = bpp;
        bits.Stride = ((width * bpp + 31) / 32) * 4;
        bits.BottomUp = bottomUp;
        memory.assign(static_cast<size_t>(bits.Stride) * height, background);
        bits.Bits = memory.data();
    }

    // 32 bpp: B = tag(x), G = tag(y), R = 0x80 at picture position (x, y).
    void FillWithPositions() {
        for (int32_t y = 0; y < bits.Height; ++y)
            for (int32_t x = 0; x < bits.Width; ++x) {
                uint8_t* p = bits.Row(y) + x * 4;
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = 0x80;
                p[3] = 0x33;
            }
    }

    const uint8_t* Pixel32(int32_t x, int32_t y) const { return bits.Row(y) + x * 4; }

    std::vector<uint8_t> memory;
    cBitmapBits bits;
};

}  // namespace

// --- Nearest-pixel scaling ------------------------------------------------

TEST(StretchBlt, ThreeColumnsToTwoTakeTheFirstAndLast) {
    // (2dx+1)·3 / 4: dx 0 -> 0, dx 1 -> 2.
    TestBitmap src(3, 1, 32), dst(2, 1, 32);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.StretchBlt(0, 0, 2, 1, src.bits, 0, 0, 3, 1), 0);
    EXPECT_EQ(dst.Pixel32(0, 0)[0], 0);
    EXPECT_EQ(dst.Pixel32(1, 0)[0], 2);
    EXPECT_EQ(dst.Pixel32(1, 0)[3], 0x33);  // 32 -> 32 copies all four bytes
}

TEST(StretchBlt, TwoColumnsToFiveRepeatTwoThenThree) {
    // (2dx+1)·2 / 10: 0, 0, 1, 1, 1.
    TestBitmap src(2, 1, 32), dst(5, 1, 32);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.StretchBlt(0, 0, 5, 1, src.bits, 0, 0, 2, 1), 0);
    const int expected[5] = {0, 0, 1, 1, 1};
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(dst.Pixel32(x, 0)[0], expected[x]) << x;
}

TEST(StretchBlt, RowsCountFromTheTopWhateverTheMemoryOrder) {
    // Source top-down, destination bottom-up: picture row 0 is the top row in
    // both, i.e. the first memory row of the source and the last of the target.
    TestBitmap src(1, 3, 32, /*bottomUp=*/false), dst(1, 2, 32, /*bottomUp=*/true);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.StretchBlt(0, 0, 1, 2, src.bits, 0, 0, 1, 3), 0);
    EXPECT_EQ(dst.memory[4 + 1], 0);  // last memory row = top picture row <- source row 0
    EXPECT_EQ(dst.memory[0 + 1], 2);  // first memory row = bottom row <- source row 2

    TestBitmap tall(1, 5, 32, /*bottomUp=*/true);
    TestBitmap two(1, 2, 32, /*bottomUp=*/true);
    two.FillWithPositions();
    dc.SelectObject(&tall.bits);
    EXPECT_NE(dc.StretchBlt(0, 0, 1, 5, two.bits, 0, 0, 1, 2), 0);
    const int expected[5] = {0, 0, 1, 1, 1};
    for (int32_t y = 0; y < 5; ++y) {
        EXPECT_EQ(tall.Pixel32(0, y)[1], expected[y]) << y;
        EXPECT_EQ(tall.memory[static_cast<size_t>(4 - y) * 4 + 1], expected[y]) << y;
    }
}

TEST(StretchBlt, SourceRectangleOffsetsAreAddedAfterScaling) {
    TestBitmap src(8, 8, 32), dst(3, 2, 32);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    // Columns: 2 + (2dx+1)·4/6 = 2, 4, 5; rows: 1 + (2dy+1)·5/4 = 2, 4.
    EXPECT_NE(dc.StretchBlt(0, 0, 3, 2, src.bits, 2, 1, 4, 5), 0);
    const int columns[3] = {2, 4, 5};
    const int rows[2] = {2, 4};
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x) {
            EXPECT_EQ(dst.Pixel32(x, y)[0], columns[x]);
            EXPECT_EQ(dst.Pixel32(x, y)[1], rows[y]);
        }
}

TEST(StretchBlt, EightBitIndicesAreSampledNotBlended) {
    TestBitmap src(4, 1, 8), dst(2, 1, 8);
    src.memory = {10, 20, 30, 40};
    src.bits.Bits = src.memory.data();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.StretchBlt(0, 0, 2, 1, src.bits, 0, 0, 4, 1), 0);  // columns 1 and 3
    EXPECT_EQ(dst.memory[0], 20);
    EXPECT_EQ(dst.memory[1], 40);
}

TEST(StretchBlt, HugeRectanglesNeitherOverflowNorWriteOutside) {
    TestBitmap src(3, 3, 32), dst(2, 2, 32, true, 0xAA);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    // dx 0 and 1 of a 2^31-1 wide rectangle both map to source column 0.
    EXPECT_NE(dc.StretchBlt(0, 0, INT32_MAX, INT32_MAX, src.bits, 0, 0, 3, 3), 0);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 2; ++x) {
            EXPECT_EQ(dst.Pixel32(x, y)[0], 0);
            EXPECT_EQ(dst.Pixel32(x, y)[2], 0x80);
        }
    // Destination far to the left: only its last column lands on the bitmap,
    // dx = 2^31 - 2, source column (2^32 - 3)·3 / (2^32 - 2) = 2.
    TestBitmap dst2(2, 1, 32, true, 0xAA);
    dc.SelectObject(&dst2.bits);
    EXPECT_NE(dc.StretchBlt(-(INT32_MAX - 1), 0, INT32_MAX, 1, src.bits, 0, 0, 3, 1), 0);
    EXPECT_EQ(dst2.Pixel32(0, 0)[0], 2);
    EXPECT_EQ(dst2.Pixel32(1, 0)[0], 0xAA);
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.StretchBlt(INT32_MIN, 0, INT32_MAX, 1, src.bits, 0, 0, 3, 1), 0);  // ends at x = -2
}

// --- Plain copies and format conversion ---------------------------------------

TEST(BitBlt, IndexedSourcesBecomeTableColoursWithUnusedByteZero) {
    const uint8_t table[16] = {1, 2, 3, 0x99, 4, 5, 6, 0x99, 7, 8, 9, 0x99, 10, 11, 12, 0x99};
    struct Case {
        int32_t bpp;
        std::vector<uint8_t> row;
        std::vector<int> indices;
    };
    const Case cases[] = {
        {8, {2, 0, 3, 1}, {2, 0, 3, 1}},
        {4, {0x20, 0x31, 0, 0}, {2, 0, 3, 1}},
        {1, {0x50, 0, 0, 0}, {0, 1, 0, 1}},
    };
    for (const Case& c : cases) {
        TestBitmap src(4, 1, c.bpp), dst(4, 1, 32, true, 0xAA);
        src.memory = c.row;
        src.bits.Bits = src.memory.data();
        src.bits.ColorTable = table;
        cMemoryDC dc;
        dc.SelectObject(&dst.bits);
        EXPECT_NE(dc.BitBlt(0, 0, 4, 1, src.bits, 0, 0), 0);
        for (int32_t x = 0; x < 4; ++x) {
            const uint8_t* p = dst.Pixel32(x, 0);
            EXPECT_EQ(p[0], table[c.indices[x] * 4]) << c.bpp << " bpp, pixel " << x;
            EXPECT_EQ(p[2], table[c.indices[x] * 4 + 2]) << c.bpp << " bpp, pixel " << x;
            EXPECT_EQ(p[3], 0) << c.bpp << " bpp, pixel " << x;
        }
    }
}

TEST(BitBlt, EqualIndexedDepthsCopyIndicesAtAnyBitOffset) {
    // 4 bpp, copy 3 pixels from x = 1 to x = 2: source nibbles 1 2 3 4 5.
    TestBitmap src(5, 1, 4), dst(6, 1, 4, true, 0xFF);
    src.memory = {0x12, 0x34, 0x50, 0};
    src.bits.Bits = src.memory.data();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.BitBlt(2, 0, 3, 1, src.bits, 1, 0), 0);
    EXPECT_EQ(dst.memory[0], 0xFF);
    EXPECT_EQ(dst.memory[1], 0x23);
    EXPECT_EQ(dst.memory[2], 0x4F);

    TestBitmap mono(9, 1, 1), monoDst(9, 1, 1);
    mono.memory = {0xA5, 0x80, 0, 0};
    mono.bits.Bits = mono.memory.data();
    dc.SelectObject(&monoDst.bits);
    EXPECT_NE(dc.BitBlt(0, 0, 9, 1, mono.bits, 0, 0), 0);
    EXPECT_EQ(monoDst.memory[0], 0xA5);
    EXPECT_EQ(monoDst.memory[1], 0x80);
}

TEST(BitBlt, ConversionsIntoIndexedDepthsAreRefused) {
    TestBitmap src(2, 2, 32), dst(2, 2, 8, true, 0x42);
    src.FillWithPositions();
    cMemoryDC dc;
    dc.SelectObject(&dst.bits);
    EXPECT_EQ(dc.BitBlt(0, 0, 2, 2, src.bits, 0, 0), 0);
    TestBitmap four(2, 2, 4);
    EXPECT_EQ(dc.BitBlt(0, 0, 2, 2, four.bits, 0, 0), 0);
    for (size_t i = 0; i < dst.memory.size(); ++i) EXPECT_EQ(dst.memory[i], 0x42);
}

TEST(BitBlt, ClipsToBothBitmapsAndLeavesUnreachablePixelsAlone) {
    TestBitmap src(3, 3, 32);
    src.FillWithPositions();
    cMemoryDC dc;

    // Destination rectangle hanging over the top-left corner.
    TestBitmap dst(3, 3, 32, true, 0xAA);
    dc.SelectObject(&dst.bits);
    EXPECT_NE(dc.BitBlt(-1, -1, 3, 3, src.bits, 0, 0), 0);
    EXPECT_EQ(dst.Pixel32(0, 0)[0], 1);  // source (1, 1)
    EXPECT_EQ(dst.Pixel32(0, 0)[1], 1);
    EXPECT_EQ(dst.Pixel32(1, 1)[0], 2);
    EXPECT_EQ(dst.Pixel32(2, 0)[0], 0xAA);  // right of the destination rectangle
    EXPECT_EQ(dst.Pixel32(0, 2)[0], 0xAA);  // below it

    // Source rectangle reaching past the source: those pixels stay as they were.
    TestBitmap dst2(3, 3, 32, true, 0xAA);
    dc.SelectObject(&dst2.bits);
    EXPECT_NE(dc.BitBlt(0, 0, 3, 3, src.bits, 2, -1), 0);
    EXPECT_EQ(dst2.Pixel32(0, 0)[0], 0xAA);  // source row -1
    EXPECT_EQ(dst2.Pixel32(0, 1)[0], 2);
    EXPECT_EQ(dst2.Pixel32(0, 1)[1], 0);
    EXPECT_EQ(dst2.Pixel32(1, 1)[0], 0xAA);  // source column 3
    EXPECT_EQ(dst2.Pixel32(0, 2)[1], 1);

    // Entirely outside: nothing drawn, still a success.
    TestBitmap dst3(3, 3, 32, true, 0xAA);
    dc.SelectObject(&dst3.bits);
    EXPECT_NE(dc.BitBlt(5, 5, 3, 3, src.bits, 0, 0), 0);
    EXPECT_NE(dc.BitBlt(0, 0, 3, 3, src.bits, 10, 0), 0);
    for (uint8_t b : dst3.memory) EXPECT_EQ(b, 0xAA);
}

TEST(BitBlt, RefusesNegativeSizesAndMissingTargets) {
    TestBitmap src(2, 2, 32), dst(2, 2, 32, true, 0xAA);
    src.FillWithPositions();
    cMemoryDC dc;
    EXPECT_EQ(dc.BitBlt(0, 0, 2, 2, src.bits, 0, 0), 0);  // nothing selected
    dc.SelectObject(&dst.bits);
    EXPECT_EQ(dc.BitBlt(0, 0, -2, 2, src.bits, 0, 0), 0);
    EXPECT_EQ(dc.StretchBlt(0, 0, 2, -2, src.bits, 0, 0, 2, 2), 0);
    EXPECT_EQ(dc.StretchBlt(0, 0, 2, 2, src.bits, 0, 0, 0, 2), 0);  // nothing to sample
    EXPECT_NE(dc.BitBlt(0, 0, 0, 2, src.bits, 0, 0), 0);            // nothing to draw
    for (uint8_t b : dst.memory) EXPECT_EQ(b, 0xAA);

    const cBitmapBits* old = dc.SelectObject(nullptr);
    EXPECT_EQ(old, &dst.bits);
    EXPECT_EQ(dc.SelectedBitmap(), nullptr);
}

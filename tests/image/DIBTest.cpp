#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <numeric>
#include <tuple>

namespace {

using Bytes = std::vector<uint8_t>;
using BGR = std::array<int, 3>;

// Pixel bytes at picture position (x, y); y = 0 is the top row, the last one in memory.
uint8_t* PixelAt(const cDIB& dib, int32_t x, int32_t y) {
    return dib.Rows().Row(y) + x * dib.BPP() / 8;
}

BGR ColourAt(const cDIB& dib, int32_t x, int32_t y) {
    const uint8_t* p = PixelAt(dib, x, y);
    return {p[0], p[1], p[2]};
}

// 32 bpp: B = x, G = y, R = 0x80, so every pixel says where it came from.
void FillWithPositions(cDIB& dib) {
    for (int32_t y = 0; y < dib.Height(); ++y)
        for (int32_t x = 0; x < dib.Width(); ++x) {
            uint8_t* p = PixelAt(dib, x, y);
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = 0x80;
        }
}

Bytes DistinctPalette(size_t entries) {
    Bytes table(entries * 4);
    for (size_t i = 0; i < entries; ++i) {
        table[i * 4] = static_cast<uint8_t>(i);
        table[i * 4 + 1] = static_cast<uint8_t>(255 - i);
        table[i * 4 + 2] = static_cast<uint8_t>(i ^ 0x55);
    }
    return table;
}

Bytes PaletteOf(const cDIB& dib) {
    Bytes palette;
    dib.GetPalette(palette);
    return palette;
}

Bytes PixelBytes(const cDIB& dib, int32_t from, int32_t to) {
    return Bytes(dib.lpBits() + from, dib.lpBits() + to);
}

std::array<int32_t, 3> Shape(const cDIB& dib) { return {dib.Width(), dib.Height(), dib.BPP()}; }

void ExpectEmpty(const cDIB& dib) {
    EXPECT_EQ(dib.hDIB(), 0u);
    EXPECT_EQ(dib.hDIBDC(), nullptr);
    EXPECT_EQ(dib.lpBits(), nullptr);
    EXPECT_EQ(dib.Width() | dib.Height() | dib.BPP() | dib.BytesPerScanline() | dib.Size(), 0);
}

// A picture owning a copy of the given top-down rows.
cPicture MakePicture(int32_t width, int32_t height, int32_t bpp, int32_t stride, Bytes rows,
                     Bytes table = {}) {
    auto bytes = std::make_shared<Bytes>(std::move(rows));
    return {PictureType::Bitmap, width,  height,        bpp,
            std::move(table),    stride, bytes->data(), bytes};
}

}  // namespace

TEST(DIBCreate, StridesArePaddedToFourBytes) {
    const struct {
        int32_t width, height, bpp, stride, size;
    } cases[] = {
        {1, 2, 8, 4, 8},  {5, 2, 8, 8, 16},  {3, 2, 32, 12, 24},
        {1, 2, 1, 4, 8},  {33, 2, 1, 8, 16}, {32, 2, 1, 4, 8},
        {9, 2, 4, 8, 16}, {8, 2, 4, 4, 8},   {101, 7, 8, 104, 728},
    };
    for (const auto& c : cases) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(c.width, c.height, c.bpp));
        EXPECT_EQ(dib.BytesPerScanline(), c.stride) << c.width << "x" << c.bpp;
        EXPECT_EQ(dib.Size(), c.size) << c.width << "x" << c.height << "x" << c.bpp;
    }
}

TEST(DIBCreate, RecreatingGivesZeroPixelsAndABlackTable) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 32));
    std::memset(dib.lpBits(), 0xAB, dib.Size());
    ASSERT_TRUE(dib.Create(5, 3, 8));
    EXPECT_NE(dib.hDIB(), 0u);
    EXPECT_EQ(Shape(dib), (std::array{5, 3, 8}));
    EXPECT_EQ(PixelBytes(dib, 0, dib.Size()), Bytes(24, 0));
    EXPECT_EQ(PaletteOf(dib), Bytes(1024, 0));
}

TEST(DIBCreate, MemoryOfAFreedImageComesBackZeroFilled) {
    // Heap blocks, and mappings (4 MB and more) that are kept for the next
    // image of the same size, tails off the 2-MB huge-page grain included.
    for (const auto& [w, h, bpp, kept] : {std::tuple{4, 4, 32, false},
                                          {1024, 1024, 32, true},
                                          {1100, 1000, 32, true},
                                          {2049, 2047, 8, true}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h << " x " << bpp);
        const uint8_t* first = nullptr;
        {
            cDIB used;
            ASSERT_TRUE(used.Create(w, h, bpp));
            std::memset(used.lpBits(), 0xAB, used.Size());
            first = used.lpBits();
        }
        cDIB fresh;
        ASSERT_TRUE(fresh.Create(w, h, bpp));
        if (kept) {
            EXPECT_EQ(fresh.lpBits(), first);
        }
        const uint8_t* bits = fresh.lpBits();
        EXPECT_TRUE(std::all_of(bits, bits + fresh.Size(), [](uint8_t b) { return b == 0; }));
    }
}

TEST(DIBCreate, RefusedOrOverflowingSizesLeaveTheImageEmpty) {
    const struct {
        int32_t width, height, bpp;
        bool overflow;
    } cases[] = {
        {0, 5, 32, false},
        {5, 0, 32, false},
        {0, 0, 8, false},
        {-3, 5, 32, false},
        {5, -3, 8, false},
        {5, 5, 0, false},
        {5, 5, 24, false},
        {5, 5, -8, false},
        {INT32_MAX / 32 + 1, 1, 32, true},  // Width x BPP
        {INT32_MAX - 30, 1, 1, true},       // + 31
        {1000000, 1000, 32, true},          // BytesPerScanline x Height
        {-100000000, 1, 32, true},          // a negative product out of range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bpp);
        cDIB dib;
        ASSERT_TRUE(dib.Create(4, 4, 32));
        try {
            EXPECT_FALSE(dib.Create(c.width, c.height, c.bpp));
            EXPECT_FALSE(c.overflow) << "no overflow error";
        } catch (const cError& e) {
            EXPECT_TRUE(c.overflow && e.Number() == ErrorNumber::Overflow) << e.what();
        }
        ExpectEmpty(dib);
    }
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 3, 8));
    dib.Destroy();
    dib.Destroy();
    ExpectEmpty(dib);
}

class DIBFromPicture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dib.Create(2, 2, 32));
        dib.lpBits()[0] = 0x5A;
    }
    cDIB dib;
};

TEST_F(DIBFromPicture, PicturesThatAreNoUsableBitmapKeepThePreviousImage) {
    std::vector<cPicture> refused(1);  // the empty picture
    for (PictureType type : {PictureType::Icon, PictureType::Metafile, PictureType::None}) {
        refused.push_back(MakePicture(1, 1, 32, 4, {1, 2, 3, 0}));
        refused.back().Type = type;
    }
    refused.push_back(MakePicture(3, 1, 32, 8, Bytes(8)));  // rows too short for 3 pixels
    refused.push_back(MakePicture(1, 1, 24, 4, Bytes(4)));  // a depth no image holds
    EXPECT_EQ(dib.CreateFromStdPicture(nullptr, true), 0);
    for (size_t i = 0; i < refused.size(); ++i)
        for (bool force : {true, false})
            EXPECT_EQ(dib.CreateFromStdPicture(&refused[i], force), 0) << i << " " << force;
    EXPECT_EQ(Shape(dib), (std::array{2, 2, 32}));
    EXPECT_EQ(dib.lpBits()[0], 0x5A);

    cPicture empty = MakePicture(0, 0, 32, 0, {});
    empty.Bits = reinterpret_cast<uint8_t*>(&empty);  // a bitmap, just without pixels
    EXPECT_EQ(dib.CreateFromStdPicture(&empty, true), 0);
    ExpectEmpty(dib);
}

TEST_F(DIBFromPicture, UnforcedPicturesKeepTheirDepthAndTableWithRowsFlipped) {
    const Bytes table = DistinctPalette(256);
    // Top-down rows of 3 pixels, stride 4: top row 7 8 9, bottom row 1 2 3.
    const cPicture eight = MakePicture(3, 2, 8, 4, {7, 8, 9, 0, 1, 2, 3, 0}, table);
    EXPECT_EQ(dib.CreateFromStdPicture(&eight, false), 8);
    EXPECT_EQ(Shape(dib), (std::array{3, 2, 8}));
    EXPECT_EQ(PaletteOf(dib), table);
    EXPECT_EQ(PixelBytes(dib, 0, 8), (Bytes{1, 2, 3, 0, 7, 8, 9, 0}));

    // 32 bpp, 2 x 2 with a stride of 12: the padding at each row's end is not copied.
    const Bytes rows = {1, 2, 3, 0, 4,  5,  6,  0, 0xEE, 0xEE, 0xEE, 0xEE,
                        7, 8, 9, 0, 10, 11, 12, 0, 0xEE, 0xEE, 0xEE, 0xEE};
    const cPicture deep = MakePicture(2, 2, 32, 12, rows);
    ASSERT_EQ(dib.CreateFromStdPicture(&deep, false), 32);
    EXPECT_EQ(PixelBytes(dib, 0, 16), (Bytes{7, 8, 9, 0, 10, 11, 12, 0, 1, 2, 3, 0, 4, 5, 6, 0}));
}

TEST_F(DIBFromPicture, ForcedIndexedPicturesBecomeTheirTableColours) {
    Bytes table = DistinctPalette(256);
    table[7 * 4 + 3] = 0x77;  // a reserved byte that must not reach 32-bpp pixels
    const cPicture eight = MakePicture(3, 2, 8, 4, {7, 8, 9, 0, 1, 2, 3, 0}, table);
    EXPECT_EQ(dib.CreateFromStdPicture(&eight, true), 8);
    EXPECT_EQ(dib.BPP(), 32);
    for (int32_t i = 0; i < 6; ++i) {
        const uint8_t* entry = &table[eight.Row(i / 3)[i % 3] * 4];
        const uint8_t* p = PixelAt(dib, i % 3, i / 3);
        EXPECT_EQ(Bytes(p, p + 4), (Bytes{entry[0], entry[1], entry[2], 0})) << "pixel " << i;
    }

    // 1 bpp, 10 pixels 1011001110 across two bytes, with a table of its two entries.
    const cPicture mono = MakePicture(10, 1, 1, 4, {0xB3, 0x80, 0, 0}, {10, 0, 0, 0, 200, 0, 0, 0});
    ASSERT_EQ(dib.CreateFromStdPicture(&mono, true), 1);
    const int bits[10] = {1, 0, 1, 1, 0, 0, 1, 1, 1, 0};
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(dib, x, 0)[0], bits[x] ? 200 : 10) << x;

    const cPicture shortTable = MakePicture(2, 1, 8, 4, {0, 200, 0, 0}, {9, 9, 9, 0});
    ASSERT_EQ(dib.CreateFromStdPicture(&shortTable, true), 8);
    EXPECT_EQ(ColourAt(dib, 0, 0), (BGR{9, 9, 9}));
    EXPECT_EQ(ColourAt(dib, 1, 0), (BGR{0, 0, 0})) << "past the table's end: black";
}

TEST(DIBCopies, CloneIsAnIndependentCopy) {
    cDIB dib, clone;
    ASSERT_TRUE(dib.Create(5, 3, 8));
    const Bytes table = DistinctPalette(256);
    dib.SetPalette(table);
    std::iota(dib.lpBits(), dib.lpBits() + dib.Size(), 0);
    ASSERT_TRUE(clone.Create(1, 1, 32));
    dib.CloneTo(clone);
    EXPECT_EQ(Shape(clone), (std::array{5, 3, 8}));
    EXPECT_NE(clone.lpBits(), dib.lpBits());
    EXPECT_EQ(PixelBytes(clone, 0, clone.Size()), PixelBytes(dib, 0, dib.Size()));
    EXPECT_EQ(PaletteOf(clone), table);
    dib.CloneTo(dib);  // onto itself: nothing changes
    EXPECT_EQ(dib.lpBits()[7], 7);

    dib.Destroy();  // the clone keeps its own pixels
    EXPECT_EQ(clone.lpBits()[20], 20);
    cDIB().CloneTo(clone);
    ExpectEmpty(clone);
}

TEST(DIBPalette, GetAndSetWorkOnTheTableOfIndexedImagesOnly) {
    Bytes palette = {1, 2, 3};
    cDIB dib;
    dib.GetPalette(palette);  // empty image
    ASSERT_TRUE(dib.Create(1, 1, 32));
    dib.GetPalette(palette);
    dib.SetPalette(DistinctPalette(256));  // no table to write
    EXPECT_EQ(palette, (Bytes{1, 2, 3}));
    EXPECT_EQ(dib.lpBits()[0], 0);
    for (const auto& [bpp, bytes] : {std::pair{8, 1024u}, {4, 64u}, {1, 8u}}) {
        ASSERT_TRUE(dib.Create(2, 2, bpp));
        EXPECT_EQ(PaletteOf(dib).size(), bytes) << bpp;
    }

    ASSERT_TRUE(dib.Create(2, 2, 4));
    dib.lpBits()[0] = 0x12;
    const Bytes full = DistinctPalette(256);
    dib.SetPalette(full);  // the 16 entries that fit
    EXPECT_EQ(PaletteOf(dib), Bytes(full.begin(), full.begin() + 64));
    EXPECT_EQ(dib.lpBits()[0], 0x12);            // indices keep their values
    dib.SetPalette(Bytes{9, 9, 9, 9, 8, 8, 8});  // one whole entry; the rest keep their values
    palette = PaletteOf(dib);
    EXPECT_EQ(Bytes(palette.begin(), palette.begin() + 8), (Bytes{9, 9, 9, 9, 1, 254, 0x54, 0}));
}

TEST(DIBCls, FillsWithTheColourOrTheNearestTableEntry) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 2, 32));
    dib.Cls(0x00112233);
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(ColourAt(dib, i % 3, i / 3), (BGR{0x11, 0x22, 0x33}));

    ASSERT_TRUE(dib.Create(5, 2, 4));
    Bytes table(64, 0);
    table[6 * 4 + 2] = 250;  // entry 6: pure red
    dib.SetPalette(table);
    dib.Cls(0x000000F0);  // nearly pure red
    EXPECT_EQ(PixelBytes(dib, 0, 5), (Bytes{0x66, 0x66, 0x60, 0, 0x66}));
    cDIB empty;
    empty.Cls(0);
    ExpectEmpty(empty);
}

TEST(DIBResize, CroppingKeepsTheTopLeftAndZeroesTheRestAndZeroSizesEmpty) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(2, 2, 32));
    FillWithPositions(dib);
    dib.Resize(3, 4, false);
    ASSERT_EQ(Shape(dib), (std::array{3, 4, 32}));
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 3; ++x)
            EXPECT_EQ(ColourAt(dib, x, y), (x < 2 && y < 2 ? BGR{x, y, 0x80} : BGR{0, 0, 0}))
                << x << "," << y;
    dib.Resize(1, 1, false);
    EXPECT_EQ(ColourAt(dib, 0, 0), (BGR{0, 0, 0x80}));

    dib.Resize(0, 5, true);
    ExpectEmpty(dib);
    dib.Resize(10, 10, true);  // an empty image stays empty
    ExpectEmpty(dib);
    ASSERT_TRUE(dib.Create(3, 3, 8));
    dib.Resize(5, 0, false);
    ExpectEmpty(dib);
}

TEST(DIBResize, StretchingUsesNearestPixelsAndKeepsTheTable) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 32));
    FillWithPositions(dib);
    dib.Resize(2, 2, true);  // columns and rows 1 and 3
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(ColourAt(dib, i % 2, i / 2), (BGR{i % 2 * 2 + 1, i / 2 * 2 + 1, 0x80}));

    ASSERT_TRUE(dib.Create(2, 1, 8));
    const Bytes table = DistinctPalette(256);
    dib.SetPalette(table);
    dib.lpBits()[0] = 5;
    dib.lpBits()[1] = 6;
    dib.Resize(4, 2, true);
    EXPECT_EQ(dib.BPP(), 8);
    EXPECT_EQ(PaletteOf(dib), table);
    EXPECT_EQ(PixelBytes(dib, 0, 8), (Bytes{5, 5, 6, 6, 5, 5, 6, 6}));
}

TEST(DIBBestFit, FitsKeepingTheAspectRatio) {
    using Fit = std::array<int32_t, 4>;  // bfx, bfy, bfW, bfH
    const struct {
        int32_t width, height, dstW, dstH;
        bool stretch;
        Fit fit;
    } cases[] = {
        {300, 200, 150, 150, false, {0, 25, 150, 100}},
        {200, 300, 150, 150, false, {25, 0, 100, 150}},
        {100, 80, 150, 150, false, {25, 35, 100, 80}},  // fits: never enlarged
        {4, 1, 2, 2, false, {0, 1, 2, 0}},              // 0.5 rounds to even 0
        {4, 5, 2, 2, false, {0, 0, 2, 2}},              // cH 0.4f x 4 = 1.6 -> 2
        {50, 25, 200, 200, true, {0, 50, 200, 100}},    // stretched up
        {10, 10, 3, 4, false, {0, 0, 3, 3}},            // odd remainder: the extra pixel below
        {5, 10, 100, 1, false, {49, 0, 1, 1}},          // 0.1f x 5 is above 0.5: rounds up
        {5, 2, 2, 10, false, {0, 4, 2, 1}},             // 0.4f x 2 = 0.8 -> 1; (10 - 1) \ 2 = 4
    };
    for (const auto& c : cases) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(c.width, c.height, 8));
        Fit fit = {-1, -1, -1, -1};
        dib.GetBestFitInfo(c.dstW, c.dstH, fit[0], fit[1], fit[2], fit[3], c.stretch);
        EXPECT_EQ(fit, c.fit) << c.width << "x" << c.height << " in " << c.dstW << "x" << c.dstH;
    }
    Fit fit = {1, 2, 3, 4};
    cDIB().GetBestFitInfo(150, 150, fit[0], fit[1], fit[2], fit[3], true);
    EXPECT_EQ(fit, (Fit{1, 2, 3, 4})) << "an empty image leaves them alone";
}

TEST(DIBBlits, StretchAndLoadBltCopyTheRectanglesAsked) {
    cDIB source, dib;
    ASSERT_TRUE(source.Create(4, 4, 32));
    FillWithPositions(source);
    ASSERT_TRUE(dib.Create(2, 2, 32));
    EXPECT_NE(source.Stretch(dib.hDIBDC(), 0, 0, 2, 2, 2, 1, 2, 2), 0);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(ColourAt(dib, i % 2, i / 2), (BGR{2 + i % 2, 1 + i / 2, 0x80}));
    EXPECT_EQ(source.Stretch(dib.hDIBDC(), 0, 0, 2, 2, 0, 0, 0, 0, 0x00EE0086), 0);  // copies only
    EXPECT_EQ(source.Stretch(nullptr, 0, 0, 2, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(cDIB().Stretch(dib.hDIBDC(), 0, 0, 2, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(ColourAt(dib, 0, 0), (BGR{2, 1, 0x80})) << "a refused stretch drew";

    ASSERT_TRUE(dib.Create(4, 4, 32));
    EXPECT_NE(dib.LoadBlt(source.hDIBDC(), 0, 0, 0, 0), 0);
    EXPECT_EQ(PixelBytes(dib, 0, 64), PixelBytes(source, 0, 64));
    ASSERT_TRUE(dib.Create(3, 3, 32));
    EXPECT_NE(dib.LoadBlt(source.hDIBDC(), 1, 2, 1, 1), 0);  // the same place in both
    for (int32_t i = 0; i < 9; ++i)
        EXPECT_EQ(ColourAt(dib, i % 3, i / 3), (i == 7 ? BGR{1, 2, 0x80} : BGR{0, 0, 0})) << i;
    cMemoryDC nothingSelected;
    EXPECT_EQ(dib.LoadBlt(&nothingSelected, 0, 0, 0, 0), 0);
    EXPECT_EQ(dib.LoadBlt(nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(cDIB().LoadBlt(source.hDIBDC(), 0, 0, 0, 0), 0);
}

#include "cDIB.h"
#include "cError.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <numeric>

namespace {

// Pixel bytes of picture position (x, y), y = 0 the top row.
const uint8_t* PixelAt(const cDIB& dib, int32_t x, int32_t y) {
    const int32_t memoryRow = dib.Height() - 1 - y;
    return dib.lpBits() + memoryRow * dib.BytesPerScanline() + x * dib.BPP() / 8;
}

uint8_t* PixelAt(cDIB& dib, int32_t x, int32_t y) {
    return const_cast<uint8_t*>(PixelAt(static_cast<const cDIB&>(dib), x, y));
}

// B = x, G = y, R = 0x80: every pixel says where it came from.
void FillWithPositions(cDIB& dib) {
    for (int32_t y = 0; y < dib.Height(); ++y)
        for (int32_t x = 0; x < dib.Width(); ++x) {
            uint8_t* p = PixelAt(dib, x, y);
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = 0x80;
            p[3] = 0;
        }
}

std::vector<uint8_t> DistinctPalette(size_t entries) {
    std::vector<uint8_t> table(entries * 4);
    for (size_t i = 0; i < entries; ++i) {
        table[i * 4] = static_cast<uint8_t>(i);
        table[i * 4 + 1] = static_cast<uint8_t>(255 - i);
        table[i * 4 + 2] = static_cast<uint8_t>(i ^ 0x55);
        table[i * 4 + 3] = 0;
    }
    return table;
}

void ExpectEmpty(const cDIB& dib) {
    EXPECT_EQ(dib.hDIB(), 0u);
    EXPECT_EQ(dib.hDIBDC(), nullptr);
    EXPECT_EQ(dib.lpBits(), nullptr);
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(dib.BPP(), 0);
    EXPECT_EQ(dib.BytesPerScanline(), 0);
    EXPECT_EQ(dib.Size(), 0);
}

// A picture that owns a copy of the given top-down rows.
cPicture MakePicture(int32_t width, int32_t height, int32_t bpp, int32_t stride,
                     std::vector<uint8_t> rows, std::vector<uint8_t> table = {}) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::move(rows));
    cPicture picture;
    picture.Type = PictureType::Bitmap;
    picture.Width = width;
    picture.Height = height;
    picture.BPP = bpp;
    picture.Stride = stride;
    picture.ColorTable = std::move(table);
    picture.Bits = bytes->data();
    picture.Owner = bytes;
    return picture;
}

}  // namespace

// --- Create, Destroy ------------------------------------------------------

struct StrideCase {
    int32_t width;
    int32_t bpp;
    int32_t stride;
};

TEST(DIBCreate, StridesArePaddedToFourBytes) {
    const StrideCase cases[] = {{1, 8, 4}, {5, 8, 8}, {3, 32, 12}, {1, 1, 4},
                                {33, 1, 8}, {32, 1, 4}, {9, 4, 8}, {8, 4, 4}};
    for (const StrideCase& c : cases) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(c.width, 2, c.bpp)) << c.width << "x" << c.bpp;
        EXPECT_EQ(dib.BytesPerScanline(), c.stride) << c.width << "x" << c.bpp;
        EXPECT_EQ(dib.Size(), c.stride * 2);
    }
}

TEST(DIBCreate, SizeIsStrideTimesHeight) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(101, 7, 8));
    EXPECT_EQ(dib.Size(), 728);
}

TEST(DIBCreate, NewImageIsZeroFilledWithBlackTableAndHeader) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(5, 3, 8));
    EXPECT_NE(dib.hDIB(), 0u);
    EXPECT_NE(dib.hDIBDC(), nullptr);
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 3);
    EXPECT_EQ(dib.BPP(), 8);
    for (int32_t i = 0; i < dib.Size(); ++i) ASSERT_EQ(dib.lpBits()[i], 0) << i;
    std::vector<uint8_t> palette;
    dib.GetPalette(palette);
    EXPECT_EQ(palette, std::vector<uint8_t>(1024, 0));

    const BITMAPINFOHEADER& h = dib.InfoHeader();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 0u);
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(h.biYPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);
}

TEST(DIBCreate, RecreatingReplacesTheContent) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 32));
    std::memset(dib.lpBits(), 0xAB, dib.Size());
    ASSERT_TRUE(dib.Create(2, 3, 8));
    EXPECT_EQ(dib.Size(), 12);
    for (int32_t i = 0; i < dib.Size(); ++i) EXPECT_EQ(dib.lpBits()[i], 0);
}

TEST(DIBCreate, ZeroOrNegativeSizesAndUnknownDepthsLeaveTheImageEmpty) {
    const int32_t sizes[][3] = {{0, 5, 32}, {5, 0, 32}, {0, 0, 8}, {-3, 5, 32},
                                {5, -3, 8}, {5, 5, 0}, {5, 5, 24}, {5, 5, -8}};
    for (const auto& s : sizes) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(4, 4, 32));
        EXPECT_FALSE(dib.Create(s[0], s[1], s[2])) << s[0] << " " << s[1] << " " << s[2];
        ExpectEmpty(dib);
    }
}

TEST(DIBCreate, SizesBeyondInt32RaiseOverflowAndLeaveTheImageEmpty) {
    const int32_t sizes[][3] = {
        {INT32_MAX / 32 + 1, 1, 32},  // Width x BPP
        {INT32_MAX - 30, 1, 1},       // + 31
        {1000000, 1000, 32},          // BytesPerScanline x Height
        {-100000000, 1, 32},          // negative product out of range
    };
    for (const auto& s : sizes) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(4, 4, 32));
        try {
            dib.Create(s[0], s[1], s[2]);
            ADD_FAILURE() << "no error for " << s[0] << " x " << s[1];
        } catch (const cError& e) {
            EXPECT_EQ(e.Number(), ErrorNumber::Overflow);
        }
        ExpectEmpty(dib);
    }
}

TEST(DIBCreate, DestroyEmptiesAndCanBeRepeated) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 3, 8));
    dib.Destroy();
    ExpectEmpty(dib);
    dib.Destroy();
    ExpectEmpty(dib);
}

// --- CreateFromStdPicture ---------------------------------------------------

class DIBFromPicture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dib.Create(2, 2, 32));
        dib.lpBits()[0] = 0x5A;
    }
    void ExpectPreviousImage() {
        EXPECT_EQ(dib.Width(), 2);
        EXPECT_EQ(dib.BPP(), 32);
        ASSERT_NE(dib.lpBits(), nullptr);
        EXPECT_EQ(dib.lpBits()[0], 0x5A);
    }
    cDIB dib;
};

TEST_F(DIBFromPicture, NoPictureIconMetafileOrNoneKeepThePreviousImage) {
    EXPECT_EQ(dib.CreateFromStdPicture(nullptr, true), 0);
    ExpectPreviousImage();

    cPicture picture = MakePicture(1, 1, 32, 4, {1, 2, 3, 0});
    for (PictureType type : {PictureType::Icon, PictureType::Metafile, PictureType::None}) {
        picture.Type = type;
        EXPECT_EQ(dib.CreateFromStdPicture(&picture, true), 0);
        ExpectPreviousImage();
    }
    const cPicture empty;
    EXPECT_EQ(dib.CreateFromStdPicture(&empty, false), 0);
    ExpectPreviousImage();
}

TEST_F(DIBFromPicture, PicturesWithUnusableRowsOrDepthsAreRefused) {
    cPicture shortRows = MakePicture(3, 1, 32, 8, std::vector<uint8_t>(8));  // needs 12 bytes a row
    EXPECT_EQ(dib.CreateFromStdPicture(&shortRows, true), 0);
    ExpectPreviousImage();

    cPicture depth24 = MakePicture(1, 1, 24, 4, std::vector<uint8_t>(4));
    EXPECT_EQ(dib.CreateFromStdPicture(&depth24, true), 0);
    ExpectPreviousImage();
}

TEST_F(DIBFromPicture, ZeroSizedBitmapEmptiesTheImage) {
    cPicture picture = MakePicture(0, 0, 32, 0, {});
    picture.Bits = reinterpret_cast<const uint8_t*>(&picture);  // a bitmap, just without pixels
    EXPECT_EQ(dib.CreateFromStdPicture(&picture, true), 0);
    ExpectEmpty(dib);
}

TEST_F(DIBFromPicture, EightBitKeepsItsDepthAndTableUnlessForced) {
    std::vector<uint8_t> table = DistinctPalette(256);
    table[7 * 4 + 3] = 0x77;  // a reserved byte that must not reach 32-bpp pixels
    // Top-down rows of 3 pixels, stride 4: top row 7 8 9, bottom row 1 2 3.
    const cPicture picture = MakePicture(3, 2, 8, 4, {7, 8, 9, 0, 1, 2, 3, 0}, table);

    EXPECT_EQ(dib.CreateFromStdPicture(&picture, false), 8);
    EXPECT_EQ(dib.BPP(), 8);
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(dib.Height(), 2);
    std::vector<uint8_t> palette;
    dib.GetPalette(palette);
    EXPECT_EQ(palette, table);
    // Memory rows are bottom-up.
    EXPECT_EQ(std::vector<uint8_t>(dib.lpBits(), dib.lpBits() + 3), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::vector<uint8_t>(dib.lpBits() + 4, dib.lpBits() + 7), (std::vector<uint8_t>{7, 8, 9}));

    EXPECT_EQ(dib.CreateFromStdPicture(&picture, true), 8);
    EXPECT_EQ(dib.BPP(), 32);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x) {
            const uint8_t index = picture.Row(y)[x];
            const uint8_t* p = PixelAt(dib, x, y);
            EXPECT_EQ(p[0], table[index * 4]);
            EXPECT_EQ(p[1], table[index * 4 + 1]);
            EXPECT_EQ(p[2], table[index * 4 + 2]);
            EXPECT_EQ(p[3], 0) << "unused byte of pixel " << x << "," << y;
        }
}

TEST_F(DIBFromPicture, OneAndFourBitPixelsAreReadHighBitsFirst) {
    const std::vector<uint8_t> table2 = {10, 11, 12, 0, 200, 201, 202, 0};
    // 1 bpp, 10 pixels: 1011001110 -> bytes 0b10110011, 0b10000000.
    const cPicture mono = MakePicture(10, 1, 1, 4, {0xB3, 0x80, 0, 0}, table2);
    ASSERT_EQ(dib.CreateFromStdPicture(&mono, true), 1);
    const int bits[10] = {1, 0, 1, 1, 0, 0, 1, 1, 1, 0};
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(dib, x, 0)[0], bits[x] ? 200 : 10) << x;

    const std::vector<uint8_t> table16 = DistinctPalette(16);
    const cPicture nibbles = MakePicture(3, 1, 4, 4, {0x3C, 0x50, 0, 0}, table16);
    ASSERT_EQ(dib.CreateFromStdPicture(&nibbles, true), 4);
    const int indices[3] = {3, 12, 5};
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(dib, x, 0)[1], table16[indices[x] * 4 + 1]);

    ASSERT_EQ(dib.CreateFromStdPicture(&nibbles, false), 4);
    EXPECT_EQ(dib.BPP(), 4);
    EXPECT_EQ(dib.lpBits()[0], 0x3C);
    EXPECT_EQ(dib.lpBits()[1], 0x50);
}

TEST_F(DIBFromPicture, ShortColourTableReadsBlackPastItsEnd) {
    const cPicture picture = MakePicture(2, 1, 8, 4, {0, 200, 0, 0}, {9, 9, 9, 0});
    ASSERT_EQ(dib.CreateFromStdPicture(&picture, true), 8);
    EXPECT_EQ(PixelAt(dib, 0, 0)[0], 9);
    EXPECT_EQ(PixelAt(dib, 1, 0)[0], 0);
}

TEST_F(DIBFromPicture, ThirtyTwoBitRowsAreFlippedIntoBottomUpMemory) {
    // 2 x 2, stride 12 (4 bytes of padding a row the copy must skip).
    std::vector<uint8_t> rows(24, 0xEE);
    const uint8_t top[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    const uint8_t bottom[8] = {7, 8, 9, 0, 10, 11, 12, 0};
    std::memcpy(rows.data(), top, 8);
    std::memcpy(rows.data() + 12, bottom, 8);
    const cPicture picture = MakePicture(2, 2, 32, 12, rows);
    ASSERT_EQ(dib.CreateFromStdPicture(&picture, false), 32);
    EXPECT_EQ(std::memcmp(dib.lpBits(), bottom, 8), 0);
    EXPECT_EQ(std::memcmp(dib.lpBits() + 8, top, 8), 0);
}

// --- CloneTo, Image ---------------------------------------------------------

TEST(DIBCopies, CloneIsAnIndependentExactCopy) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(5, 3, 8));
    dib.SetPalette(DistinctPalette(256));
    std::iota(dib.lpBits(), dib.lpBits() + dib.Size(), 0);

    cDIB clone;
    ASSERT_TRUE(clone.Create(1, 1, 32));
    dib.CloneTo(clone);
    EXPECT_EQ(clone.Width(), 5);
    EXPECT_EQ(clone.Height(), 3);
    EXPECT_EQ(clone.BPP(), 8);
    EXPECT_NE(clone.lpBits(), dib.lpBits());
    EXPECT_EQ(std::memcmp(clone.lpBits(), dib.lpBits(), dib.Size()), 0);
    std::vector<uint8_t> a, b;
    dib.GetPalette(a);
    clone.GetPalette(b);
    EXPECT_EQ(a, b);

    dib.CloneTo(dib);  // cloning onto itself changes nothing
    EXPECT_EQ(dib.lpBits()[7], 7);

    cDIB empty;
    empty.CloneTo(clone);
    ExpectEmpty(clone);
}

TEST(DIBCopies, ImageIsAnIndependentTopDown32BitPicture) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 2, 8));
    const std::vector<uint8_t> table = DistinctPalette(256);
    dib.SetPalette(table);
    *PixelAt(dib, 0, 0) = 10;  // top left
    *PixelAt(dib, 2, 1) = 20;  // bottom right

    const cPicture picture = dib.Image();
    ASSERT_TRUE(picture.IsBitmap());
    EXPECT_EQ(picture.BPP, 32);
    EXPECT_EQ(picture.Width, 3);
    EXPECT_EQ(picture.Height, 2);
    EXPECT_EQ(picture.Row(0)[0], table[10 * 4]);
    EXPECT_EQ(picture.Row(0)[2], table[10 * 4 + 2]);
    EXPECT_EQ(picture.Row(1)[8 + 1], table[20 * 4 + 1]);
    EXPECT_EQ(picture.Row(1)[0], table[0]);

    dib.Destroy();  // the picture keeps its own pixels
    EXPECT_EQ(picture.Row(0)[0], table[10 * 4]);

    // The one use: straight back into an image at 32 bpp, same colours.
    cDIB back;
    ASSERT_EQ(back.CreateFromStdPicture(&picture, true), 32);
    EXPECT_EQ(PixelAt(back, 2, 1)[1], table[20 * 4 + 1]);

    EXPECT_EQ(dib.Image().Type, PictureType::None);
}

// --- Palette ---------------------------------------------------------------

TEST(DIBPalette, GetPaletteGivesTheWholeTableOrLeavesTheArrayAlone) {
    std::vector<uint8_t> palette = {1, 2, 3};
    cDIB dib;
    dib.GetPalette(palette);  // empty image
    EXPECT_EQ(palette, (std::vector<uint8_t>{1, 2, 3}));

    ASSERT_TRUE(dib.Create(2, 2, 32));
    dib.GetPalette(palette);
    EXPECT_EQ(palette, (std::vector<uint8_t>{1, 2, 3}));

    const int32_t depths[][2] = {{8, 1024}, {4, 64}, {1, 8}};
    for (const auto& d : depths) {
        ASSERT_TRUE(dib.Create(2, 2, d[0]));
        dib.GetPalette(palette);
        EXPECT_EQ(palette.size(), static_cast<size_t>(d[1]));
    }
}

TEST(DIBPalette, SetPaletteWritesOnlyTheGivenEntriesThatFit) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(2, 2, 4));
    dib.lpBits()[0] = 0x12;
    const std::vector<uint8_t> full = DistinctPalette(256);
    dib.SetPalette(full);
    std::vector<uint8_t> palette;
    dib.GetPalette(palette);
    EXPECT_EQ(palette, std::vector<uint8_t>(full.begin(), full.begin() + 64));
    EXPECT_EQ(dib.lpBits()[0], 0x12);  // indices keep their values

    // Seven bytes: one whole entry; the rest of the table keeps its values.
    dib.SetPalette(std::vector<uint8_t>{9, 9, 9, 9, 8, 8, 8});
    dib.GetPalette(palette);
    EXPECT_EQ(std::vector<uint8_t>(palette.begin(), palette.begin() + 8),
              (std::vector<uint8_t>{9, 9, 9, 9, 1, 254, 0x54, 0}));

    cDIB deep;
    ASSERT_TRUE(deep.Create(1, 1, 32));
    deep.SetPalette(full);  // no table to write
    EXPECT_EQ(deep.lpBits()[0], 0);
}

// --- Cls ---------------------------------------------------------------------

TEST(DIBCls, FillsWithTheColourOrTheNearestTableEntry) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 2, 32));
    dib.Cls(0x00112233);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x) {
            const uint8_t* p = PixelAt(dib, x, y);
            EXPECT_EQ(p[0], 0x11);
            EXPECT_EQ(p[1], 0x22);
            EXPECT_EQ(p[2], 0x33);
        }

    ASSERT_TRUE(dib.Create(5, 2, 4));
    std::vector<uint8_t> table(64, 0);
    table[6 * 4 + 2] = 250;  // entry 6: pure red
    dib.SetPalette(table);
    dib.Cls(0x000000F0);  // nearly pure red
    EXPECT_EQ(dib.lpBits()[0], 0x66);
    EXPECT_EQ(dib.lpBits()[2], 0x60);  // the fifth pixel; the low nibble is not in the image
    EXPECT_EQ(dib.lpBits()[4], 0x66);

    cDIB empty;
    empty.Cls(0);  // does nothing
    ExpectEmpty(empty);
}

// --- Resize ------------------------------------------------------------------

TEST(DIBResize, CroppingKeepsTheTopLeftAndZeroesTheRest) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(2, 2, 32));
    FillWithPositions(dib);
    dib.Resize(3, 4, false);
    ASSERT_EQ(dib.Width(), 3);
    ASSERT_EQ(dib.Height(), 4);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 3; ++x) {
            const uint8_t* p = PixelAt(dib, x, y);
            if (x < 2 && y < 2) {
                EXPECT_EQ(p[0], x);
                EXPECT_EQ(p[1], y);
                EXPECT_EQ(p[2], 0x80);
            } else {
                EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0) << x << "," << y;
            }
        }

    dib.Resize(1, 1, false);  // smaller: the top-left pixel stays
    EXPECT_EQ(PixelAt(dib, 0, 0)[2], 0x80);
    EXPECT_EQ(PixelAt(dib, 0, 0)[1], 0);
}

TEST(DIBResize, StretchingUsesNearestPixels) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 32));
    FillWithPositions(dib);
    dib.Resize(2, 2, true);  // picks columns and rows 1 and 3
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 2; ++x) {
            EXPECT_EQ(PixelAt(dib, x, y)[0], 2 * x + 1);
            EXPECT_EQ(PixelAt(dib, x, y)[1], 2 * y + 1);
        }
    dib.Resize(4, 6, true);  // 2 -> 4 columns: 0 0 1 1; 2 -> 6 rows: 0 0 0 1 1 1
    const int cols[4] = {1, 1, 3, 3};
    const int rows[6] = {1, 1, 1, 3, 3, 3};
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(PixelAt(dib, x, y)[0], cols[x]);
            EXPECT_EQ(PixelAt(dib, x, y)[1], rows[y]);
        }
}

TEST(DIBResize, IndexedImagesKeepTheirDepthAndTable) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(2, 1, 8));
    const std::vector<uint8_t> table = DistinctPalette(256);
    dib.SetPalette(table);
    dib.lpBits()[0] = 5;
    dib.lpBits()[1] = 6;
    dib.Resize(4, 2, true);
    EXPECT_EQ(dib.BPP(), 8);
    std::vector<uint8_t> palette;
    dib.GetPalette(palette);
    EXPECT_EQ(palette, table);
    EXPECT_EQ(std::vector<uint8_t>(dib.lpBits(), dib.lpBits() + 8),
              (std::vector<uint8_t>{5, 5, 6, 6, 5, 5, 6, 6}));
}

TEST(DIBResize, EmptyStaysEmptyAndZeroSizeEmpties) {
    cDIB dib;
    dib.Resize(10, 10, true);
    ExpectEmpty(dib);

    ASSERT_TRUE(dib.Create(3, 3, 32));
    dib.Resize(0, 5, true);
    ExpectEmpty(dib);
    ASSERT_TRUE(dib.Create(3, 3, 8));
    dib.Resize(5, 0, false);
    ExpectEmpty(dib);
}

// --- GetBestFitInfo ------------------------------------------------------------

struct FitCase {
    int32_t width, height, dstW, dstH;
    bool stretch;
    int32_t bfx, bfy, bfW, bfH;
};

TEST(DIBBestFit, FitsKeepingTheAspectRatio) {
    const FitCase cases[] = {
        {300, 200, 150, 150, false, 0, 25, 150, 100},
        {200, 300, 150, 150, false, 25, 0, 100, 150},
        {100, 80, 150, 150, false, 25, 35, 100, 80},   // fits: never enlarged
        {4, 1, 2, 2, false, 0, 1, 2, 0},               // 0.5 rounds to even 0
        {4, 5, 2, 2, false, 0, 0, 2, 2},               // cH 0.4f x 4 = 1.6 -> 2
        {50, 25, 200, 200, true, 0, 50, 200, 100},     // stretched up
        {10, 10, 3, 4, false, 0, 0, 3, 3},             // odd remainder: extra pixel below
        {5, 10, 100, 1, false, 49, 0, 1, 1},           // 0.1f x 5 is above 0.5: rounds up
        {5, 2, 2, 10, false, 0, 4, 2, 1},              // 0.4f x 2 = 0.8 -> 1; (10 - 1) \ 2 = 4
    };
    for (const FitCase& c : cases) {
        cDIB dib;
        ASSERT_TRUE(dib.Create(c.width, c.height, 8));
        int32_t bfx = -1, bfy = -1, bfW = -1, bfH = -1;
        dib.GetBestFitInfo(c.dstW, c.dstH, bfx, bfy, bfW, bfH, c.stretch);
        EXPECT_EQ(bfW, c.bfW) << c.width << "x" << c.height;
        EXPECT_EQ(bfH, c.bfH) << c.width << "x" << c.height;
        EXPECT_EQ(bfx, c.bfx) << c.width << "x" << c.height;
        EXPECT_EQ(bfy, c.bfy) << c.width << "x" << c.height;
    }
}

TEST(DIBBestFit, EmptyImageLeavesTheOutputsAlone) {
    cDIB dib;
    int32_t bfx = 1, bfy = 2, bfW = 3, bfH = 4;
    dib.GetBestFitInfo(150, 150, bfx, bfy, bfW, bfH, true);
    EXPECT_EQ(bfx, 1);
    EXPECT_EQ(bfy, 2);
    EXPECT_EQ(bfW, 3);
    EXPECT_EQ(bfH, 4);
}

// --- LoadBlt, Stretch -----------------------------------------------------------

namespace {

// A context that records what it was asked to draw.
class RecordingDC final : public cDC {
public:
    int32_t BitBlt(int32_t, int32_t, int32_t, int32_t, const cBitmapBits&, int32_t,
                   int32_t) override {
        return 0;
    }
    int32_t StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                       int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) override {
        ++calls;
        modeDuringCall = GetStretchBltMode();
        args = {x, y, w, h, xSrc, ySrc, wSrc, hSrc};
        source = &src;
        return 7;
    }
    const cBitmapBits* SelectedBitmap() const override { return nullptr; }

    int calls = 0;
    int32_t modeDuringCall = 0;
    std::vector<int32_t> args;
    const cBitmapBits* source = nullptr;
};

}  // namespace

TEST(DIBBlits, StretchSetsColorOnColorAndPutsTheOldModeBack) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(6, 4, 32));
    RecordingDC dc;
    dc.SetStretchBltMode(4);
    EXPECT_EQ(dib.Stretch(&dc, 1, 2, 30, 40, 0, 0, 0, 0), 7);
    EXPECT_EQ(dc.modeDuringCall, COLORONCOLOR);
    EXPECT_EQ(dc.GetStretchBltMode(), 4);
    // Zero source sizes mean the whole image.
    EXPECT_EQ(dc.args, (std::vector<int32_t>{1, 2, 30, 40, 0, 0, 6, 4}));
    ASSERT_NE(dc.source, nullptr);
    EXPECT_EQ(dc.source->Bits, dib.lpBits());

    EXPECT_EQ(dib.Stretch(&dc, 0, 0, 3, 3, 1, 1, 2, 2), 7);
    EXPECT_EQ(dc.args, (std::vector<int32_t>{0, 0, 3, 3, 1, 1, 2, 2}));

    EXPECT_EQ(dib.Stretch(&dc, 0, 0, 3, 3, 0, 0, 0, 0, 0x00EE0086), 0);  // only plain copies
    EXPECT_EQ(dib.Stretch(nullptr, 0, 0, 3, 3, 0, 0, 0, 0), 0);

    cDIB empty;
    const int before = dc.calls;
    EXPECT_EQ(empty.Stretch(&dc, 0, 0, 3, 3, 0, 0, 0, 0), 0);
    EXPECT_EQ(dc.calls, before);
}

TEST(DIBBlits, LoadBltCopiesFromAnotherImageAtTheSamePlace) {
    cDIB source;
    ASSERT_TRUE(source.Create(3, 3, 32));
    FillWithPositions(source);

    cDIB dib;
    ASSERT_TRUE(dib.Create(3, 3, 32));
    EXPECT_NE(dib.LoadBlt(source.hDIBDC(), 0, 0, 0, 0), 0);  // zero sizes: the whole image
    EXPECT_EQ(std::memcmp(dib.lpBits(), source.lpBits(), source.Size()), 0);

    ASSERT_TRUE(dib.Create(3, 3, 32));
    EXPECT_NE(dib.LoadBlt(source.hDIBDC(), 1, 2, 1, 1), 0);
    EXPECT_EQ(PixelAt(dib, 1, 2)[0], 1);
    EXPECT_EQ(PixelAt(dib, 1, 2)[1], 2);
    EXPECT_EQ(PixelAt(dib, 1, 2)[2], 0x80);
    EXPECT_EQ(PixelAt(dib, 0, 2)[2], 0);
    EXPECT_EQ(PixelAt(dib, 2, 2)[2], 0);
    EXPECT_EQ(PixelAt(dib, 1, 1)[2], 0);

    RecordingDC window;  // nothing selected: nothing to read
    EXPECT_EQ(dib.LoadBlt(&window, 0, 0, 0, 0), 0);
    EXPECT_EQ(dib.LoadBlt(nullptr, 0, 0, 0, 0), 0);
    cDIB empty;
    EXPECT_EQ(empty.LoadBlt(source.hDIBDC(), 0, 0, 0, 0), 0);
}

#include "TestImages.h"

#include "PaletteSample.h"
#include "cError.h"
#include "mDither8bpp.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace {

using namespace mDither8bpp;

class Dither : public ::testing::Test {
protected:
    void SetUp() override {
        InitDitherTables();
        SetPaletteMode(1);
    }
    void TearDown() override { SetPaletteMode(0); }
};

std::vector<uint8_t> ColourTable(const cDIB& dib) {
    std::vector<uint8_t> table;
    dib.GetPalette(table);
    return table;
}

Rgb TableEntry(const std::vector<uint8_t>& table, int i) {
    return {table[4 * i + 2], table[4 * i + 1], table[4 * i]};
}

// The conversion written out from the formulas, one pixel at a time.
std::vector<std::vector<uint8_t>> ReferenceDither(const cDIB& source, int32_t mode) {
    std::vector<std::vector<uint8_t>> rows(source.Height(), std::vector<uint8_t>(source.Width()));
    for (int32_t y = 0; y < source.Height(); ++y)
        for (int32_t x = 0; x < source.Width(); ++x) {
            const Rgb c = GetPixel(source, x, y);
            const int32_t p = (y % 4) * 4 + x % 4;
            if (mode == 1) {
                const int32_t t = DitherMatrix16()[p];
                const auto level = [t](uint8_t v) { return Level16Table(v + 8 - t); };
                rows[y][x] = InverseColorMap()[level(c.R) + 16 * level(c.G) + 256 * level(c.B)];
            } else {
                const int32_t m = DitherMatrix51()[p];
                const auto level = [m](uint8_t v) { return Level6Table(v + 26 - m); };
                rows[y][x] = static_cast<uint8_t>(level(c.R) + 6 * level(c.G) + 36 * level(c.B));
            }
        }
    return rows;
}

TEST_F(Dither, TwoColoursWorkedByHand) {
    // Black at the bottom-left pixel, (12, 12, 12) everywhere else, 5 x 4. The
    // palette is black (first pixel) then (12, 12, 12). A value 12 reaches
    // level 1 (17, nearest to entry 1) where t <= 11 and level 0 (black, entry
    // 0) where t >= 12: at t = 12, 13, 14, 15, 16.
    cDIB source, target;
    MakeImage(source, 5, 4, [](int32_t x, int32_t y) { return x == 0 && y == 0 ? Rgb{} : Rgb{12, 12, 12}; });
    DitherTo8bpp(source, target);

    ASSERT_EQ(target.BPP(), 8);
    ASSERT_EQ(target.Width(), 5);
    ASSERT_EQ(target.Height(), 4);
    EXPECT_EQ(target.BytesPerScanline(), 8);
    const auto table = ColourTable(target);
    ASSERT_EQ(table.size(), 1024u);
    EXPECT_EQ(TableEntry(table, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(TableEntry(table, 1), (Rgb{12, 12, 12}));
    for (int i = 2; i < 256; ++i) ASSERT_EQ(TableEntry(table, i), (Rgb{}));

    // Memory rows, bottom first; thresholds 1 9 3 11 / 13 5 15 7 / 4 12 2 10 / 16 8 14 6.
    EXPECT_EQ(IndexRows(target), (std::vector<std::vector<uint8_t>>{
                                     {0, 1, 1, 1, 1},
                                     {0, 1, 0, 1, 0},
                                     {1, 0, 1, 1, 1},
                                     {0, 1, 0, 1, 0},
                                 }));
}

TEST_F(Dither, CubeMidGreyWorkedByHand) {
    // 128 in the cube: level round((154 - m) / 51) is 3 where m <= 26 and 2
    // elsewhere, i.e. entry 3 + 18 + 108 = 129 or 2 + 12 + 72 = 86.
    SetPaletteMode(0);
    cDIB source, target;
    MakeImage(source, 4, 4, [](int32_t, int32_t) { return Rgb{128, 128, 128}; });
    DitherTo8bpp(source, target);
    // Matrix 3 29 10 35 / 41 16 48 22 / 13 38 6 32 / 51 26 45 19.
    EXPECT_EQ(IndexRows(target), (std::vector<std::vector<uint8_t>>{
                                     {129, 86, 129, 86},
                                     {86, 129, 86, 129},
                                     {129, 86, 129, 86},
                                     {86, 129, 86, 129},
                                 }));
}

TEST_F(Dither, CubePaletteAndPrimaries) {
    SetPaletteMode(0);
    cPal8bpp cube;
    cube.CreateHalftone(4);
    for (const auto& [colour, index] : std::vector<std::pair<Rgb, uint8_t>>{
             {{255, 0, 0}, 5}, {{0, 0, 255}, 180}, {{255, 255, 255}, 215}, {{0, 0, 0}, 0}}) {
        cDIB source, target;
        MakeImage(source, 7, 5, [&](int32_t, int32_t) { return colour; });
        DitherTo8bpp(source, target);
        for (const auto& row : IndexRows(target))
            for (uint8_t i : row) ASSERT_EQ(i, index) << colour;
        const auto table = ColourTable(target);
        EXPECT_TRUE(std::equal(table.begin(), table.end(), cube.lpPalette()));
    }
}

TEST_F(Dither, FastLoopMatchesTheFormulaOnRandomImages) {
    std::mt19937 random(12345);
    for (int32_t mode : {0, 1}) {
        SetPaletteMode(mode);
        for (int32_t width : {1, 3, 5, 7, 13, 161}) {
            const int32_t height = 1 + static_cast<int32_t>(random() % 9);
            cDIB source, target;
            MakeImage(source, width, height, [&](int32_t, int32_t) {
                const uint32_t v = random();
                return Rgb{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
            });
            DitherTo8bpp(source, target);
            ASSERT_EQ(IndexRows(target), ReferenceDither(source, mode)) << "mode " << mode << " width " << width;
        }
    }
}

TEST_F(Dither, OnePixelImageConvertsInBothModes) {
    for (int32_t mode : {0, 1}) {
        SetPaletteMode(mode);
        cDIB source, target;
        MakeImage(source, 1, 1, [](int32_t, int32_t) { return Rgb{255, 0, 0}; });
        DitherTo8bpp(source, target);
        EXPECT_EQ(target.BytesPerScanline(), 4);
        EXPECT_EQ(IndexRows(target), (std::vector<std::vector<uint8_t>>{{mode == 0 ? uint8_t{5} : uint8_t{0}}}));
        EXPECT_EQ(TableEntry(ColourTable(target), mode == 0 ? 5 : 0), (Rgb{255, 0, 0}));
    }
}

TEST_F(Dither, EachConversionGetsItsOwnPalette) {
    cDIB first, second, firstOut, secondOut;
    MakeImage(first, 4, 4, [](int32_t x, int32_t) { return x == 0 ? Rgb{0, 0, 0} : Rgb{0, 0, 255}; });
    MakeImage(second, 4, 4, [](int32_t, int32_t) { return Rgb{0, 0, 255}; });
    DitherTo8bpp(first, firstOut);
    EXPECT_EQ(InverseColorMap()[15 * 256], 1);  // blue is entry 1 of the first palette
    DitherTo8bpp(second, secondOut);
    EXPECT_EQ(InverseColorMap()[15 * 256], 0);

    EXPECT_EQ(TableEntry(ColourTable(firstOut), 1), (Rgb{0, 0, 255}));
    EXPECT_EQ(TableEntry(ColourTable(secondOut), 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(TableEntry(ColourTable(secondOut), 1), (Rgb{}));
    EXPECT_EQ(IndexRows(firstOut)[0], (std::vector<uint8_t>{0, 1, 1, 1}));
    for (const auto& row : IndexRows(secondOut)) EXPECT_EQ(row, (std::vector<uint8_t>(4, 0)));
}

TEST_F(Dither, InverseMapAnswersFromTheGivenPalette) {
    cPal8bpp ega;
    ega.CreateEGA();
    BuildInverseColorMap(ega);
    EXPECT_EQ(InverseColorMap()[0], 0);
    EXPECT_EQ(InverseColorMap()[15], 9);           // (255, 0, 0)
    EXPECT_EQ(InverseColorMap()[15 * 256], 12);    // (0, 0, 255)
    EXPECT_EQ(InverseColorMap()[4095], 15);
    EXPECT_EQ(InverseColorMap()[11 + 16 * 11 + 256 * 11], 7);  // 187 grey: nearest (192, 192, 192)

    cPal8bpp empty;
    EXPECT_CERROR(BuildInverseColorMap(empty), ErrorNumber::Overflow);
}

TEST_F(Dither, RefusesSourcesItCannotRead) {
    cDIB eightBit, empty, target;
    ASSERT_TRUE(eightBit.Create(3, 3, 8));
    ASSERT_TRUE(target.Create(2, 2, 32));
    EXPECT_CERROR(DitherTo8bpp(eightBit, target), ErrorNumber::InvalidCall);
    EXPECT_CERROR(DitherTo8bpp(empty, target), ErrorNumber::InvalidCall);
    EXPECT_EQ(target.BPP(), 32);  // untouched

    cDIB source;
    MakeImage(source, 2, 2, [](int32_t, int32_t) { return Rgb{1, 2, 3}; });
    SetPaletteMode(2);
    EXPECT_CERROR(DitherTo8bpp(source, target), ErrorNumber::SubscriptOutOfRange);
    EXPECT_EQ(target.BPP(), 32);
}

TEST_F(Dither, PaletteModeBelongsToTheThread) {
    SetPaletteMode(1);
    int32_t seenElsewhere = -1;
    std::thread([&] { seenElsewhere = PaletteMode(); }).join();
    EXPECT_EQ(seenElsewhere, 0);
    EXPECT_EQ(PaletteMode(), 1);
}

TEST_F(Dither, ConcurrentConversionsGiveTheSequentialBytes) {
    cDIB a, b;
    MakeImage(a, 613, 411, [](int32_t x, int32_t y) {
        return Rgb{static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>((x * y) >> 6)};
    });
    MakeImage(b, 397, 523, [](int32_t x, int32_t y) {
        return Rgb{static_cast<uint8_t>(255 - y / 3), static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(x / 2)};
    });
    const auto convert = [](const cDIB& source, cDIB& target) {
        SetPaletteMode(1);
        DitherTo8bpp(source, target);
    };
    cDIB aAlone, bAlone;
    convert(a, aAlone);
    convert(b, bAlone);

    for (int round = 0; round < 3; ++round) {
        cDIB aTogether, bTogether;
        std::thread ta([&] { convert(a, aTogether); });
        std::thread tb([&] { convert(b, bTogether); });
        ta.join();
        tb.join();
        ASSERT_EQ(IndexRows(aTogether), IndexRows(aAlone));
        ASSERT_EQ(IndexRows(bTogether), IndexRows(bAlone));
        ASSERT_EQ(ColourTable(aTogether), ColourTable(aAlone));
        ASSERT_EQ(ColourTable(bTogether), ColourTable(bAlone));
    }
}

// The palette sample.

TEST(PaletteSample, SmallSourcesAreSampledAsTheyAre) {
    for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{{150, 150}, {100, 80}, {1, 1}}) {
        cDIB source, scratch;
        MakeImage(source, w, h, [](int32_t, int32_t) { return Rgb{}; });
        EXPECT_EQ(&PaletteSample(source, scratch), &source);
        EXPECT_EQ(scratch.hDIB(), 0u);
    }
}

TEST(PaletteSample, SizesOfShrunkAndThinSources) {
    const std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t>> cases{
        {300, 200, 150, 100}, {200, 300, 100, 150}, {151, 150, 150, 149},
        {1000, 3, 150, 1},    {3, 1000, 1, 150},    {100000, 1, 150, 1},
    };
    for (const auto& [w, h, sw, sh] : cases) {
        cDIB source, scratch;
        ASSERT_TRUE(source.Create(w, h, 32));
        const cDIB& sample = PaletteSample(source, scratch);
        EXPECT_EQ(&sample, &scratch);
        EXPECT_EQ(sample.Width(), sw) << w << " x " << h;
        EXPECT_EQ(sample.Height(), sh) << w << " x " << h;
        EXPECT_EQ(sample.BPP(), 32);
    }
}

TEST(PaletteSample, TakesTheCentrePixelOfEachCellCountingRowsFromTheTop) {
    // 300 x 200 -> 150 x 100: sample (dx, dy) is source (2dx + 1, 2dy + 1) in
    // picture coordinates (row 0 at the top, i.e. memory row height - 1).
    cDIB source, scratch;
    const int32_t w = 300, h = 200;
    MakeImage(source, w, h, [&](int32_t x, int32_t y) {
        const int32_t py = h - 1 - y;
        return Rgb{static_cast<uint8_t>(x % 256), static_cast<uint8_t>(x / 256), static_cast<uint8_t>(py)};
    });
    const cDIB& sample = PaletteSample(source, scratch);
    ASSERT_EQ(sample.Width(), 150);
    ASSERT_EQ(sample.Height(), 100);
    for (int32_t dy = 0; dy < 100; ++dy)
        for (int32_t dx = 0; dx < 150; ++dx) {
            const Rgb c = GetPixel(sample, dx, 100 - 1 - dy);
            ASSERT_EQ(c.R + 256 * c.G, 2 * dx + 1);
            ASSERT_EQ(c.B, 2 * dy + 1);
        }
}

TEST(PaletteSample, UnevenScaleUsesExactIntegerCentres) {
    // 1000 x 3 -> 150 x 1: column floor((2dx + 1) * 1000 / 300), the middle row.
    cDIB source, scratch;
    MakeImage(source, 1000, 3, [](int32_t x, int32_t y) {
        return Rgb{static_cast<uint8_t>(x % 256), static_cast<uint8_t>(x / 256), static_cast<uint8_t>(y)};
    });
    const cDIB& sample = PaletteSample(source, scratch);
    ASSERT_EQ(sample.Height(), 1);
    for (int32_t dx = 0; dx < 150; ++dx) {
        const Rgb c = GetPixel(sample, dx, 0);
        ASSERT_EQ(c.R + 256 * c.G, (2 * dx + 1) * 1000 / 300) << dx;
        ASSERT_EQ(c.B, 1);
    }
}

TEST(PaletteSample, SamePixelsAsACopyShrunkByResize) {
    for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
             {300, 200}, {457, 151}, {151, 457}, {1000, 250}, {160, 159}}) {
        cDIB source, scratch, copy;
        MakeImage(source, w, h, [](int32_t x, int32_t y) {
            return Rgb{static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>((x >> 8) + 4 * (y >> 8))};
        });
        source.CloneTo(copy);
        int32_t bfx = 0, bfy = 0, bfW = 0, bfH = 0;
        copy.GetBestFitInfo(150, 150, bfx, bfy, bfW, bfH, false);
        copy.Resize(bfW, bfH, true);

        const cDIB& sample = PaletteSample(source, scratch);
        ASSERT_EQ(sample.Width(), copy.Width());
        ASSERT_EQ(sample.Height(), copy.Height());
        for (int32_t y = 0; y < copy.Height(); ++y)
            for (int32_t x = 0; x < copy.Width(); ++x)
                ASSERT_EQ(GetPixel(sample, x, y), GetPixel(copy, x, y)) << w << " x " << h << " at " << x << ", " << y;
    }
}

TEST_F(Dither, ThinImagesConvert) {
    for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{{1000, 3}, {3, 1000}, {100000, 1}}) {
        cDIB source, target;
        MakeImage(source, w, h, [](int32_t, int32_t) { return Rgb{40, 80, 160}; });
        DitherTo8bpp(source, target);
        ASSERT_EQ(target.Width(), w);
        ASSERT_EQ(target.Height(), h);
        EXPECT_EQ(TableEntry(ColourTable(target), 0), (Rgb{40, 80, 160}));
        for (const auto& row : IndexRows(target))
            for (uint8_t i : row) ASSERT_EQ(i, 0);
    }
}

}  // namespace

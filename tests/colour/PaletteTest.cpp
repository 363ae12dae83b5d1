#include "TestImages.h"

#include "cError.h"
#include "cPal8bpp.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

constexpr auto kSubscript = ErrorNumber::SubscriptOutOfRange;
constexpr auto kOverflow = ErrorNumber::Overflow;

const std::vector<Rgb> kStandard16{
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0},
    {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
    {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

TEST(PaletteState, NewPaletteHasNoTableAndNoLogicalPalette) {
    cPal8bpp pal;
    EXPECT_EQ(pal.Entries(), 0);
    EXPECT_EQ(pal.hPal(), 0u);
    EXPECT_FALSE(pal.IsGreyScale());
    EXPECT_CERROR(pal.lpPalette(), kSubscript);
    EXPECT_CERROR(pal.rgbR(0), kSubscript);
    EXPECT_CERROR(pal.rgbB(3, 7), kSubscript);
    EXPECT_CERROR(pal.BuildLogicalPalette(), kSubscript);
    uint8_t index = 42, r = 1, g = 2, b = 3;
    EXPECT_CERROR(pal.ClosestIndex(1, 2, 3, index), kOverflow);
    EXPECT_CERROR(pal.ClosestColor(1, 2, 3, r, g, b), kSubscript);
    EXPECT_EQ(index, 42);
}

TEST(PaletteState, InitializeGivesZeroEntriesAndNoLogicalPalette) {
    cPal8bpp pal;
    pal.CreateEGA();
    pal.Initialize(5);
    EXPECT_EQ(pal.Entries(), 5);
    EXPECT_EQ(pal.hPal(), 0u);
    const uint8_t* block = pal.lpPalette();
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(block[i], 0) << i;
    uint8_t index = 0;
    EXPECT_CERROR(pal.ClosestIndex(0, 0, 0, index), kOverflow);
}

TEST(PaletteState, DestroyEmptiesEverything) {
    cPal8bpp pal;
    pal.CreateEGA();
    ASSERT_NE(pal.hPal(), 0u);
    pal.Destroy();
    EXPECT_EQ(pal.Entries(), 0);
    EXPECT_EQ(pal.hPal(), 0u);
    EXPECT_CERROR(pal.lpPalette(), kSubscript);
}

TEST(PaletteState, EntryBlockIsBlueGreenRedReserved) {
    cPal8bpp pal;
    pal.CreateEGA();
    const uint8_t* block = pal.lpPalette();
    // Entry 1 is (128, 0, 0), entry 11 (255, 255, 0).
    EXPECT_EQ(std::vector<uint8_t>(block + 4, block + 8), (std::vector<uint8_t>{0, 0, 128, 0}));
    EXPECT_EQ(std::vector<uint8_t>(block + 44, block + 48), (std::vector<uint8_t>{0, 255, 255, 0}));
    pal.rgbG(200, 77);
    EXPECT_EQ(block[4 * 200 + 1], 77);
    EXPECT_EQ(pal.rgbG(200), 77);
}

TEST(PaletteState, BuildingWithNoEntriesGivesNoLogicalPalette) {
    cPal8bpp pal;
    pal.Initialize(0);
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.hPal(), 0u);
    pal.Entries(300);  // more than the table holds: refused, not read past the block
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.hPal(), 0u);
}

TEST(IsGreyScale, DependsOnTheFirstEntriesOnly) {
    cPal8bpp pal;
    pal.Initialize(0);
    EXPECT_FALSE(pal.IsGreyScale());
    pal.CreateGreyScale(0);
    EXPECT_TRUE(pal.IsGreyScale());
    pal.CreateEGA();
    EXPECT_FALSE(pal.IsGreyScale());
    pal.CreateGreyScale(1);
    pal.rgbR(20, 99);  // beyond Entries
    EXPECT_TRUE(pal.IsGreyScale());
    pal.rgbB(15, 1);
    EXPECT_FALSE(pal.IsGreyScale());
}

TEST(GreyScale, RampsOfTwoSixteenAndAllLevels) {
    cPal8bpp pal;
    pal.CreateGreyScale(0);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{0, 0, 0}, {255, 255, 255}}));

    pal.CreateGreyScale(1);
    ASSERT_EQ(pal.Entries(), 16);
    for (int i = 0; i < 16; ++i) {
        const auto v = static_cast<uint8_t>(17 * i);
        EXPECT_EQ(Entry(pal, i), (Rgb{v, v, v}));
    }
    for (int i = 16; i < 256; ++i) ASSERT_EQ(Entry(pal, i), (Rgb{})) << i;

    pal.CreateGreyScale(2);
    ASSERT_EQ(pal.Entries(), 256);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        ASSERT_EQ(Entry(pal, i), (Rgb{v, v, v}));
    }
    EXPECT_NE(pal.hPal(), 0u);
    EXPECT_EQ(Closest(pal, 10, 20, 30), 20);
}

TEST(GreyScale, OtherLevelsFailAfterTheReset) {
    for (int32_t levels : {3, -1, 100}) {
        cPal8bpp pal;
        pal.CreateEGA();
        EXPECT_CERROR(pal.CreateGreyScale(levels), ErrorNumber::DivisionByZero);
        EXPECT_EQ(pal.Entries(), 0);
        EXPECT_EQ(pal.hPal(), 0u);
        EXPECT_EQ(Entry(pal, 1), (Rgb{}));  // reset, not the old colours
    }
}

TEST(EGA, TheSixteenStandardColours) {
    cPal8bpp pal;
    pal.CreateEGA();
    EXPECT_EQ(UsedEntries(pal), kStandard16);
    EXPECT_EQ(Entry(pal, 16), (Rgb{}));
}

TEST(Halftone, CornersOfTheTwoLevelCube) {
    cPal8bpp pal;
    pal.CreateHalftone(0);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
                                                  {0, 0, 255}, {255, 0, 255}, {0, 255, 255},
                                                  {255, 255, 255}}));
}

TEST(Halftone, EntryCountsAndChannelValues) {
    const std::vector<std::tuple<int32_t, int16_t, std::vector<uint8_t>>> cases{
        {0, 8, {0, 255}},
        {1, 27, {0, 128, 255}},
        {2, 64, {0, 85, 170, 255}},
        {3, 125, {0, 64, 128, 192, 255}},
        {4, 216, {0, 51, 102, 153, 204, 255}},
    };
    for (const auto& [levels, entries, values] : cases) {
        cPal8bpp pal;
        pal.CreateHalftone(levels);
        ASSERT_EQ(pal.Entries(), entries) << levels;
        const int n = static_cast<int>(values.size());
        for (int b = 0; b < n; ++b)
            for (int g = 0; g < n; ++g)
                for (int r = 0; r < n; ++r)
                    ASSERT_EQ(Entry(pal, r + n * g + n * n * b), (Rgb{values[r], values[g], values[b]}))
                        << "levels " << levels;
        for (int i = entries; i < 256; ++i) ASSERT_EQ(Entry(pal, i), (Rgb{}));
    }
}

TEST(Halftone, FourLevelSpotChecks) {
    cPal8bpp pal;
    pal.CreateHalftone(2);
    EXPECT_EQ(Entry(pal, 1), (Rgb{85, 0, 0}));
    EXPECT_EQ(Entry(pal, 4), (Rgb{0, 85, 0}));
    EXPECT_EQ(Entry(pal, 16), (Rgb{0, 0, 85}));
    EXPECT_EQ(Entry(pal, 63), (Rgb{255, 255, 255}));
}

TEST(Halftone, LevelsOutsideZeroToFourAreRefusedAfterTheReset) {
    for (int32_t levels : {5, -1}) {
        cPal8bpp pal;
        pal.CreateEGA();
        EXPECT_CERROR(pal.CreateHalftone(levels), kSubscript);
        EXPECT_EQ(pal.Entries(), 0);
        EXPECT_EQ(pal.hPal(), 0u);
    }
}

TEST(Websafe, LayoutOfTheTwoHundredFiftySixColours) {
    cPal8bpp pal;
    pal.CreateWebsafe();
    ASSERT_EQ(pal.Entries(), 256);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Entry(pal, i), kStandard16[i]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Entry(pal, 248 + i), kStandard16[8 + i]);
    EXPECT_EQ(Entry(pal, 8), (Rgb{51, 0, 0}));
    EXPECT_EQ(Entry(pal, 12), (Rgb{0, 51, 0}));
    EXPECT_EQ(Entry(pal, 215), (Rgb{204, 255, 255}));
    EXPECT_EQ(Entry(pal, 216), (Rgb{0, 0, 0}));
    for (int k = 1; k <= 31; ++k) {
        const auto v = static_cast<uint8_t>(8 * k);
        EXPECT_EQ(Entry(pal, 216 + k), (Rgb{v, v, v}));
    }
}

TEST(Websafe, CubeEntriesAreTheCubeWithoutTheStandardColours) {
    cPal8bpp pal;
    pal.CreateWebsafe();
    std::set<std::tuple<int, int, int>> cube;
    for (int i = 8; i <= 215; ++i) {
        const Rgb c = Entry(pal, i);
        for (uint8_t v : {c.R, c.G, c.B}) ASSERT_EQ(v % 51, 0) << "entry " << i;
        for (const Rgb& s : kStandard16) ASSERT_NE(c, s) << "entry " << i;
        cube.insert({c.R, c.G, c.B});
    }
    EXPECT_EQ(cube.size(), 208u);  // 208 distinct cube colours: 216 minus the 8 standard ones
}

TEST(ClosestIndex, RedAgainstTheFixedPalettes) {
    cPal8bpp pal;
    pal.CreateEGA();
    EXPECT_EQ(Closest(pal, 255, 0, 0), 9);
    EXPECT_EQ(Closest(pal, 0, 0, 255), 12);  // red and blue are not exchanged
    EXPECT_EQ(Closest(pal, 200, 190, 180), 7);
    pal.CreateHalftone(4);
    EXPECT_EQ(Closest(pal, 255, 0, 0), 5);
    EXPECT_EQ(Closest(pal, 0, 0, 255), 180);
}

TEST(ClosestIndex, TiesGoToTheLowestEntry) {
    cPal8bpp pal;
    pal.Initialize(3);
    pal.rgbR(0, 10);
    pal.rgbR(1, 2);  // entry 1 (2, 0, 0), entry 2 (0, 0, 0)
    pal.BuildLogicalPalette();
    EXPECT_EQ(Closest(pal, 1, 0, 0), 1);  // 1 away from both entry 1 and entry 2
    pal.rgbR(2, 2);
    pal.BuildLogicalPalette();
    EXPECT_EQ(Closest(pal, 2, 0, 0), 1);  // duplicate entries
    EXPECT_EQ(Closest(pal, 6, 0, 0), 0);  // 4 from entry 0 and from entry 1
}

TEST(ClosestIndex, LogicalPaletteIsStaleUntilRebuilt) {
    cPal8bpp pal;
    pal.CreateEGA();
    pal.rgbR(9, 0);
    pal.Entries(8);
    EXPECT_EQ(Closest(pal, 255, 0, 0), 9);
    uint8_t r = 0, g = 0, b = 0;
    pal.ClosestColor(255, 0, 0, r, g, b);  // the entry number of the old lookup, today's bytes
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{0, 0, 0}));

    pal.BuildLogicalPalette();  // now only entries 0..7 count
    EXPECT_EQ(Closest(pal, 255, 0, 0), 1);
    pal.ClosestColor(255, 0, 0, r, g, b);
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{128, 0, 0}));
}

}  // namespace

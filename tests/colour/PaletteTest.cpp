#include "TestImages.h"

#include <set>

namespace {

constexpr auto kSubscript = ErrorNumber::SubscriptOutOfRange;
constexpr auto kOverflow = ErrorNumber::Overflow;

const std::vector<Rgb> kStandard16{
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

// Every entry i: expected(i) for i < Entries, black beyond.
void ExpectEntries(const cPal8bpp& pal, int16_t entries, const std::function<Rgb(int)>& expected) {
    ASSERT_EQ(pal.Entries(), entries);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(Entry(pal, i), i < entries ? expected(i) : Rgb{}) << i;
}

TEST(PaletteState, NewOrDestroyedPaletteHasNothingToRead) {
    cPal8bpp fresh, destroyed;
    destroyed.CreateEGA();
    destroyed.Destroy();
    for (cPal8bpp* pal : {&fresh, &destroyed}) {
        EXPECT_EQ(pal->Entries(), 0);
        EXPECT_EQ(pal->hPal(), 0u);
        EXPECT_FALSE(pal->IsGreyScale());
        EXPECT_CERROR(pal->lpPalette(), kSubscript);
        EXPECT_CERROR(pal->rgbR(0), kSubscript);
        EXPECT_CERROR(pal->rgbB(3, 7), kSubscript);
        EXPECT_CERROR(pal->BuildLogicalPalette(), kSubscript);
        uint8_t index = 42, r = 1, g = 2, b = 3;
        EXPECT_CERROR(pal->ClosestIndex(1, 2, 3, index), kOverflow);
        EXPECT_CERROR(pal->ClosestColor(1, 2, 3, r, g, b), kSubscript);
        EXPECT_EQ(index, 42);
    }
}

TEST(PaletteState, EntryBlockIsBlueGreenRedReservedAndInitializeZeroesIt) {
    cPal8bpp pal;
    pal.CreateEGA();
    const uint8_t* block = pal.lpPalette();
    EXPECT_EQ(std::vector<uint8_t>(block + 4, block + 8), (std::vector<uint8_t>{0, 0, 128, 0}));
    EXPECT_EQ(std::vector<uint8_t>(block + 44, block + 48), (std::vector<uint8_t>{0, 255, 255, 0}));
    pal.rgbG(200, 77);
    EXPECT_EQ(block[4 * 200 + 1], 77);

    pal.Initialize(5);
    EXPECT_EQ(pal.Entries(), 5);
    EXPECT_EQ(pal.hPal(), 0u);
    EXPECT_EQ(std::vector<uint8_t>(pal.lpPalette(), pal.lpPalette() + 1024),
              std::vector<uint8_t>(1024));
    uint8_t index = 0;
    EXPECT_CERROR(pal.ClosestIndex(0, 0, 0, index), kOverflow);
    pal.Entries(0);
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.hPal(), 0u);
    pal.Entries(300);  // more than the block holds: refused, never read past it
    pal.BuildLogicalPalette();
    EXPECT_EQ(pal.hPal(), 0u);
}

TEST(PaletteState, IsGreyScaleLooksAtTheUsedEntriesOnly) {
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

TEST(FixedPalettes, GreyRamps) {
    // (10, 20, 30) is nearest to 0, to 17 and to 20 in the three ramps.
    for (const auto& [levels, entries, step, near] :
         {std::tuple{0, 2, 255, 0}, {1, 16, 17, 1}, {2, 256, 1, 20}}) {
        SCOPED_TRACE(levels);
        cPal8bpp pal;
        pal.CreateGreyScale(levels);
        ExpectEntries(pal, int16_t(entries), [step = step](int i) { return Grey(i * step); });
        EXPECT_EQ(Closest(pal, 10, 20, 30), near);
    }
}

TEST(FixedPalettes, EGAAndHalftoneCubes) {
    cPal8bpp pal;
    pal.CreateEGA();
    ExpectEntries(pal, 16, [](int i) { return kStandard16[i]; });

    // Entry r + n g + n^2 b is (value r, value g, value b), blue outermost.
    const std::vector<std::vector<uint8_t>> values{{0, 255},
                                                   {0, 128, 255},
                                                   {0, 85, 170, 255},
                                                   {0, 64, 128, 192, 255},
                                                   {0, 51, 102, 153, 204, 255}};
    for (int levels = 0; levels <= 4; ++levels) {
        SCOPED_TRACE(levels);
        const auto& v = values[levels];
        const int n = int(v.size());
        pal.CreateHalftone(levels);
        ExpectEntries(pal, int16_t(n * n * n), [&](int i) {
            return Rgb{v[i % n], v[i / n % n], v[i / n / n]};
        });
    }
}

TEST(FixedPalettes, WebsafeLayout) {
    cPal8bpp pal;
    pal.CreateWebsafe();
    ASSERT_EQ(pal.Entries(), 256);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Entry(pal, i), kStandard16[i]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Entry(pal, 248 + i), kStandard16[8 + i]);
    EXPECT_EQ(Entry(pal, 8), (Rgb{51, 0, 0}));
    EXPECT_EQ(Entry(pal, 12), (Rgb{0, 51, 0}));
    EXPECT_EQ(Entry(pal, 215), (Rgb{204, 255, 255}));
    EXPECT_EQ(Entry(pal, 216), (Rgb{}));
    for (int k = 1; k <= 31; ++k) EXPECT_EQ(Entry(pal, 216 + k), Grey(8 * k));

    // 8..215: 208 distinct cube colours, none of them a standard colour.
    std::set<std::tuple<int, int, int>> cube;
    for (int i = 8; i <= 215; ++i) {
        const Rgb c = Entry(pal, i);
        ASSERT_TRUE(c.R % 51 == 0 && c.G % 51 == 0 && c.B % 51 == 0) << i;
        for (const Rgb& s : kStandard16) ASSERT_NE(c, s) << i;
        cube.insert({c.R, c.G, c.B});
    }
    EXPECT_EQ(cube.size(), 208u);
}

TEST(FixedPalettes, InvalidLevelsFailAfterTheReset) {
    const std::vector<std::tuple<bool, int32_t, ErrorNumber>> cases{
        {true, 3, ErrorNumber::DivisionByZero},
        {true, -1, ErrorNumber::DivisionByZero},
        {true, 100, ErrorNumber::DivisionByZero},
        {false, 5, kSubscript},
        {false, -1, kSubscript}};
    for (const auto& [grey, levels, error] : cases) {
        SCOPED_TRACE(levels);
        cPal8bpp pal;
        pal.CreateEGA();
        EXPECT_CERROR(grey ? pal.CreateGreyScale(levels) : pal.CreateHalftone(levels), error);
        EXPECT_EQ(pal.Entries(), 0);
        EXPECT_EQ(pal.hPal(), 0u);
        EXPECT_EQ(Entry(pal, 1), (Rgb{}));
    }
}

TEST(ClosestIndex, NearestEntryOfTheFixedPalettes) {
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
    pal.rgbR(1, 2);  // entries (10, 0, 0), (2, 0, 0), (0, 0, 0)
    pal.BuildLogicalPalette();
    EXPECT_EQ(Closest(pal, 1, 0, 0), 1);
    EXPECT_EQ(Closest(pal, 6, 0, 0), 0);
    pal.rgbR(2, 2);
    pal.BuildLogicalPalette();
    EXPECT_EQ(Closest(pal, 2, 0, 0), 1);
}

TEST(ClosestIndex, LogicalPaletteIsStaleUntilRebuilt) {
    cPal8bpp pal;
    pal.CreateEGA();
    pal.rgbR(9, 0);
    pal.Entries(8);
    uint8_t r = 1, g = 1, b = 1;
    EXPECT_EQ(Closest(pal, 255, 0, 0), 9);
    pal.ClosestColor(255, 0, 0, r, g, b);  // the old lookup's entry number, today's bytes
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{0, 0, 0}));

    pal.BuildLogicalPalette();
    EXPECT_EQ(Closest(pal, 255, 0, 0), 1);
    pal.ClosestColor(255, 0, 0, r, g, b);
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{128, 0, 0}));
}

}  // namespace

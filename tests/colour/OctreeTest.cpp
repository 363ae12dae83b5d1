#include "TestImages.h"

#include "Octree.h"

#include <algorithm>

namespace {

constexpr auto kSubscript = ErrorNumber::SubscriptOutOfRange;

struct OptimalCase {
    const char* What;
    std::vector<Rgb> Row;
    int32_t nColors, nLevels;
    float RWeight;
    std::vector<Rgb> Expected;
};

const std::vector<Rgb> kCorners{{10, 10, 10},  {240, 10, 10},  {10, 240, 10},  {240, 240, 10},
                                {10, 10, 240}, {240, 10, 240}, {10, 240, 240}, {240, 240, 240}};

const OptimalCase kOptimalCases[] = {
    {"entries in order of first appearance",
     {{10, 20, 30}, {200, 100, 50}},
     256,
     8,
     1,
     {{10, 20, 30}, {200, 100, 50}}},
    {"near colours keep their own leaves",
     {{10, 20, 30}, {200, 100, 50}, {11, 20, 30}},
     256,
     8,
     1,
     {{10, 20, 30}, {200, 100, 50}, {11, 20, 30}}},
    {"deepest last-listed node merged",
     {{10, 20, 30}, {200, 100, 50}, {12, 20, 30}},
     2,
     8,
     1,
     {{11, 20, 30}, {200, 100, 50}}},
    // 0 and 1 share a leaf (0.5 rounds to 0); 254 and 255 do not.
    {"finest boxes not all one value wide",
     {{0, 0, 0}, {255, 255, 255}, {1, 0, 0}, {254, 255, 255}},
     256,
     8,
     1,
     {{0, 0, 0}, {255, 255, 255}, {254, 255, 255}}},
    {"merged 2.5 rounds to 2", {{0, 0, 0}, {5, 0, 0}}, 1, 8, 1, {{2, 0, 0}}},
    {"merged 3.5 rounds to 4", {{0, 0, 0}, {7, 0, 0}}, 1, 8, 1, {{4, 0, 0}}},
    // The root's children cannot merge; the order follows the reuse of released node numbers.
    {"root children never merged",
     kCorners,
     4,
     8,
     1,
     {{10, 10, 10},
      {240, 10, 240},
      {240, 10, 10},
      {10, 240, 240},
      {10, 240, 10},
      {240, 240, 240},
      {240, 240, 10},
      {10, 10, 240}}},
    {"midpoint 128 goes to the lower half", {{0, 0, 0}, {128, 0, 0}}, 256, 1, 1, {{64, 0, 0}}},
    {"129 goes to the upper half", {{0, 0, 0}, {129, 0, 0}}, 256, 1, 1, {{0, 0, 0}, {129, 0, 0}}},
    {"weight 0 puts every red low", {{0, 0, 0}, {255, 0, 0}}, 256, 8, 0, {{128, 0, 0}}},
    {"weight 1.5 lifts 100 above 128",
     {{0, 0, 0}, {100, 0, 0}},
     256,
     1,
     1.5f,
     {{0, 0, 0}, {100, 0, 0}}},
    {"weight 1 leaves 100 below 128", {{0, 0, 0}, {100, 0, 0}}, 256, 1, 1, {{50, 0, 0}}},
};

TEST(Optimal, EntryOrderAndAveragesOfSmallRows) {
    for (const OptimalCase& c : kOptimalCases) {
        SCOPED_TRACE(c.What);
        cDIB dib;
        MakeRow(dib, c.Row);
        cPal8bpp pal;
        pal.CreateOptimal(dib, c.nColors, c.nLevels, c.RWeight, 1, 1);
        EXPECT_EQ(UsedEntries(pal), c.Expected);
        EXPECT_NE(pal.hPal(), 0u);
        for (int i = pal.Entries(); i < 256; ++i) ASSERT_EQ(Entry(pal, i), Rgb{}) << i;
    }
}

TEST(Optimal, EachRunStartsAFreshTreeAndScansBottomRowFirst) {
    cDIB plain, twoRows;
    MakeImage(plain, 7, 5, [](int32_t, int32_t) { return Rgb{33, 66, 99}; });
    MakeImage(twoRows, 1, 2, [](int32_t, int32_t y) {
        return y == 0 ? Rgb{1, 2, 250} : Rgb{250, 2, 1};
    });
    cPal8bpp pal;
    pal.CreateOptimal(plain, 256, 8, 1, 1, 1);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{33, 66, 99}}));
    EXPECT_EQ(Closest(pal, 255, 255, 255), 0);
    pal.CreateOptimal(twoRows, 256, 8, 1, 1, 1);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{1, 2, 250}, {250, 2, 1}}));
}

TEST(Optimal, ManyColoursStayWithinNColors) {
    cDIB dib;
    MakeImage(dib, 64, 64, [](int x, int y) {
        return Rgb{uint8_t(4 * x), uint8_t(4 * y), uint8_t(x ^ y)};
    });
    for (int32_t nColors : {256, 17, 1}) {
        cPal8bpp pal;
        pal.CreateOptimal(dib, nColors, 8, 1, 1, 1);
        EXPECT_GE(pal.Entries(), 1);
        EXPECT_LE(pal.Entries(), std::max(nColors, 8)) << nColors;
    }
}

TEST(Optimal, ImagesNotOf32BitsLeaveThePaletteAlone) {
    cDIB eightBit, empty;
    ASSERT_TRUE(eightBit.Create(4, 4, 8));
    cPal8bpp pal;
    pal.CreateEGA();
    const uintptr_t before = pal.hPal();
    for (const cDIB* dib : {&eightBit, &empty}) {
        pal.CreateOptimal(*dib, 256, 8, 1, 1, 1);
        EXPECT_EQ(pal.Entries(), 16);
        EXPECT_EQ(pal.hPal(), before);
        EXPECT_EQ(Entry(pal, 9), (Rgb{255, 0, 0}));
    }
}

TEST(Optimal, RefusesLevelsOutsideOneToEightAndMoreThan256Leaves) {
    cDIB two, wide;
    MakeRow(two, {{0, 0, 0}, {255, 255, 255}});
    cPal8bpp pal;
    EXPECT_CERROR(pal.CreateOptimal(two, 256, 0, 1, 1, 1), kSubscript);
    EXPECT_CERROR(pal.CreateOptimal(two, 256, 10, 1, 1, 1), kSubscript);
    EXPECT_CERROR(pal.CreateOptimal(two, 256, 256, 1, 1, 1), ErrorNumber::Overflow);
    EXPECT_CERROR(pal.CreateOptimal(two, 256, -1, 1, 1, 1), ErrorNumber::Overflow);
    // Nine levels file pixels fine; only the first reduction touches list 9.
    pal.CreateOptimal(two, 256, 9, 1, 1, 1);
    EXPECT_EQ(pal.Entries(), 2);
    EXPECT_CERROR(pal.CreateOptimal(two, 1, 9, 1, 1, 1), kSubscript);

    MakeImage(wide, 300, 1, [](int x, int) { return Rgb{uint8_t(x), uint8_t(x / 256 * 100), 0}; });
    EXPECT_CERROR(pal.CreateOptimal(wide, 1000, 8, 1, 1, 1), kSubscript);
}

// Forty colours apart in every level need some 300 nodes, far more than the
// tree starts with: none is lost or mixed up on the way.
TEST(Optimal, ATreeOutgrowingItsFirstTableKeepsEveryColourInOrder) {
    std::vector<Rgb> row;
    for (int i = 0; i < 40; ++i)
        row.push_back({uint8_t(i * 37 % 256), uint8_t(i * 91 % 256), uint8_t(255 - i * 6)});
    cDIB dib;
    MakeRow(dib, row);
    cPal8bpp pal;
    pal.CreateOptimal(dib, 256, 8, 1, 1, 1);
    EXPECT_EQ(UsedEntries(pal), row);
}

}  // namespace

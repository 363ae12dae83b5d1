#include "TestImages.h"

#include "Octree.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr auto kSubscript = ErrorNumber::SubscriptOutOfRange;

std::vector<Rgb> OptimalFromRow(const std::vector<Rgb>& row, int32_t nColors = 256, int32_t nLevels = 8,
                                float rw = 1.0f, float gw = 1.0f, float bw = 1.0f) {
    cDIB dib;
    MakeRow(dib, row);
    cPal8bpp pal;
    pal.CreateOptimal(dib, nColors, nLevels, rw, gw, bw);
    EXPECT_NE(pal.hPal(), 0u);
    for (int i = pal.Entries(); i < 256; ++i) EXPECT_EQ(Entry(pal, i), (Rgb{})) << i;
    return UsedEntries(pal);
}

TEST(Optimal, OneColourGivesOneEntry) {
    cDIB dib;
    MakeImage(dib, 7, 5, [](int32_t, int32_t) { return Rgb{33, 66, 99}; });
    cPal8bpp pal;
    pal.CreateOptimal(dib, 256, 8, 1, 1, 1);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{33, 66, 99}}));
    EXPECT_EQ(Closest(pal, 255, 255, 255), 0);
}

TEST(Optimal, EntriesFollowTheFirstAppearance) {
    EXPECT_EQ(OptimalFromRow({{10, 20, 30}, {200, 100, 50}}),
              (std::vector<Rgb>{{10, 20, 30}, {200, 100, 50}}));
    EXPECT_EQ(OptimalFromRow({{10, 20, 30}, {200, 100, 50}, {11, 20, 30}}),
              (std::vector<Rgb>{{10, 20, 30}, {200, 100, 50}, {11, 20, 30}}));
}

TEST(Optimal, ReductionMergesTheDeepestLastListedNode) {
    // (10, 20, 30) and (12, 20, 30) merge into their average at the third pixel.
    EXPECT_EQ(OptimalFromRow({{10, 20, 30}, {200, 100, 50}, {12, 20, 30}}, 2),
              (std::vector<Rgb>{{11, 20, 30}, {200, 100, 50}}));
}

TEST(Optimal, FinestBoxesAreNotAllOneValueWide) {
    // 0 and 1 share a leaf (average 0.5 rounds to 0); 254 and 255 do not.
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {255, 255, 255}, {1, 0, 0}, {254, 255, 255}}),
              (std::vector<Rgb>{{0, 0, 0}, {255, 255, 255}, {254, 255, 255}}));
}

TEST(Optimal, MergedAveragesRoundHalfToEven) {
    // One colour allowed: the two leaves collapse into their common ancestor.
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {5, 0, 0}}, 1), (std::vector<Rgb>{{2, 0, 0}}));
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {7, 0, 0}}, 1), (std::vector<Rgb>{{4, 0, 0}}));
}

TEST(Optimal, RootChildrenAreNeverMergedAndReleasedNumbersAreReused) {
    const std::vector<Rgb> corners{{10, 10, 10},  {240, 10, 10},  {10, 240, 10},  {240, 240, 10},
                                   {10, 10, 240}, {240, 10, 240}, {10, 240, 240}, {240, 240, 240}};
    EXPECT_EQ(OptimalFromRow(corners, 4),
              (std::vector<Rgb>{{10, 10, 10}, {240, 10, 240}, {240, 10, 10}, {10, 240, 240},
                                {10, 240, 10}, {240, 240, 240}, {240, 240, 10}, {10, 10, 240}}));
}

TEST(Optimal, ValueAtTheMidpointGoesToTheLowerHalf) {
    // One level: the root's children only; 128 lies in the lower half of 0..255.
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {128, 0, 0}}, 256, 1), (std::vector<Rgb>{{64, 0, 0}}));
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {129, 0, 0}}, 256, 1),
              (std::vector<Rgb>{{0, 0, 0}, {129, 0, 0}}));
}

TEST(Optimal, WeightsScaleThePixelValue) {
    // With red weighted 0 every red goes to the lower half, so the two share a leaf.
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {255, 0, 0}}, 256, 8, 0.0f), (std::vector<Rgb>{{128, 0, 0}}));
    // 100 x 1.5 = 150 lies above 128; 100 alone does not.
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {100, 0, 0}}, 256, 1, 1.5f),
              (std::vector<Rgb>{{0, 0, 0}, {100, 0, 0}}));
    EXPECT_EQ(OptimalFromRow({{0, 0, 0}, {100, 0, 0}}, 256, 1), (std::vector<Rgb>{{50, 0, 0}}));
}

TEST(Optimal, ScansMemoryRowsBottomFirst) {
    cDIB dib;
    // Memory row 0 (the bottom of the picture) holds the second colour of the top row.
    MakeImage(dib, 1, 2, [](int32_t, int32_t y) { return y == 0 ? Rgb{1, 2, 250} : Rgb{250, 2, 1}; });
    cPal8bpp pal;
    pal.CreateOptimal(dib, 256, 8, 1, 1, 1);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{1, 2, 250}, {250, 2, 1}}));
}

TEST(Optimal, ManyColoursStayWithinNColors) {
    cDIB dib;
    MakeImage(dib, 64, 64, [](int32_t x, int32_t y) {
        return Rgb{static_cast<uint8_t>(4 * x), static_cast<uint8_t>(4 * y), static_cast<uint8_t>(x ^ y)};
    });
    for (int32_t nColors : {256, 17, 1}) {
        cPal8bpp pal;
        pal.CreateOptimal(dib, nColors, 8, 1, 1, 1);
        EXPECT_GE(pal.Entries(), 1);
        EXPECT_LE(pal.Entries(), std::max(nColors, 8)) << nColors;
    }
}

TEST(Optimal, NonThirtyTwoBitImageLeavesThePaletteAlone) {
    cDIB dib;
    ASSERT_TRUE(dib.Create(4, 4, 8));
    cPal8bpp pal;
    pal.CreateEGA();
    const uintptr_t before = pal.hPal();
    pal.CreateOptimal(dib, 256, 8, 1, 1, 1);
    EXPECT_EQ(pal.Entries(), 16);
    EXPECT_EQ(pal.hPal(), before);
    EXPECT_EQ(Entry(pal, 9), (Rgb{255, 0, 0}));

    cDIB empty;
    pal.CreateOptimal(empty, 256, 8, 1, 1, 1);
    EXPECT_EQ(pal.Entries(), 16);
}

TEST(Optimal, SecondRunStartsAFreshTree) {
    cDIB first, second;
    MakeRow(first, {{1, 2, 3}, {200, 200, 200}, {90, 10, 160}});
    MakeRow(second, {{77, 77, 77}});
    cPal8bpp pal;
    pal.CreateOptimal(first, 256, 8, 1, 1, 1);
    ASSERT_EQ(pal.Entries(), 3);
    pal.CreateOptimal(second, 256, 8, 1, 1, 1);
    EXPECT_EQ(UsedEntries(pal), (std::vector<Rgb>{{77, 77, 77}}));
}

TEST(Optimal, LevelsOutsideOneToEightAreRefused) {
    cDIB two;
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
}

TEST(Optimal, MoreThan256LeavesAreRefused) {
    cDIB dib;
    MakeImage(dib, 300, 1, [](int32_t x, int32_t) {
        return Rgb{static_cast<uint8_t>(x % 256), static_cast<uint8_t>(x / 256 * 100), 0};
    });
    cPal8bpp pal;
    EXPECT_CERROR(pal.CreateOptimal(dib, 1000, 8, 1, 1, 1), kSubscript);
}

TEST(OctreeNodes, TableGrowsByTenPercentRoundedToEven) {
    OctreeState tree;
    tree.Reset(8, 1, 1, 1);
    EXPECT_EQ(tree.LastNodeNumber(), 50);
    EXPECT_EQ(tree.NodeCount, 1);
    for (int32_t expected = 2; expected <= 50; ++expected) ASSERT_EQ(tree.AllocateNode(), expected);
    EXPECT_EQ(tree.LastNodeNumber(), 50);
    EXPECT_EQ(tree.AllocateNode(), 51);
    EXPECT_EQ(tree.LastNodeNumber(), 56);  // round(56.1)
    for (int32_t expected = 52; expected <= 57; ++expected) ASSERT_EQ(tree.AllocateNode(), expected);
    EXPECT_EQ(tree.LastNodeNumber(), 63);  // round(62.7)
    EXPECT_EQ(tree.NodeCount, 57);
}

TEST(OctreeNodes, ReleasedNodesAreReusedLastReleasedFirst) {
    OctreeState tree;
    tree.Reset(8, 1, 1, 1);
    for (int i = 0; i < 9; ++i) tree.AllocateNode();  // nodes 2..10
    tree.Node(5).Children[3] = 42;
    tree.Node(5).IsLeaf = true;
    tree.Node(5).IsListed = true;
    tree.ReleaseNode(5);
    tree.ReleaseNode(7);
    EXPECT_EQ(tree.NodeCount, 8);
    EXPECT_FALSE(tree.Node(5).IsLeaf);
    EXPECT_FALSE(tree.Node(5).IsListed);
    EXPECT_EQ(tree.AllocateNode(), 7);
    EXPECT_EQ(tree.AllocateNode(), 5);
    EXPECT_EQ(tree.Node(5).Children[3], 0);
    EXPECT_EQ(tree.AllocateNode(), 11);
    EXPECT_EQ(tree.NodeCount, 11);
}

TEST(OctreeNodes, ListsAndNodesAreBoundsChecked) {
    OctreeState tree;
    tree.Reset(8, 1, 1, 1);
    EXPECT_CERROR(tree.ReducibleList(0), kSubscript);
    EXPECT_CERROR(tree.ReducibleList(9), kSubscript);
    EXPECT_EQ(tree.ReducibleList(8), 0);
    EXPECT_CERROR(tree.Node(0), kSubscript);
    EXPECT_CERROR(tree.Node(51), kSubscript);
    EXPECT_FALSE(tree.ReduceTree());  // nothing listed
}

}  // namespace

#include "TestImages.h"

#include "cError.h"
#include "mDither8bpp.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace mDither8bpp;

class DitherTables : public ::testing::Test {
protected:
    void SetUp() override { InitDitherTables(); }

    // Threshold at memory pixel (x, y).
    static int32_t T(int32_t x, int32_t y) { return DitherMatrix16()[(y % 4) * 4 + x % 4]; }
    static int32_t M(int32_t x, int32_t y) { return DitherMatrix51()[(y % 4) * 4 + x % 4]; }
};

TEST_F(DitherTables, Matrices) {
    const std::vector<int32_t> m16{1, 9, 3, 11, 13, 5, 15, 7, 4, 12, 2, 10, 16, 8, 14, 6};
    const std::vector<int32_t> m51{3, 29, 10, 35, 41, 16, 48, 22, 13, 38, 6, 32, 51, 26, 45, 19};
    EXPECT_EQ(std::vector<int32_t>(DitherMatrix16(), DitherMatrix16() + 16), m16);
    EXPECT_EQ(std::vector<int32_t>(DitherMatrix51(), DitherMatrix51() + 16), m51);
}

TEST_F(DitherTables, LevelTablesRoundAndClamp) {
    EXPECT_EQ(Level16Table(-8), 0);
    EXPECT_EQ(Level16Table(8), 0);    // 0.47
    EXPECT_EQ(Level16Table(9), 1);    // 0.53
    EXPECT_EQ(Level16Table(246), 14); // 14.47
    EXPECT_EQ(Level16Table(247), 15); // 14.53
    EXPECT_EQ(Level16Table(262), 15); // 15.41
    EXPECT_EQ(Level6Table(-51), 0);
    EXPECT_EQ(Level6Table(25), 0);
    EXPECT_EQ(Level6Table(26), 1);
    EXPECT_EQ(Level6Table(280), 5);   // 5.49
    EXPECT_CERROR(Level16Table(-9), ErrorNumber::SubscriptOutOfRange);
    EXPECT_CERROR(Level16Table(263), ErrorNumber::SubscriptOutOfRange);
    EXPECT_CERROR(Level6Table(-52), ErrorNumber::SubscriptOutOfRange);
    EXPECT_CERROR(Level6Table(281), ErrorNumber::SubscriptOutOfRange);
}

TEST_F(DitherTables, SecondInitialisationChangesNothing) {
    const std::vector<int32_t> before(DitherMatrix51(), DitherMatrix51() + 16);
    InitDitherTables();
    EXPECT_EQ(std::vector<int32_t>(DitherMatrix51(), DitherMatrix51() + 16), before);
    EXPECT_EQ(Level16Table(136), 8);
}

TEST_F(DitherTables, WhiteAndBlackAreTheExtremeLevelsEverywhere) {
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(Level16Table(255 + 8 - T(x, y)), 15);
            EXPECT_EQ(Level16Table(0 + 8 - T(x, y)), 0);
            EXPECT_EQ(Level6Table(255 + 26 - M(x, y)), 5);
            EXPECT_EQ(Level6Table(0 + 26 - M(x, y)), 0);
        }
}

TEST_F(DitherTables, ValueEightReachesLevelOneAtSevenPositions) {
    std::vector<std::pair<int32_t, int32_t>> levelOne;
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            const int32_t level = Level16Table(8 + 8 - T(x, y));
            ASSERT_TRUE(level == 0 || level == 1);
            if (level == 1) levelOne.emplace_back(x, y);
        }
    EXPECT_EQ(levelOne, (std::vector<std::pair<int32_t, int32_t>>{
                            {0, 0}, {2, 0}, {1, 1}, {3, 1}, {0, 2}, {2, 2}, {3, 3}}));
}

TEST_F(DitherTables, MidGreySplitsThePositionsInHalf) {
    int eights = 0;
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            const int32_t t = T(x, y);
            EXPECT_EQ(Level16Table(128 + 8 - t), t <= 8 ? 8 : 7) << "t " << t;
            eights += t <= 8;
        }
    EXPECT_EQ(eights, 8);
}

}  // namespace

#include "TestImages.h"

#include "PaletteSample.h"

namespace {

using mDither8bpp::PaletteSample;

// Each pixel holds its picture coordinates (row 0 at the top), both below 4096.
void MakeCoordinateImage(cDIB& dib, int32_t w, int32_t h) {
    MakeImage(dib, w, h, [&](int32_t x, int32_t y) {
        const int32_t py = h - 1 - y;
        return Rgb{uint8_t(x % 256), uint8_t(py % 256), uint8_t(x / 256 + 16 * (py / 256))};
    });
}

std::pair<int32_t, int32_t> Coordinates(const Rgb& c) {
    return {c.R + 256 * (c.B % 16), c.G + 256 * (c.B / 16)};
}

TEST(PaletteSample, SizesOfTheSample) {
    // {w, h, sample w, sample h}; sources within 150 x 150 are their own sample.
    const std::vector<std::array<int32_t, 4>> cases{
        {150, 150, 150, 150}, {100, 80, 100, 80},   {1, 1, 1, 1},
        {300, 200, 150, 100}, {200, 300, 100, 150}, {151, 150, 150, 149},
        {1000, 3, 150, 1},    {3, 1000, 1, 150},    {100000, 1, 150, 1}};
    for (const auto& [w, h, sw, sh] : cases) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        cDIB source, scratch;
        ASSERT_TRUE(source.Create(w, h, 32));
        const cDIB& sample = PaletteSample(source, scratch);
        const bool fits = w <= 150 && h <= 150;
        EXPECT_EQ(&sample, fits ? &source : &scratch);
        EXPECT_EQ(scratch.hDIB() == 0, fits);
        EXPECT_EQ(sample.Width(), sw);
        EXPECT_EQ(sample.Height(), sh);
        EXPECT_EQ(sample.BPP(), 32);
    }
}

// Sample (dx, dy) of dW x dH is source (floor((2dx + 1) w / 2dW), floor((2dy + 1) h / 2dH)),
// the pixels of a copy shrunk by cDIB::Resize.
TEST(PaletteSample, TakesTheCentreOfEachCellCountingRowsFromTheTop) {
    for (const auto& [w, h] :
         {std::pair{300, 200}, {1000, 3}, {457, 151}, {151, 457}, {1000, 250}, {160, 159}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        cDIB source, scratch, copy;
        MakeCoordinateImage(source, w, h);
        const cDIB& sample = PaletteSample(source, scratch);
        const int32_t dW = sample.Width(), dH = sample.Height();
        for (int32_t dy = 0; dy < dH; ++dy)
            for (int32_t dx = 0; dx < dW; ++dx)
                ASSERT_EQ(Coordinates(GetPixel(sample, dx, dH - 1 - dy)),
                          std::pair((2 * dx + 1) * w / (2 * dW), (2 * dy + 1) * h / (2 * dH)))
                    << dx << ", " << dy;

        source.CloneTo(copy);
        int32_t bfx = 0, bfy = 0, bfW = 0, bfH = 0;
        copy.GetBestFitInfo(150, 150, bfx, bfy, bfW, bfH, false);
        if (bfH == 0) continue;  // too thin for Resize; the sample keeps a side of 1
        copy.Resize(bfW, bfH, true);
        ASSERT_EQ(std::pair(copy.Width(), copy.Height()), std::pair(dW, dH));
        for (int32_t y = 0; y < dH; ++y)
            for (int32_t x = 0; x < dW; ++x)
                ASSERT_EQ(GetPixel(sample, x, y), GetPixel(copy, x, y)) << x << ", " << y;
    }
}

}  // namespace

#include "PaletteRefine.h"

#include "BandPool.h"
#include "NearestMap.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace mDither8bpp::detail {
namespace {

constexpr int64_t kGridPixels = int64_t{1} << 18;

// Per entry: the sums of the grid pixels nearest to it, and their count.
struct Sums {
    std::array<uint64_t, 256> R{}, G{}, B{}, N{};
};

int32_t GridStep(int32_t width, int32_t height) {
    const double pixels = double(width) * double(height);
    return std::max(1, static_cast<int32_t>(std::ceil(std::sqrt(pixels / double(kGridPixels)))));
}

// The grid's pixels side by side, row after row: the steps read them again
// and again, and in a picture of many megapixels every one of them would
// otherwise be a cache line of its own, fetched from memory at every step.
struct Grid {
    int32_t Width = 0, Rows = 0;
    std::vector<uint32_t> Pixels;  // Blue, Green, Red, unused
};

Grid GridPixels(int32_t width, int32_t height, const PictureRows& rows) {
    const int32_t step = GridStep(width, height);
    Grid grid;
    grid.Width = (width + step - 1) / step;
    grid.Rows = (height + step - 1) / step;
    grid.Pixels.resize(size_t(grid.Width) * size_t(grid.Rows));
    std::vector<uint8_t> row(4 * size_t(width));
    for (int32_t y = 0; y < grid.Rows; ++y) {
        rows(y * step, 1, row.data());
        const uint8_t* s = row.data();
        uint32_t* g = grid.Pixels.data() + size_t(y) * size_t(grid.Width);
        for (int32_t x = 0; x < width; x += step, s += 4 * step) std::memcpy(g++, s, 4);
    }
    return grid;
}

Sums GridSums(const cNearestMap& nearest, const Grid& grid) {
    Sums total;
    std::mutex merging;
    parallel::ForEachBand(grid.Rows, grid.Width, [&](int32_t first, int32_t count) {
        // Neighbours often share an entry: two sets of sums, taken in turn,
        // keep each addition from waiting for the one before.
        Sums band[2];
        const auto* s = reinterpret_cast<const uint8_t*>(grid.Pixels.data() +
                                                         size_t(first) * size_t(grid.Width));
        const size_t pixels = size_t(count) * size_t(grid.Width);
        for (size_t i = 0; i < pixels; ++i, s += 4) {
            const uint8_t entry = nearest.Nearest(s[2], s[1], s[0]);
            Sums& sums = band[i & 1];
            sums.R[entry] += s[2];
            sums.G[entry] += s[1];
            sums.B[entry] += s[0];
            ++sums.N[entry];
        }
        // Whole numbers: the total is the same in any order of bands.
        const std::lock_guard lock(merging);
        for (const Sums& sums : band)
            for (int32_t i = 0; i < 256; ++i) {
                total.R[i] += sums.R[i];
                total.G[i] += sums.G[i];
                total.B[i] += sums.B[i];
                total.N[i] += sums.N[i];
            }
    });
    return total;
}

// The map's blocks the grid's colours fall in: the only ones its steps ask about.
std::vector<uint8_t> GridBlocks(const Grid& grid) {
    std::vector<uint8_t> blocks(cNearestMap::kBlocks, 0);
    const auto* s = reinterpret_cast<const uint8_t*>(grid.Pixels.data());
    for (size_t i = 0; i < grid.Pixels.size(); ++i, s += 4)
        blocks[size_t(cNearestMap::Block(s[2], s[1], s[0]))] = 1;
    return blocks;
}

uint8_t Mean(uint64_t sum, uint64_t count) {
    return static_cast<uint8_t>((sum + count / 2) / count);
}

}  // namespace

void RefineEntries(cPal8bpp& palette, int32_t width, int32_t height, const PictureRows& rows,
                   int32_t steps) {
    const Grid grid = GridPixels(width, height, rows);
    const std::vector<uint8_t> blocks = GridBlocks(grid);
    for (int32_t s = 0; s < steps; ++s) {
        const Sums sums = GridSums(cNearestMap(palette, blocks), grid);
        for (int32_t i = 0; i < palette.Entries() && i < 256; ++i) {
            if (sums.N[i] == 0) continue;
            const auto entry = static_cast<uint8_t>(i);
            palette.rgbR(entry, Mean(sums.R[i], sums.N[i]));
            palette.rgbG(entry, Mean(sums.G[i], sums.N[i]));
            palette.rgbB(entry, Mean(sums.B[i], sums.N[i]));
        }
        palette.BuildLogicalPalette();
    }
}

}  // namespace mDither8bpp::detail

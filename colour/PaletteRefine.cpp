#include "PaletteRefine.h"

#include "BandPool.h"
#include "NearestMap.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

// The grid's pixels gathered by their cell of the nearest-entry map: all the
// pixels of a cell have one nearest entry, so a step adds up the few tens of
// thousands of cells a photograph's grid falls in rather than its quarter of
// a million pixels, with the same sums.
struct GridCells {
    std::vector<uint32_t> Cell;        // the cells, in the order the grid first meets them
    std::vector<uint32_t> R, G, B, N;  // the sums of their pixels, and their count
    std::vector<uint8_t> Blocks;       // cNearestMap::kBlocks flags: the map's blocks they lie in
};

GridCells GatherGrid(int32_t width, int32_t height, const PictureRows& rows) {
    const int32_t step = GridStep(width, height);
    GridCells grid;
    grid.Blocks.assign(cNearestMap::kBlocks, 0);
    constexpr uint32_t kNone = UINT32_MAX;
    std::vector<uint32_t> slot(size_t{1} << (3 * cNearestMap::kBits), kNone);
    std::vector<uint8_t> row(4 * size_t(width));
    for (int32_t y = 0; y < height; y += step) {
        rows(y, 1, row.data());
        for (int32_t x = 0; x < width; x += step) {
            const uint8_t* p = row.data() + 4 * size_t(x);
            const int32_t r = p[2], g = p[1], b = p[0];
            const auto cell = static_cast<uint32_t>(cNearestMap::Cell(r, g, b));
            uint32_t& at = slot[cell];
            if (at == kNone) {
                at = static_cast<uint32_t>(grid.Cell.size());
                grid.Cell.push_back(cell);
                for (auto* sums : {&grid.R, &grid.G, &grid.B, &grid.N}) sums->push_back(0);
                grid.Blocks[size_t(cNearestMap::Block(r, g, b))] = 1;
            }
            grid.R[at] += uint32_t(r);
            grid.G[at] += uint32_t(g);
            grid.B[at] += uint32_t(b);
            ++grid.N[at];
        }
    }
    return grid;
}

Sums GridSums(const cNearestMap& nearest, const GridCells& grid) {
    Sums total;
    std::mutex merging;
    const uint8_t* cells = nearest.Cells();
    const auto count = static_cast<int32_t>(grid.Cell.size());
    parallel::ForEachBand(count, 1, [&](int32_t first, int32_t n) {
        Sums band;
        for (int32_t i = first; i < first + n; ++i) {
            const uint8_t entry = cells[grid.Cell[size_t(i)]];
            band.R[entry] += grid.R[size_t(i)];
            band.G[entry] += grid.G[size_t(i)];
            band.B[entry] += grid.B[size_t(i)];
            band.N[entry] += grid.N[size_t(i)];
        }
        // Whole numbers: the total is the same in any order of bands.
        const std::lock_guard lock(merging);
        for (int32_t i = 0; i < 256; ++i) {
            total.R[i] += band.R[i];
            total.G[i] += band.G[i];
            total.B[i] += band.B[i];
            total.N[i] += band.N[i];
        }
    });
    return total;
}

uint8_t Mean(uint64_t sum, uint64_t count) {
    return static_cast<uint8_t>((sum + count / 2) / count);
}

}  // namespace

void RefineEntries(cPal8bpp& palette, int32_t width, int32_t height, const PictureRows& rows,
                   int32_t steps) {
    const GridCells grid = GatherGrid(width, height, rows);
    for (int32_t s = 0; s < steps; ++s) {
        const Sums sums = GridSums(cNearestMap(palette, grid.Blocks), grid);
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

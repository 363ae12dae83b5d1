#include "PaletteRefine.h"

#include "BandPool.h"
#include "FarColours.h"
#include "NearestMap.h"
#include "PaletteGrid.h"
#include "VarianceCut.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

namespace mDither8bpp::detail {
namespace {

// The entries the cut leaves for the colours it serves worst.
constexpr int32_t kFarEntries = 12;

// Per entry: the sums of the grid pixels nearest to it, and their count.
struct Sums {
    std::array<uint64_t, 256> R{}, G{}, B{}, N{};
};

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

}  // namespace

void RefineEntries(cPal8bpp& palette, const GridCells& grid, int32_t steps) {
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

void FinePalette(cPal8bpp& palette, int32_t width, int32_t height, const PictureRows& rows) {
    const GridCells grid = GatherGrid(width, height, rows);
    // A grid of at most 256 cells gives every cell an entry of its own.
    const int32_t far = grid.Cell.size() > 256 ? kFarEntries : 0;
    CutPalette(grid, palette, 256 - far);
    RefineEntries(palette, grid, kRefineSteps);
    if (far == 0 || palette.Entries() < 256 - far) return;
    AddFarEntries(palette, grid, far);
    // The far entries' own pixels, and their neighbours', settle them.
    RefineEntries(palette, grid, 1);
}

}  // namespace mDither8bpp::detail

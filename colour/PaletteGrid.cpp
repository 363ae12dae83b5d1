#include "PaletteGrid.h"

#include "NearestMap.h"

#include <algorithm>
#include <cmath>

namespace mDither8bpp::detail {
namespace {

constexpr int64_t kGridPixels = int64_t{1} << 18;

int32_t GridStep(int32_t width, int32_t height) {
    const double pixels = double(width) * double(height);
    return std::max(1, static_cast<int32_t>(std::ceil(std::sqrt(pixels / double(kGridPixels)))));
}

}  // namespace

GridCells GatherGrid(int32_t width, int32_t height, const PictureRows& rows) {
    const int32_t step = GridStep(width, height);
    // By cell: its place among the grid's cells, or kNone. Kept by each
    // thread from picture to picture, every slot back at kNone: filled anew,
    // its megabyte took as long as gathering a fifth of a 12 MP grid.
    constexpr uint32_t kNone = UINT32_MAX;
    thread_local std::vector<uint32_t> slot(size_t{1} << (3 * cNearestMap::kBits), kNone);
    // A cell's sums side by side while the grid is gathered: a pixel adds to
    // one cache line, not four.
    struct Sums {
        uint32_t R = 0, G = 0, B = 0, N = 0;
    };
    std::vector<Sums> sums;
    GridCells grid;
    const auto clearSlots = [&] {
        for (const uint32_t cell : grid.Cell) slot[cell] = kNone;
    };
    try {
        std::vector<uint8_t> row(4 * size_t(width));
        for (int32_t y = 0; y < height; y += step) {
            rows(y, 1, row.data());
            for (int32_t x = 0; x < width; x += step) {
                const uint8_t* p = row.data() + 4 * size_t(x);
                const uint32_t r = p[2], g = p[1], b = p[0];
                const auto cell =
                    static_cast<uint32_t>(cNearestMap::Cell(int32_t(r), int32_t(g), int32_t(b)));
                uint32_t& at = slot[cell];
                if (at == kNone) {
                    grid.Cell.push_back(cell);
                    at = static_cast<uint32_t>(sums.size());
                    sums.emplace_back();
                }
                Sums& s = sums[at];
                s.R += r, s.G += g, s.B += b, ++s.N;
            }
        }
    } catch (...) {
        clearSlots();
        throw;
    }
    clearSlots();
    for (auto* of : {&grid.R, &grid.G, &grid.B, &grid.N}) of->resize(sums.size());
    grid.Blocks.assign(cNearestMap::kBlocks, 0);
    for (size_t i = 0; i < sums.size(); ++i) {
        grid.R[i] = sums[i].R, grid.G[i] = sums[i].G, grid.B[i] = sums[i].B, grid.N[i] = sums[i].N;
        const auto level = [&](int32_t at) {  // the cell's channel as a colour value
            return int32_t(grid.Cell[i] >> (at * cNearestMap::kBits) & 63) << cNearestMap::kShift;
        };
        grid.Blocks[size_t(cNearestMap::Block(level(0), level(1), level(2)))] = 1;
    }
    return grid;
}

}  // namespace mDither8bpp::detail

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

}  // namespace mDither8bpp::detail

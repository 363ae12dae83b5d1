#include "PaletteGrid.h"

#include "NearestMap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mDither8bpp::detail {
namespace {

constexpr int64_t kGridPixels = int64_t{1} << 18;

int32_t GridStep(int32_t width, int32_t height) {
    const double pixels = double(width) * double(height);
    return std::max(1, static_cast<int32_t>(std::ceil(std::sqrt(pixels / double(kGridPixels)))));
}

// A cell's sums side by side while the grid is gathered: a pixel adds to
// one cache line, not four.
struct Sums {
    uint32_t R = 0, G = 0, B = 0, N = 0;
};

// The grid's cells with their sums, each cell's place among them found
// through slots (by cell: its place, or the type's largest value for none).
// False, with the slots as they were, when the grid holds more cells than
// the slots can number.
template <typename Slot>
bool Gather(int32_t width, int32_t height, int32_t step, const PictureRows& rows,
            std::vector<Slot>& slot, std::vector<uint32_t>& cells, std::vector<Sums>& sums) {
    constexpr Slot kNone = std::numeric_limits<Slot>::max();
    const auto clearSlots = [&] {
        for (const uint32_t cell : cells) slot[cell] = kNone;
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
                Slot& at = slot[cell];
                if (at == kNone) {
                    if (sums.size() == kNone) {
                        clearSlots();
                        return false;
                    }
                    cells.push_back(cell);
                    at = static_cast<Slot>(sums.size());
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
    return true;
}

// Slots kept by each thread from picture to picture, every one back at none:
// filled anew, a megabyte of them took as long as gathering a fifth of a
// 12 MP grid.
template <typename Slot>
std::vector<Slot>& KeptSlots() {
    thread_local std::vector<Slot> slot(size_t{1} << (3 * cNearestMap::kBits),
                                        std::numeric_limits<Slot>::max());
    return slot;
}

}  // namespace

GridCells GatherGrid(int32_t width, int32_t height, const PictureRows& rows) {
    const int32_t step = GridStep(width, height);
    GridCells grid;
    std::vector<Sums> sums;
    // Slots of 16 bits serve a photograph's few tens of thousands of cells
    // from the second cache, where 32-bit ones spill beyond it; a grid of
    // more cells is gathered again with those.
    if (!Gather(width, height, step, rows, KeptSlots<uint16_t>(), grid.Cell, sums)) {
        grid.Cell.clear(), sums.clear();
        Gather(width, height, step, rows, KeptSlots<uint32_t>(), grid.Cell, sums);
    }
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

#include "FarColours.h"

#include "NearestMap.h"
#include "PaletteGrid.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace mDither8bpp::detail {
namespace {

// A cell nearer than this (squared distance) to an entry is served well.
constexpr double kFar = 100;
// The grid pixels a block's far colours need to count as a patch.
constexpr double kPatchPixels = 8;

struct FarCell {
    double R, G, B, N, Distance;  // the mean colour, the count, the squared distance
    int32_t Block;
};

double Squared(double r, double g, double b) { return r * r + g * g + b * b; }

std::vector<FarCell> FarCells(const cPal8bpp& palette, const GridCells& grid) {
    const cNearestMap nearest(palette, grid.Blocks);
    const uint8_t* cells = nearest.Cells();
    std::vector<FarCell> far;
    for (size_t i = 0; i < grid.Cell.size(); ++i) {
        const double n = grid.N[i];
        const double r = grid.R[i] / n, g = grid.G[i] / n, b = grid.B[i] / n;
        const uint8_t e = cells[grid.Cell[i]];
        const double d = Squared(r - palette.rgbR(e), g - palette.rgbG(e), b - palette.rgbB(e));
        if (d > kFar)
            far.push_back({r, g, b, n, d, cNearestMap::Block(int32_t(r), int32_t(g), int32_t(b))});
    }
    return far;
}

struct BlockSums {
    double Error = 0, N = 0, R = 0, G = 0, B = 0;
};

}  // namespace

void AddFarEntries(cPal8bpp& palette, const GridCells& grid, int32_t count) {
    std::vector<FarCell> far = FarCells(palette, grid);
    // The blocks the far cells lie in, in ascending order: the first of
    // equal scores wins.
    std::vector<int32_t> farBlocks;
    for (const FarCell& c : far) farBlocks.push_back(c.Block);
    std::sort(farBlocks.begin(), farBlocks.end());
    farBlocks.erase(std::unique(farBlocks.begin(), farBlocks.end()), farBlocks.end());
    std::vector<BlockSums> blocks(cNearestMap::kBlocks);
    for (int32_t added = 0; added < count; ++added) {
        for (const int32_t b : farBlocks) blocks[size_t(b)] = {};
        for (const FarCell& c : far) {
            if (c.Distance <= kFar) continue;
            BlockSums& s = blocks[size_t(c.Block)];
            s.Error += c.N * c.Distance, s.N += c.N;
            s.R += c.N * c.R, s.G += c.N * c.G, s.B += c.N * c.B;
        }
        int32_t best = -1;
        double bestScore = 0;
        for (const int32_t b : farBlocks) {
            const BlockSums& s = blocks[size_t(b)];
            if (s.N < kPatchPixels) continue;
            const double score = s.Error / std::sqrt(s.N);
            if (score > bestScore) bestScore = score, best = b;
        }
        if (best < 0) break;
        const BlockSums& s = blocks[size_t(best)];
        const auto entry = static_cast<uint8_t>(palette.Entries());
        palette.Entries(static_cast<int16_t>(entry + 1));
        palette.rgbR(entry, static_cast<uint8_t>(std::lround(s.R / s.N)));
        palette.rgbG(entry, static_cast<uint8_t>(std::lround(s.G / s.N)));
        palette.rgbB(entry, static_cast<uint8_t>(std::lround(s.B / s.N)));
        for (FarCell& c : far)
            c.Distance =
                std::min(c.Distance, Squared(c.R - palette.rgbR(entry), c.G - palette.rgbG(entry),
                                             c.B - palette.rgbB(entry)));
    }
    palette.BuildLogicalPalette();
}

}  // namespace mDither8bpp::detail

#pragma once
// The pixels the fine mode's palette is made from: a grid over the whole
// picture, gathered by their cell of the 64 x 64 x 64 nearest-entry map.

#include "PaletteSample.h"

#include <cstdint>
#include <vector>

namespace mDither8bpp::detail {

// Every pixel of a picture of up to about a quarter of a million pixels, and
// every k-th pixel of every k-th row of a larger one. All the pixels of a
// cell have one nearest entry, so a k-means step adds up the few tens of
// thousands of cells a photograph's grid falls in rather than its quarter of
// a million pixels, with the same sums.
struct GridCells {
    std::vector<uint32_t> Cell;        // the cells, in the order the grid first meets them
    std::vector<uint32_t> R, G, B, N;  // the sums of their pixels, and their count
    std::vector<uint8_t> Blocks;       // cNearestMap::kBlocks flags: the map's blocks they lie in
};

// The grid's rows are all it reads of the width x height picture.
GridCells GatherGrid(int32_t width, int32_t height, const PictureRows& rows);

// The mean of count grid values that sum to sum (count > 0), rounded half
// up: where the palette's steps put an entry.
inline uint8_t Mean(uint64_t sum, uint64_t count) {
    return static_cast<uint8_t>((sum + count / 2) / count);
}

}  // namespace mDither8bpp::detail

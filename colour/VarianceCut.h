#pragma once
// The fine mode's first palette: the grid's colours cut into boxes, each cut
// the one that takes away the most squared error (each cell weighing less
// than its count, see VarianceCut.cpp), each entry the mean colour
// of its box. Unlike the octree, which sees only a small sample and gives its
// leaves to the commonest colours, it sees the whole grid, and a colour that
// lies far from the rest earns a box of its own however few pixels hold it.

#include <cstdint>

class cPal8bpp;

namespace mDither8bpp::detail {

struct GridCells;

// Rebuilds palette, logical palette included, as at most Entries (1 to 256)
// entries: fewer when the grid falls in fewer cells of the nearest-entry
// map. Cuts run between those cells. An empty grid gives one black entry.
void CutPalette(const GridCells& grid, cPal8bpp& palette, int32_t entries);

}  // namespace mDither8bpp::detail

#pragma once
// The fine mode's palette: the octree's entries, each then moved to the mean
// colour of the picture's pixels nearest to it (steps of k-means over a grid
// of the picture's pixels). The octree sees only a 150 x 150 sample and
// stands each leaf at the mean of that sample's colours; the steps let the
// whole picture place the same entries.

#include <cstdint>

class cDIB;
class cPal8bpp;

namespace mDither8bpp::detail {

// The steps the fine mode takes.
inline constexpr int32_t kRefineSteps = 4;

// Moves the first Entries entries of palette and rebuilds its logical
// palette; an entry no grid pixel is nearest to stays where it is. The grid
// takes every pixel of a picture of up to about a quarter of a million pixels, and every
// k-th pixel of every k-th row of a larger one. The same palette and source
// give the same entries, however many threads the steps use.
void RefineEntries(cPal8bpp& palette, const cDIB& source, int32_t steps);

}  // namespace mDither8bpp::detail

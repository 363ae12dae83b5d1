#pragma once
// The fine mode's palette: the octree's entries, each then moved to the mean
// colour of the picture's pixels nearest to it (steps of k-means over a grid
// of the picture's pixels). The octree sees only a 150 x 150 sample and
// stands each leaf at the mean of that sample's colours; the steps let the
// whole picture place the same entries.

#include "PaletteSample.h"

#include <cstdint>

class cPal8bpp;

namespace mDither8bpp::detail {

// The steps the fine mode takes.
inline constexpr int32_t kRefineSteps = 4;

// Moves the first Entries entries of palette and rebuilds its logical
// palette; an entry no grid pixel is nearest to stays where it is. The grid
// takes every pixel of a picture of up to about a quarter of a million pixels, and every
// k-th pixel of every k-th row of a larger one. The same palette and source
// give the same entries, however many threads the steps use. The grid's rows
// are all the steps read of the width x height picture.
void RefineEntries(cPal8bpp& palette, int32_t width, int32_t height, const PictureRows& rows,
                   int32_t steps);

}  // namespace mDither8bpp::detail

#pragma once
// The fine mode's palette: the grid's colours cut into boxes (VarianceCut.h),
// each entry then moved to the mean colour of the grid pixels nearest to it
// (steps of k-means), then a few entries for the patches of colour still far
// from every entry (FarColours.h), settled by one more step. The cut places
// each entry at the mean of a box, where the pixels of the box's edges would
// rather have an entry of their own; the steps let every pixel choose.

#include "PaletteSample.h"

#include <cstdint>

class cPal8bpp;

namespace mDither8bpp::detail {

struct GridCells;

// The steps the fine mode takes.
inline constexpr int32_t kRefineSteps = 4;

// Moves the first Entries entries of palette and rebuilds its logical
// palette; an entry no grid pixel is nearest to stays where it is. The same
// palette and grid give the same entries, however many threads the steps use.
void RefineEntries(cPal8bpp& palette, const GridCells& grid, int32_t steps);

// The fine mode's palette of the width x height picture, built into palette;
// the grid's rows are all it reads of the picture.
void FinePalette(cPal8bpp& palette, int32_t width, int32_t height, const PictureRows& rows);

}  // namespace mDither8bpp::detail

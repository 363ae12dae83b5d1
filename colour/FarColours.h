#pragma once
// Entries for the colours a palette serves worst. A squared-error palette
// lets a small patch of a colour far from its nearest entry (a thin stalk, a
// dark red among browns) come out in another hue with bands of dither; a few
// entries given to such patches cost the rest of the picture little.

#include <cstdint>

class cPal8bpp;

namespace mDither8bpp::detail {

struct GridCells;

// Appends up to Count entries to palette (which must have room for them) and
// rebuilds its logical palette. Each new entry is the mean of the grid pixels
// of one block of the nearest-entry map that lie far from every entry, the
// block whose far pixels score highest by their mean squared distance times
// the square root of their number; a block with too few far pixels is
// noise, not a patch, and earns none.
void AddFarEntries(cPal8bpp& palette, const GridCells& grid, int32_t count);

}  // namespace mDither8bpp::detail

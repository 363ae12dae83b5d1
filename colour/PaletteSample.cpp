// The palette sample is read straight from the source's pixels: a full copy of
// a large source just to shrink it would cost as much memory as the source.

#include "PaletteSample.h"

#include "cDIB.h"

#include <algorithm>

namespace mDither8bpp {

const cDIB& PaletteSample(const cDIB& source, cDIB& scratch) {
    int32_t bfx = 0, bfy = 0, bfW = source.Width(), bfH = source.Height();
    source.GetBestFitInfo(kSampleBox, kSampleBox, bfx, bfy, bfW, bfH, false);
    if (bfW == source.Width() && bfH == source.Height()) return source;

    // A very thin source would otherwise round one side to 0 and leave no sample.
    const int32_t dW = std::max(bfW, 1), dH = std::max(bfH, 1);
    if (!scratch.Create(dW, dH, 32)) return scratch;  // empty: the palette stays empty

    // The nearest-pixel scaling of Resize, drawn from the source itself.
    source.Stretch(scratch.hDIBDC(), 0, 0, dW, dH, 0, 0, 0, 0);
    return scratch;
}

}  // namespace mDither8bpp

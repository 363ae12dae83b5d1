// The palette sample is read straight from the source's pixels: a full copy of
// a large source just to shrink it would cost as much memory as the source.

#include "PaletteSample.h"

#include "cDIB.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mDither8bpp {
namespace {

// Nearest-pixel scaling: destination index d of dSize takes source index
// floor((2d + 1) * sSize / (2 dSize)), the centre of its cell.
int32_t NearestSource(int32_t d, int32_t dSize, int32_t sSize) {
    return static_cast<int32_t>((2 * static_cast<int64_t>(d) + 1) * sSize / (2 * static_cast<int64_t>(dSize)));
}

}  // namespace

const cDIB& PaletteSample(const cDIB& source, cDIB& scratch) {
    int32_t bfx = 0, bfy = 0, bfW = source.Width(), bfH = source.Height();
    source.GetBestFitInfo(kSampleBox, kSampleBox, bfx, bfy, bfW, bfH, false);
    if (bfW == source.Width() && bfH == source.Height()) return source;

    // A very thin source would otherwise round one side to 0 and leave no sample.
    const int32_t dW = std::max(bfW, 1), dH = std::max(bfH, 1);
    if (!scratch.Create(dW, dH, 32)) return scratch;  // empty: the palette stays empty

    const int32_t sW = source.Width(), sH = source.Height();
    std::vector<size_t> columnOffset(static_cast<size_t>(dW));
    for (int32_t dx = 0; dx < dW; ++dx)
        columnOffset[dx] = 4 * static_cast<size_t>(NearestSource(dx, dW, sW));

    // Picture rows count from the top; memory rows from the bottom.
    for (int32_t dy = 0; dy < dH; ++dy) {
        const int32_t sy = NearestSource(dy, dH, sH);
        const uint8_t* src = source.lpBits() + static_cast<size_t>(sH - 1 - sy) * 4 * sW;
        uint8_t* dst = scratch.lpBits() + static_cast<size_t>(dH - 1 - dy) * 4 * dW;
        for (int32_t dx = 0; dx < dW; ++dx) std::memcpy(dst + 4 * static_cast<size_t>(dx), src + columnOffset[dx], 4);
    }
    return scratch;
}

}  // namespace mDither8bpp

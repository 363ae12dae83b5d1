#pragma once
// The small image the optimal palette is computed from.

#include <cstdint>
#include <functional>

class cDIB;

namespace mDither8bpp {

inline constexpr int32_t kSampleBox = 150;

// The source fitted into 150 x 150 by nearest-pixel sampling, aspect ratio
// kept, never enlarged. When the source already fits, the source itself is
// returned; otherwise scratch is rebuilt as the 32-bpp sample and returned.
// Each side of the sample is at least 1 pixel, however thin the source.
// The fourth byte of a sample pixel carries no meaning.
const cDIB& PaletteSample(const cDIB& source, cDIB& scratch);

// The same sample for a picture of width x height that is not held whole,
// built into sample (the picture's own size when it fits): rows(first, count,
// pixels) gives memory rows first .. first + count - 1 of the picture (row 0
// the bottom), 4 x width bytes each. Returns false, with sample empty, when
// there is no memory for it.
bool TakePaletteSample(
    int32_t width, int32_t height,
    const std::function<void(int32_t first, int32_t count, uint8_t* pixels)>& rows, cDIB& sample);

}  // namespace mDither8bpp

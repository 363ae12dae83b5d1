#pragma once
// The small image the optimal palette is computed from.

#include <cstdint>

class cDIB;

namespace mDither8bpp {

inline constexpr int32_t kSampleBox = 150;

// The source fitted into 150 x 150 by nearest-pixel sampling, aspect ratio
// kept, never enlarged. When the source already fits, the source itself is
// returned; otherwise scratch is rebuilt as the 32-bpp sample and returned.
// Each side of the sample is at least 1 pixel, however thin the source.
// The fourth byte of a sample pixel carries no meaning.
const cDIB& PaletteSample(const cDIB& source, cDIB& scratch);

}  // namespace mDither8bpp

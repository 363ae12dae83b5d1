#pragma once
// The small image the optimal palette is computed from.

#include <cstdint>
#include <functional>

class cDIB;

namespace mDither8bpp {

inline constexpr int32_t kSampleBox = 150;

// Gives memory rows first .. first + count - 1 of a picture (row 0 the
// bottom) into pixels, 4 x its width bytes each: how the palette's steps read
// a picture that may not be held whole.
struct PictureRows {
    std::function<void(int32_t first, int32_t count, uint8_t* pixels)> Read;
    // Whether several threads may read rows at once (a picture in memory, a
    // file read at offsets), not only one after another.
    bool AtOnce = false;

    void operator()(int32_t first, int32_t count, uint8_t* pixels) const {
        Read(first, count, pixels);
    }
};

// The rows of a 32-bpp picture held whole.
PictureRows RowsOf(const cDIB& picture);

// The source fitted into 150 x 150 by nearest-pixel sampling, aspect ratio
// kept, never enlarged. When the source already fits, the source itself is
// returned; otherwise scratch is rebuilt as the 32-bpp sample and returned.
// Each side of the sample is at least 1 pixel, however thin the source.
// The fourth byte of a sample pixel carries no meaning.
const cDIB& PaletteSample(const cDIB& source, cDIB& scratch);

// The same sample for a picture of width x height that is not held whole,
// built into sample (the picture's own size when it fits) from its rows.
// Returns false, with sample empty, when there is no memory for it.
bool TakePaletteSample(int32_t width, int32_t height, const PictureRows& rows, cDIB& sample);

}  // namespace mDither8bpp

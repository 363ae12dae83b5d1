// The palette sample is read straight from the source's pixels: a full copy of
// a large source just to shrink it would cost as much memory as the source.

#include "PaletteSample.h"

#include "GraphicsLayer.h"
#include "cDIB.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mDither8bpp {
namespace {

// A very thin source would otherwise round one side to 0 and leave no sample.
cFitSize SampleSize(int32_t width, int32_t height) {
    const cFitSize fit = BestFitSize(width, height, kSampleBox, kSampleBox, false);
    return {std::max(fit.Width, 1), std::max(fit.Height, 1)};
}

}  // namespace

PictureRows RowsOf(const cDIB& picture) {
    const size_t stride = 4 * static_cast<size_t>(picture.Width());
    const auto read = [bits = picture.lpBits(), stride](int32_t first, int32_t count,
                                                        uint8_t* pixels) {
        std::memcpy(pixels, bits + static_cast<size_t>(first) * stride,
                    static_cast<size_t>(count) * stride);
    };
    return {read, true};
}

const cDIB& PaletteSample(const cDIB& source, cDIB& scratch) {
    const cFitSize size = SampleSize(source.Width(), source.Height());
    if (size.Width == source.Width() && size.Height == source.Height()) return source;
    TakePaletteSample(source.Width(), source.Height(), RowsOf(source), scratch);
    return scratch;  // empty without memory: the palette stays empty
}

bool TakePaletteSample(int32_t width, int32_t height, const PictureRows& rows, cDIB& sample) {
    const cFitSize size = SampleSize(width, height);
    if (!sample.Create(size.Width, size.Height, 32)) return false;
    uint8_t* bits = sample.lpBits();
    const size_t sampleStride = 4 * static_cast<size_t>(size.Width);
    if (size.Width == width && size.Height == height) {
        rows(0, height, bits);  // the picture is its own sample
        return true;
    }
    // The nearest-pixel scaling of Resize: rows counted from the top, as it
    // counts them.
    std::vector<int32_t> columns(static_cast<size_t>(size.Width));
    for (int32_t dx = 0; dx < size.Width; ++dx)
        columns[static_cast<size_t>(dx)] =
            static_cast<int32_t>(NearestSourceOffset(dx, size.Width, width));
    std::vector<uint8_t> row(4 * static_cast<size_t>(width));
    int32_t rowRead = -1;
    for (int32_t dy = 0; dy < size.Height; ++dy) {
        const int32_t sy = static_cast<int32_t>(NearestSourceOffset(dy, size.Height, height));
        const int32_t memoryRow = height - 1 - sy;
        if (memoryRow != rowRead) rows(memoryRow, 1, row.data());
        rowRead = memoryRow;
        uint8_t* out = bits + static_cast<size_t>(size.Height - 1 - dy) * sampleStride;
        for (int32_t dx = 0; dx < size.Width; ++dx)
            std::memcpy(out + 4 * static_cast<size_t>(dx),
                        row.data() + 4 * static_cast<size_t>(columns[static_cast<size_t>(dx)]), 4);
    }
    return true;
}

}  // namespace mDither8bpp

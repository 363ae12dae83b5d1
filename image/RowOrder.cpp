#include "RowOrder.h"

#include "BandPool.h"

#include <algorithm>

void FlipRows(uint8_t* bits, std::size_t stride, int32_t width, int32_t height) {
    // Row p of the pairs [first, first + count) trades places with row height - 1 - p.
    parallel::ForEachBand(height / 2, 2 * int64_t{width}, [&](int32_t first, int32_t count) {
        for (int32_t top = first; top < first + count; ++top) {
            uint8_t* upper = bits + static_cast<std::size_t>(top) * stride;
            uint8_t* lower = bits + static_cast<std::size_t>(height - 1 - top) * stride;
            std::swap_ranges(upper, upper + stride, lower);
        }
    });
}

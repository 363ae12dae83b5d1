#include "RowOrder.h"

#include "BandPool.h"
#include "RowView.h"

#include <algorithm>

void FlipRows(uint8_t* bits, std::size_t stride, int32_t width, int32_t height) {
    // Row p of the pairs [first, first + count) trades places with row height - 1 - p.
    const RowView<uint8_t> rows{bits, static_cast<std::ptrdiff_t>(stride), height};
    parallel::ForEachBand(height / 2, 2 * int64_t{width}, [&](int32_t first, int32_t count) {
        for (int32_t top = first; top < first + count; ++top) {
            uint8_t* upper = rows.MemoryRow(top);
            uint8_t* lower = rows.MemoryRow(height - 1 - top);
            std::swap_ranges(upper, upper + stride, lower);
        }
    });
}

#pragma once
// The squared error of one row of an 8-bit result against its 32-bit source
// row, over red, green and blue: summed while both rows are still in cache.

#include <cstdint>

namespace mDither8bpp::detail {

// source: width pixels of Blue, Green, Red, unused; indices: width entry
// numbers; colourTable: 256 entries of Blue, Green, Red, reserved.
uint64_t RowSquaredError(const uint8_t* source, const uint8_t* indices, int32_t width,
                         const uint8_t* colourTable);

}  // namespace mDither8bpp::detail

#pragma once
// Turning the rows of pixel memory over, on the band pool. Apart from
// PixelRows.h because the Qt decoder module, which has no band pool of its
// own, links that one.

#include <cstddef>
#include <cstdint>

// Top-down rows of width 32-bit pixels (stride bytes apart) to bottom-up, or
// back, in place, in bands of row pairs on the calling thread's share of the
// band pool.
void FlipRows(uint8_t* bits, std::size_t stride, int32_t width, int32_t height);

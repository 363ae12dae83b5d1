#pragma once
// Turning the rows of pixel memory over, on the band pool: cDIB's rows are
// bottom-up, and a top-down picture it takes over is turned in place.

#include <cstddef>
#include <cstdint>

// Top-down rows of width 32-bit pixels (stride bytes apart) to bottom-up, or
// back, in place, in bands of row pairs on the calling thread's share of the
// band pool.
void FlipRows(uint8_t* bits, std::size_t stride, int32_t width, int32_t height);

#pragma once
// The exact mapping's row over the optimal palette, sixteen or eight pixels at
// a time: each channel's level computed rather than looked up, then the
// palette entry read from the inverse colour map, the same bytes as the
// lookup tables give (DitherTables.h).
//
// The level of a channel of value v at threshold t is RoundHalfEven((v + 8 -
// t) / 17), which is (v + 16 - t) / 17 in whole numbers: 17 is odd, so no
// quotient lies half-way; and (v + 16 - t) is at most 270, for which
// x * 241 >> 12 is x / 17 (241 x 17 = 4097).

#include <cstdint>

namespace mDither8bpp::detail {

// Maps pixels 0 .. n - 1 of memory row y (n a multiple of 8, less than 8
// short of width) and returns n: source pixels Blue, Green, Red,
// unused; matrix16 the threshold matrix; inverse the 4096-entry inverse colour
// map, followed by 3 bytes that a 4-byte read of its last entry may touch.
// Returns 0 where the processor has neither AVX-512 nor AVX2, and takes no
// step of 16 without AVX-512: the table loop does the rest.
int32_t ExactRowVector(const uint8_t* source, uint8_t* target, int32_t width, int32_t y,
                       const int32_t* matrix16, const uint8_t* inverse);

}  // namespace mDither8bpp::detail

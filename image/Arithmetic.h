#pragma once
// Range-checked integer arithmetic and round-half-to-even conversions.
// Results that leave the int32 (or byte) range raise an overflow error, as the
// image and palette code has always behaved; callers rely on that to refuse
// absurd sizes instead of wrapping around.

#include "cError.h"

#include <cmath>
#include <cstdint>
#include <limits>

inline int32_t CheckedAdd(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throw cError::Overflow();
    return r;
}

inline int32_t CheckedSub(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throw cError::Overflow();
    return r;
}

inline int32_t CheckedMul(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw cError::Overflow();
    return r;
}

// Nearest integer, ties to even (2.5 -> 2, 3.5 -> 4), overflow outside int32.
inline int32_t RoundHalfEven(double v) {
    const double r = std::nearbyint(v);  // default rounding mode: to nearest, ties to even
    if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
        throw cError::Overflow();
    return static_cast<int32_t>(r);
}

// Same rounding into a byte; outside 0..255 is an overflow.
inline uint8_t RoundToByte(double v) {
    const int32_t r = RoundHalfEven(v);
    if (r < 0 || r > 255) throw cError::Overflow();
    return static_cast<uint8_t>(r);
}

#pragma once
// The palette's logical palette: a plain copy of the entry block taken when it
// was built, of which the first Count entries answer nearest-entry questions.
// Later writes to the entries or to Entries do not reach it until it is
// rebuilt.

#include "cPal8bpp.h"

#include <array>
#include <cstdint>

struct cPal8bpp::LogicalPalette {
    int32_t Count = 0;  // 1..256
    // The entries' channels, an array each, so that the distances to all the
    // entries are worked out side by side (the inverse colour map asks 4096
    // questions of every optimal palette).
    std::array<int32_t, 256> Red{}, Green{}, Blue{};

    // The lowest-numbered entry at the smallest squared distance over red,
    // green and blue.
    uint8_t Nearest(uint8_t R, uint8_t G, uint8_t B) const;
};

#pragma once
// The colours of a picture that has no more than a palette's worth of them:
// such a picture keeps every colour as it is.

#include "PaletteSample.h"

#include <array>
#include <cstdint>

class cPal8bpp;

namespace mDither8bpp::detail {

class cFewColours {
public:
    static constexpr int32_t kMaxColours = 256;

    // Gathers the distinct colours of a width x height picture read through
    // rows (the fourth byte is not part of a colour), a few rows at a time.
    // False, with nothing gathered, as soon as there are more than
    // kMaxColours; most photographs tell within the first rows.
    bool Collect(int32_t width, int32_t height, const PictureRows& rows);

    // The gathered colours as palette entries 0 .. Count - 1, in ascending
    // order of (Red, Green, Blue): the order follows from the colours alone,
    // not from where in the picture they first appear.
    void FillPalette(cPal8bpp& palette) const;

    // The entry of a gathered colour; s points at its Blue, Green, Red bytes.
    uint8_t Index(const uint8_t* s) const {
        const uint32_t key = Key(s);
        uint32_t slot = Slot(key);
        while (keys_[slot] != key) slot = (slot + 1) & (kSlots - 1);
        return entries_[slot];
    }

    int32_t Count() const { return count_; }

private:
    // Four times the colours: probes stay short.
    static constexpr uint32_t kSlots = 1024;
    static constexpr uint32_t kNoKey = 0xFFFFFFFFu;

    static uint32_t Key(const uint8_t* s) {
        return uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
    }
    static uint32_t Slot(uint32_t key) { return (key * 2654435761u) >> 22; }

    // Adds the colours of count pixels; false once there are too many.
    bool Add(const uint8_t* pixels, size_t count);

    std::array<uint32_t, kSlots> keys_{};
    std::array<uint8_t, kSlots> entries_{};
    int32_t count_ = 0;
};

}  // namespace mDither8bpp::detail

#include "FewColours.h"

#include "cDIB.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <vector>

namespace mDither8bpp::detail {

bool cFewColours::Collect(const cDIB& source) {
    keys_.fill(kNoKey);
    count_ = 0;
    const int32_t width = source.Width();
    const uint8_t* bits = source.lpBits();
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(source.Height());
    uint32_t last = kNoKey;
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t key = Key(bits + 4 * i);
        if (key == last) continue;  // runs of one colour are the common case in such pictures
        last = key;
        uint32_t slot = Slot(key);
        while (keys_[slot] != key && keys_[slot] != kNoKey) slot = (slot + 1) & (kSlots - 1);
        if (keys_[slot] == key) continue;
        if (count_ == kMaxColours) {
            keys_.fill(kNoKey);
            count_ = 0;
            return false;
        }
        keys_[slot] = key;
        ++count_;
    }

    std::vector<uint32_t> sorted;
    sorted.reserve(static_cast<size_t>(count_));
    for (uint32_t key : keys_)
        if (key != kNoKey) sorted.push_back(key);
    std::sort(sorted.begin(), sorted.end());
    for (size_t rank = 0; rank < sorted.size(); ++rank) {
        uint32_t slot = Slot(sorted[rank]);
        while (keys_[slot] != sorted[rank]) slot = (slot + 1) & (kSlots - 1);
        entries_[slot] = static_cast<uint8_t>(rank);
    }
    return true;
}

void cFewColours::FillPalette(cPal8bpp& palette) const {
    palette.Initialize(static_cast<int16_t>(count_));
    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        const uint32_t key = keys_[slot];
        if (key == kNoKey) continue;
        palette.rgbR(entries_[slot], static_cast<uint8_t>(key >> 16));
        palette.rgbG(entries_[slot], static_cast<uint8_t>(key >> 8));
        palette.rgbB(entries_[slot], static_cast<uint8_t>(key));
    }
    palette.BuildLogicalPalette();
}

}  // namespace mDither8bpp::detail

#include "FewColours.h"

#include "cPal8bpp.h"

#include <algorithm>
#include <vector>

namespace mDither8bpp::detail {

namespace {

// The pixels read at a time: a few thousand first, since a photograph
// tells within its first rows, then twice as many each time up to the most.
constexpr size_t kFirstChunkPixels = size_t{1} << 12;
constexpr size_t kChunkPixels = size_t{1} << 16;

}  // namespace

bool cFewColours::Add(const uint8_t* pixels, size_t count) {
    uint32_t last = kNoKey;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t key = Key(pixels + 4 * i);
        if (key == last) continue;  // runs of one colour are the common case in such pictures
        last = key;
        uint32_t slot = Slot(key);
        while (keys_[slot] != key && keys_[slot] != kNoKey) slot = (slot + 1) & (kSlots - 1);
        if (keys_[slot] == key) continue;
        if (count_ == kMaxColours) return false;
        keys_[slot] = key;
        ++count_;
    }
    return true;
}

bool cFewColours::Collect(int32_t width, int32_t height, const PictureRows& rows) {
    keys_.fill(kNoKey);
    count_ = 0;
    const auto rowsOf = [&](size_t pixels) {
        return static_cast<int32_t>(std::clamp<size_t>(pixels / size_t(width), 1, size_t(height)));
    };
    const int32_t mostRows = rowsOf(kChunkPixels);
    std::vector<uint8_t> chunk;
    for (int32_t first = 0, chunkRows = rowsOf(kFirstChunkPixels); first < height;
         first += chunkRows, chunkRows = std::min(2 * chunkRows, mostRows)) {
        const int32_t count = std::min(chunkRows, height - first);
        chunk.resize(4 * size_t(width) * size_t(count));
        rows(first, count, chunk.data());
        if (!Add(chunk.data(), size_t(width) * size_t(count))) {
            keys_.fill(kNoKey);
            count_ = 0;
            return false;
        }
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

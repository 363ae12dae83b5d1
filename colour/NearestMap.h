#pragma once
// The nearest palette entry of every colour, through a 64 x 64 x 64 map:
// each cell holds the entry nearest to its centre.

#include <cstdint>
#include <memory>
#include <vector>

class cPal8bpp;

namespace mDither8bpp::detail {

class cNearestMap {
public:
    static constexpr int32_t kBits = 6;  // of each channel, in the map
    static constexpr int32_t kShift = 8 - kBits;

    // From the first Entries entries of palette; ties go to the lower entry,
    // as in the palette's own search. An empty palette raises an overflow
    // error, as a nearest-entry question to it does.
    explicit cNearestMap(const cPal8bpp& palette);

    // The blocks of 4 x 4 x 4 cells, 16 along each channel: block
    // (r >> 4) | (g >> 4) << 4 | (b >> 4) << 8 holds the colour (r, g, b).
    static constexpr int32_t kBlocks = 4096;
    static int32_t Block(int32_t r, int32_t g, int32_t b) {
        return (r >> 4) | (g >> 4) << 4 | (b >> 4) << 8;
    }
    // The same map filled only in the blocks whose flag is set (kBlocks
    // flags): a question about a colour of any other block has no answer
    // (it reads entry 0). For a fixed set of colours asked against palette
    // after palette, that leaves out most of the work.
    cNearestMap(const cPal8bpp& palette, const std::vector<uint8_t>& blocks);

    static int32_t Cell(int32_t r, int32_t g, int32_t b) {
        return (r >> kShift) | (g >> kShift) << kBits | (b >> kShift) << (2 * kBits);
    }
    uint8_t Nearest(int32_t r, int32_t g, int32_t b) const { return cells_[Cell(r, g, b)]; }

    // The cells, followed by 3 bytes that a 4-byte read of the last cell may touch.
    const uint8_t* Cells() const { return cells_.get(); }

private:
    std::unique_ptr<uint8_t[]> cells_;
};

}  // namespace mDither8bpp::detail

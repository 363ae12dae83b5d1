// The map is built block by block: for a block of 4 x 4 x 4 cells only the
// entries that can be nearest to some point of it are compared, which leaves
// a handful out of 256; a group of 4 x 4 x 4 blocks sorts the entries out
// first, so that a block looks at its group's few instead of all 256.

#include "NearestMap.h"

#include "BandPool.h"
#include "CpuFeatures.h"
#include "VectorIntrinsics.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace mDither8bpp::detail {
namespace {

constexpr int32_t kBlockCells = 4;  // a side of a block, in cells
constexpr int32_t kSide = 1 << cNearestMap::kBits;
constexpr int32_t kBlocksASide = kSide / kBlockCells;
constexpr int32_t kCellsPerBlock = kBlockCells * kBlockCells * kBlockCells;
constexpr int32_t kGroup = 4;  // a side of a group of blocks, in blocks

// The palette's first Entries colours, a channel an array, at twice their
// value: the centres of the cells lie on half units, and doubled, every
// distance stays a whole number.
struct Entries2 {
    int32_t Count = 0;
    std::array<int32_t, 256> R{}, G{}, B{};
    std::array<uint8_t, 256> Number{};  // in the palette
};

Entries2 DoubledEntries(const cPal8bpp& palette) {
    Entries2 e;
    e.Count = palette.Entries();
    if (e.Count < 1) throw cError::Overflow();  // no entry to be nearest
    e.Count = std::min<int32_t>(e.Count, 256);
    const uint8_t* table = palette.lpPalette();
    for (int32_t i = 0; i < e.Count; ++i) {
        e.B[i] = 2 * table[4 * i];
        e.G[i] = 2 * table[4 * i + 1];
        e.R[i] = 2 * table[4 * i + 2];
        e.Number[i] = static_cast<uint8_t>(i);
    }
    return e;
}

// Twice the centre of cell k of a channel: its values are k << shift ..
// (k + 1) << shift minus 1.
constexpr int32_t Centre2(int32_t k) {
    constexpr int32_t shift = cNearestMap::kShift;
    return (k << (shift + 1)) + (1 << shift) - 1;
}

int32_t Square(int32_t v) { return v * v; }

// Squared distance from v to the interval [low, high], and to its far end.
int32_t Near(int32_t v, int32_t low, int32_t high) {
    return Square(v < low ? low - v : v > high ? v - high : 0);
}
int32_t Far(int32_t v, int32_t low, int32_t high) {
    return Square(std::max(std::abs(v - low), std::abs(v - high)));
}

// For the box of side cells from cell (k0r, k0g, k0b): each entry's squared
// distance to the box, and the least distance of an entry to its farthest point.
__attribute__((always_inline)) inline int32_t NearAndBound(const Entries2& e, int32_t k0r,
                                                           int32_t k0g, int32_t k0b, int32_t side,
                                                           std::array<int32_t, 256>& near) {
    const int32_t lowR = Centre2(k0r), highR = Centre2(k0r + side - 1);
    const int32_t lowG = Centre2(k0g), highG = Centre2(k0g + side - 1);
    const int32_t lowB = Centre2(k0b), highB = Centre2(k0b + side - 1);

    std::array<int32_t, 256> far;
    for (int32_t i = 0; i < e.Count; ++i) {
        near[i] = Near(e.R[i], lowR, highR) + Near(e.G[i], lowG, highG) + Near(e.B[i], lowB, highB);
        far[i] = Far(e.R[i], lowR, highR) + Far(e.G[i], lowG, highG) + Far(e.B[i], lowB, highB);
    }
    int32_t bound = INT32_MAX;
    for (int32_t i = 0; i < e.Count; ++i) bound = std::min(bound, far[i]);
    return bound;
}

// The entries of e that can be nearest to some cell of the box of side
// cells from cell (k0r, k0g, k0b), in e's order: every entry at most as far
// from the whole box as the entry whose farthest point of the box is nearest;
// the others cannot be. An entry that can be nearest in a part of a box is
// among the box's own, so a block need only look at its group's.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void Candidates(
    const Entries2& e, int32_t k0r, int32_t k0g, int32_t k0b, int32_t side, Entries2& out) {
    std::array<int32_t, 256> near;
    const int32_t bound = NearAndBound(e, k0r, k0g, k0b, side, near);
    out.Count = 0;
    for (int32_t i = 0; i < e.Count; ++i) {
        if (near[i] > bound) continue;
        out.R[out.Count] = e.R[i];
        out.G[out.Count] = e.G[i];
        out.B[out.Count] = e.B[i];
        out.Number[out.Count] = e.Number[i];
        ++out.Count;
    }
}

// Kept for the entries from 0 in steps of sixteen, as far as whole steps
// go; returns how many it kept, and in done where it stopped.
__attribute__((target("avx512f"))) int32_t KeptAvx512(const int32_t* near, int32_t count,
                                                      int32_t bound, int32_t* kept, int32_t& done) {
    const __m512i limit = _mm512_set1_epi32(bound), sixteen = _mm512_set1_epi32(16);
    __m512i numbers = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int32_t n = 0, i = 0;
    for (; i + 16 <= count; i += 16) {
        const __mmask16 pass = _mm512_cmple_epi32_mask(_mm512_loadu_si512(near + i), limit);
        // Compressed into a register and stored whole: a compressing store
        // is many times slower on some processors.
        _mm512_storeu_si512(kept + n, _mm512_maskz_compress_epi32(pass, numbers));
        n += __builtin_popcount(pass);
        numbers = _mm512_add_epi32(numbers, sixteen);
    }
    done = i;
    return n;
}

// The numbers i < count of the entries with near[i] <= bound, in order,
// into kept (room for count + 16); returns how many. A handful of a block's
// group pass, which ones depends on the block: a branch an entry would
// mostly guess wrong, and a count carried from entry to entry waits on
// itself, so sixteen entries are sorted out at a time where the processor can.
int32_t Kept(const int32_t* near, int32_t count, int32_t bound, int32_t* kept) {
    int32_t n = 0, i = 0;
    if (HasAvx512()) n = KeptAvx512(near, count, bound, kept, i);
    for (; i < count; ++i) {
        kept[n] = i;
        n += near[i] <= bound;
    }
    return n;
}

// The cells of block (br, bg, bb), from its group's entries (Candidates):
// the same sorting out, then every cell against what is left. Ties go to the
// lower entry, as in the palette's own nearest-entry search.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void FillBlock(
    const Entries2& e, int32_t br, int32_t bg, int32_t bb, uint8_t* nearest) {
    const int32_t k0r = br * kBlockCells, k0g = bg * kBlockCells, k0b = bb * kBlockCells;
    std::array<int32_t, 256> near;
    const int32_t bound = NearAndBound(e, k0r, k0g, k0b, kBlockCells, near);

    std::array<int32_t, kCellsPerBlock> cr, cg, cb, best, index;
    for (int32_t c = 0; c < kCellsPerBlock; ++c) {
        cr[c] = Centre2(k0r + c % kBlockCells);
        cg[c] = Centre2(k0g + c / kBlockCells % kBlockCells);
        cb[c] = Centre2(k0b + c / (kBlockCells * kBlockCells));
        best[c] = INT32_MAX;
        index[c] = 0;
    }
    std::array<int32_t, 256 + 16> kept;
    const int32_t count = Kept(near.data(), e.Count, bound, kept.data());
    for (int32_t k = 0; k < count; ++k) {
        const int32_t i = kept[size_t(k)];
        const int32_t r = e.R[i], g = e.G[i], b = e.B[i];
        for (int32_t c = 0; c < kCellsPerBlock; ++c) {
            const int32_t d = Square(cr[c] - r) + Square(cg[c] - g) + Square(cb[c] - b);
            const bool closer = d < best[c];
            best[c] = closer ? d : best[c];
            index[c] = closer ? i : index[c];
        }
    }
    // Each line of the block along red is kBlockCells bytes in a row of the map.
    for (int32_t line = 0; line < kBlockCells * kBlockCells; ++line) {
        uint8_t* to = nearest + (k0r | (k0g + line % kBlockCells) << cNearestMap::kBits |
                                 (k0b + line / kBlockCells) << (2 * cNearestMap::kBits));
        for (int32_t red = 0; red < kBlockCells; ++red)
            to[red] = e.Number[size_t(index[size_t(line * kBlockCells + red)])];
    }
}

}  // namespace

cNearestMap::cNearestMap(const cPal8bpp& palette) : cNearestMap(palette, {}) {}

cNearestMap::cNearestMap(const cPal8bpp& palette, const std::vector<uint8_t>& blocks)
    : cells_(new uint8_t[(size_t{1} << (3 * kBits)) + 3]()) {
    static_assert(kBlocks == kBlocksASide * kBlocksASide * kBlocksASide);
    const auto wanted = [&blocks](int32_t br, int32_t bg, int32_t bb) {
        return blocks.empty() || blocks[size_t(br | bg << 4 | bb << 8)] != 0;
    };
    const Entries2 entries = DoubledEntries(palette);
    uint8_t* cells = cells_.get();
    // A group of kGroup x kGroup x kGroup blocks first sorts out the entries
    // that cannot be nearest anywhere in it. A band takes whole lines of
    // groups along red, so that no two threads write into one cache line.
    constexpr int32_t groups = kBlocksASide / kGroup, groupCells = kGroup * kBlockCells;
    parallel::ForEachBand(groups * groups, int64_t{1} << 16, [&](int32_t first, int32_t count) {
        Entries2 group;
        for (int32_t n = first; n < first + count; ++n)
            for (int32_t gr = 0; gr < groups; ++gr) {
                const int32_t gg = n % groups, gb = n / groups;
                bool any = false;
                for (int32_t bb = gb * kGroup; bb < (gb + 1) * kGroup; ++bb)
                    for (int32_t bg = gg * kGroup; bg < (gg + 1) * kGroup; ++bg)
                        for (int32_t br = gr * kGroup; br < (gr + 1) * kGroup; ++br)
                            any = any || wanted(br, bg, bb);
                if (!any) continue;
                Candidates(entries, gr * groupCells, gg * groupCells, gb * groupCells, groupCells,
                           group);
                for (int32_t bb = gb * kGroup; bb < (gb + 1) * kGroup; ++bb)
                    for (int32_t bg = gg * kGroup; bg < (gg + 1) * kGroup; ++bg)
                        for (int32_t br = gr * kGroup; br < (gr + 1) * kGroup; ++br)
                            if (wanted(br, bg, bb)) FillBlock(group, br, bg, bb, cells);
            }
    });
}

}  // namespace mDither8bpp::detail

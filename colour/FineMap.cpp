#include "FineMap.h"

#include "ByteTable.h"
#include "CpuFeatures.h"
#include "VectorIntrinsics.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace mDither8bpp::detail {
namespace {

// The dither's amplitude: this share of the spacing of the entry nearest to
// the colour, at most kAmplitudeCap. The palette cut from the whole picture
// packs its entries closer than the octree's did, so a stronger share breaks
// up the banding of smooth gradients (butteraugli's worst spots) for less
// PSNR than it used to cost (bench/README.md).
constexpr double kAmplitudeShare = 0.7;
constexpr double kAmplitudeCap = 64.0;

// How far each entry lies from its nearest other entry; 0 for a lone entry.
std::array<double, 256> Spacing(const cPal8bpp& palette) {
    const int32_t count = std::clamp<int32_t>(palette.Entries(), 0, 256);
    const uint8_t* e = palette.lpPalette();
    std::array<int32_t, 256> b{}, g{}, r{};
    for (int32_t j = 0; j < count; ++j) b[j] = e[4 * j], g[j] = e[4 * j + 1], r[j] = e[4 * j + 2];
    std::array<double, 256> spacing{};
    for (int32_t i = 0; i < count; ++i) {
        // Without a branch, the loop runs in vectors: 65 K distances a palette.
        int32_t least = INT32_MAX;
        for (int32_t j = 0; j < count; ++j) {
            const int32_t db = b[i] - b[j], dg = g[i] - g[j], dr = r[i] - r[j];
            const int32_t d = j == i ? INT32_MAX : db * db + dg * dg + dr * dr;
            least = std::min(least, d);
        }
        spacing[i] = least == INT32_MAX ? 0.0 : std::sqrt(static_cast<double>(least));
    }
    return spacing;
}

// Channel At (a bit position: 0 Blue, 8 Green, 16 Red) of eight pixels, plus
// the offset, clamped to 0..255 and shifted down to its cell.
template <int At>
__attribute__((target("avx2"))) inline __m256i DitheredCell(__m256i pixels, __m256i offset) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i v =
        _mm256_add_epi32(_mm256_and_si256(_mm256_srli_epi32(pixels, At), byte), offset);
    return _mm256_srli_epi32(_mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), byte),
                             cNearestMap::kShift);
}

// The mask's ranks 0..255, row by row: void and cluster on a 16 x 16 torus
// with a Gaussian filter of sigma 1.5, from a fixed start of 25 points.
constexpr std::array<uint8_t, 256> kRanks{
    5,   127, 62,  20,  138, 211, 179, 251, 30,  220, 83,  145, 101, 70,  51,  173, 203, 255, 163,
    190, 116, 76,  10,  158, 112, 46,  194, 1,   169, 213, 236, 94,  55,  34,  84,  218, 45,  228,
    99,  201, 69,  139, 247, 115, 40,  135, 18,  121, 185, 144, 109, 6,   175, 148, 28,  238, 171,
    14,  88,  184, 227, 77,  162, 222, 11,  240, 196, 68,  248, 113, 60,  131, 41,  210, 154, 59,
    26,  200, 104, 66,  168, 91,  125, 24,  161, 89,  193, 223, 80,  123, 233, 97,  143, 252, 44,
    133, 31,  214, 49,  229, 205, 36,  2,   150, 182, 17,  35,  176, 119, 8,   183, 230, 72,  147,
    180, 78,  141, 118, 237, 102, 54,  250, 206, 67,  217, 81,  153, 110, 3,   243, 105, 16,  61,
    172, 212, 73,  164, 137, 108, 159, 21,  244, 53,  207, 130, 43,  199, 160, 254, 93,  15,  42,
    198, 9,   87,  50,  197, 126, 96,  188, 170, 86,  225, 120, 32,  189, 134, 231, 122, 239, 181,
    219, 146, 37,  232, 23,  249, 64,  12,  152, 56,  221, 103, 157, 82,  27,  65,  114, 4,   177,
    74,  151, 124, 186, 100, 208, 79,  178, 22,  47,  216, 167, 140, 253, 92,  224, 111, 52,  215,
    25,  136, 246, 0,   128, 242, 71,  192, 98,  39,  187, 57,  204, 13,  165, 38,  75,  195, 48,
    166, 107, 202, 149, 7,   235, 117, 19,  156, 129, 85,  241, 106, 226, 155, 95,  234, 33,  58,
    90,  132, 174, 63,  209, 245, 29,  191, 142,
};

constexpr std::array<int16_t, 256> Thresholds() {
    std::array<int16_t, 256> t{};
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<int16_t>(2 * kRanks[i] + 1 - 256);
    return t;
}

}  // namespace

const std::array<int16_t, 256> cFineMap::kThresholds = Thresholds();

cFineMap::cFineMap(const cPal8bpp& palette) : nearest_(palette) {
    const std::array<double, 256> spacing = Spacing(palette);
    constexpr int32_t side = 1 << kCoarseBits, width = 256 / side;
    for (int32_t b = 0; b < side; ++b)
        for (int32_t g = 0; g < side; ++g)
            for (int32_t r = 0; r < side; ++r) {
                const uint8_t entry = nearest_.Nearest(width * r + width / 2, width * g + width / 2,
                                                       width * b + width / 2);
                amplitude_[Coarse(width * r, width * g, width * b)] = static_cast<uint8_t>(
                    std::lround(std::min(kAmplitudeCap, kAmplitudeShare * spacing[entry])));
            }
}

void cFineMap::PlainRow(const uint8_t* source, uint8_t* target, int32_t first, int32_t width,
                        int32_t y) const {
    for (int32_t x = first; x < width; ++x) target[x] = Index(source + 4 * size_t(x), x, y);
}

// Index for eight pixels at a time from first (0 or a multiple of 16) on, as far as whole steps go;
// returns where it stopped. The arithmetic is the same, lane by lane.
__attribute__((target("avx2"))) int32_t cFineMap::Avx2Row(const uint8_t* source, uint8_t* target,
                                                          int32_t first, int32_t width,
                                                          int32_t y) const {
    const int16_t* thresholds = &kThresholds[(y & (kSide - 1)) * kSide];
    static_assert(kCoarseBits == 3);
    const __m256i low = _mm256_set1_epi32(0x007), middle = _mm256_set1_epi32(0x038),
                  high = _mm256_set1_epi32(0x1C0);
    // The low byte of each 32-bit lane into the lane's first 4 bytes.
    const __m256i lowBytes =
        _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const int* cells = reinterpret_cast<const int*>(nearest_.Cells());
    constexpr int32_t bits = cNearestMap::kBits;
    int32_t x = first;
    for (; x + 8 <= width; x += 8) {
        const __m256i threshold = _mm256_cvtepi16_epi32(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(thresholds + (x & (kSide - 1)))));
        const __m256i p =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * size_t(x)));
        // Red's top 3 bits (bits 21-23) to 0-2, Green's (13-15) to 3-5, Blue's (5-7) to 6-8.
        const __m256i coarse =
            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 21), low),
                            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 10), middle),
                                            _mm256_and_si256(_mm256_slli_epi32(p, 1), high)));
        const __m256i amplitude = _mm256_and_si256(
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(amplitude_.data()), coarse, 1),
            _mm256_set1_epi32(0xFF));
        const __m256i offset = _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_mullo_epi32(amplitude, threshold), _mm256_set1_epi32(256)), 9);
        const __m256i cell = _mm256_or_si256(
            DitheredCell<16>(p, offset),
            _mm256_or_si256(_mm256_slli_epi32(DitheredCell<8>(p, offset), bits),
                            _mm256_slli_epi32(DitheredCell<0>(p, offset), 2 * bits)));
        const __m256i index = _mm256_shuffle_epi8(_mm256_i32gather_epi32(cells, cell, 1), lowBytes);
        const int32_t low = _mm_cvtsi128_si32(_mm256_castsi256_si128(index));
        const int32_t high = _mm_cvtsi128_si32(_mm256_extracti128_si256(index, 1));
        std::memcpy(target + x, &low, 4);
        std::memcpy(target + x + 4, &high, 4);
    }
    return x;
}

// Sixteen pixels at a time, which is one row of the mask; returns where it
// stopped. The channels stay bytes: the offset, at most 32 either way, is
// added with saturation as its positive part and taken away as its negative
// one, which clamps as Clamp does; the cells' and the coarse cells' indices
// are sums of the bytes' shifted values, weighted in two multiply-adds.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t cFineMap::Avx512Row(
    const uint8_t* source, uint8_t* target, int32_t width, int32_t y) const {
    const __m512i threshold = _mm512_cvtepi16_epi32(_mm256_loadu_si256(
        reinterpret_cast<const __m256i*>(&kThresholds[(y & (kSide - 1)) * kSide])));
    const __m512i half = _mm512_set1_epi32(256), zero = _mm512_setzero_si512();
    // Byte 0 of each 32-bit lane into its Blue, Green and Red bytes.
    const __m512i spread = _mm512_broadcast_i32x4(
        _mm_setr_epi8(0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128));
    const __m512i lowSix = _mm512_set1_epi8(0x3F);
    // Per pixel: Blue x 64 + Green, Red x 1 (cells of 6 bits); then x 64 and x 1.
    const __m512i cellPairs = _mm512_set1_epi32(0x00010140),
                  cellSum = _mm512_set1_epi32(0x00010040);
    // The same for the coarse cells of 3 bits, with 8.
    const __m512i lowThree = _mm512_set1_epi8(0x07);
    const __m512i coarsePairs = _mm512_set1_epi32(0x00010108),
                  coarseSum = _mm512_set1_epi32(0x00010008);
    // The amplitude table as two byte tables: a cell's bit 8 picks the table,
    // its low 8 bits the byte.
    static_assert(kCoarseCells == 512);
    const ByteTable256 lowerCells = LoadByteTable(amplitude_.data()),
                       upperCells = LoadByteTable(amplitude_.data() + 256);
    const __m512i bit7 = _mm512_set1_epi32(0x80);
    const __m512i firstByte = _mm512_set1_epi32(0xFF);
    const uint8_t* map = nearest_.Cells();
    static_assert(cNearestMap::kBits == 6);
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m512i p = _mm512_loadu_si512(source + 4 * size_t(x));
        const __m512i threes = _mm512_and_si512(_mm512_srli_epi16(p, 5), lowThree);
        const __m512i coarse =
            _mm512_madd_epi16(_mm512_maddubs_epi16(threes, coarsePairs), coarseSum);
        // Bit 8 of each cell, brought down to bit 7 of the cell's first byte.
        const __mmask64 upper = _mm512_test_epi8_mask(_mm512_srli_epi32(coarse, 1), bit7);
        const __m512i amplitude = _mm512_and_si512(
            _mm512_mask_blend_epi8(upper, LookUp(lowerCells, coarse), LookUp(upperCells, coarse)),
            firstByte);
        const __m512i offset =
            _mm512_srai_epi32(_mm512_add_epi32(_mm512_mullo_epi32(amplitude, threshold), half), 9);
        const __m512i up = _mm512_shuffle_epi8(_mm512_max_epi32(offset, zero), spread);
        const __m512i down =
            _mm512_shuffle_epi8(_mm512_max_epi32(_mm512_sub_epi32(zero, offset), zero), spread);
        const __m512i dithered = _mm512_subs_epu8(_mm512_adds_epu8(p, up), down);
        const __m512i sixes = _mm512_and_si512(_mm512_srli_epi16(dithered, 2), lowSix);
        const __m512i cell = _mm512_madd_epi16(_mm512_maddubs_epi16(sixes, cellPairs), cellSum);
        // Sixteen loads of a byte each: with one gather of sixteen instead,
        // the row took a sixth longer on Zen 4 (the map lies in the second
        // cache, and a gather waits for all its loads at once).
        alignas(64) uint32_t cellOf[16];
        _mm512_store_si512(cellOf, cell);
        for (int32_t k = 0; k < 16; ++k) target[x + k] = map[cellOf[k]];
    }
    return x;
}

void cFineMap::MapRow(const uint8_t* source, uint8_t* target, int32_t width, int32_t y) const {
    int32_t x = 0;
    if (HasAvx512Vbmi()) x = Avx512Row(source, target, width, y);
    if (HasAvx2()) x = Avx2Row(source, target, x, width, y);
    PlainRow(source, target, x, width, y);
}

}  // namespace mDither8bpp::detail

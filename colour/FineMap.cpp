#include "FineMap.h"

#include "CpuFeatures.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <immintrin.h>

namespace mDither8bpp::detail {
namespace {

// The dither's amplitude: this share of the spacing of the entry nearest to
// the colour, at most kAmplitudeCap. Measured on photographs (bench/README.md),
// a stronger dither breaks up more banding (butteraugli) but costs more in
// PSNR and SSIM than it wins; none leaves the banding whole.
constexpr double kAmplitudeShare = 0.35;
constexpr double kAmplitudeCap = 64.0;

// How far each entry lies from its nearest other entry; 0 for a lone entry.
std::array<double, 256> Spacing(const cPal8bpp& palette) {
    const int32_t count = std::clamp<int32_t>(palette.Entries(), 0, 256);
    const uint8_t* e = palette.lpPalette();
    std::array<double, 256> spacing{};
    for (int32_t i = 0; i < count; ++i) {
        int32_t least = -1;
        for (int32_t j = 0; j < count; ++j) {
            if (j == i) continue;
            const int32_t db = e[4 * i] - e[4 * j], dg = e[4 * i + 1] - e[4 * j + 1],
                          dr = e[4 * i + 2] - e[4 * j + 2];
            const int32_t d = db * db + dg * dg + dr * dr;
            if (least < 0 || d < least) least = d;
        }
        spacing[i] = least < 0 ? 0.0 : std::sqrt(static_cast<double>(least));
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

}  // namespace

cFineMap::cFineMap(const cPal8bpp& palette) : nearest_(palette) {
    const std::array<double, 256> spacing = Spacing(palette);
    for (int32_t b = 0; b < 16; ++b)
        for (int32_t g = 0; g < 16; ++g)
            for (int32_t r = 0; r < 16; ++r) {
                const uint8_t entry = nearest_.Nearest(16 * r + 8, 16 * g + 8, 16 * b + 8);
                amplitude_[Coarse(16 * r, 16 * g, 16 * b)] = static_cast<int32_t>(
                    std::lround(std::min(kAmplitudeCap, kAmplitudeShare * spacing[entry])));
            }
}

void cFineMap::PlainRow(const uint8_t* source, uint8_t* target, int32_t first, int32_t width,
                        int32_t row) const {
    for (int32_t x = first; x < width; ++x)
        target[x] = Index(source + 4 * static_cast<size_t>(x), row + (x & 3));
}

// Index for eight pixels at a time; the arithmetic is the same, lane by lane.
__attribute__((target("avx2"))) void cFineMap::Avx2Row(const uint8_t* source, uint8_t* target,
                                                       int32_t width, int32_t row) const {
    const __m256i matrix =
        _mm256_setr_epi32(kMatrix[row], kMatrix[row + 1], kMatrix[row + 2], kMatrix[row + 3],
                          kMatrix[row], kMatrix[row + 1], kMatrix[row + 2], kMatrix[row + 3]);
    const __m256i nibble = _mm256_set1_epi32(0x00F), nibble1 = _mm256_set1_epi32(0x0F0),
                  nibble2 = _mm256_set1_epi32(0xF00);
    // The low byte of each 32-bit lane into the lane's first 4 bytes.
    const __m256i lowBytes =
        _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const int* cells = reinterpret_cast<const int*>(nearest_.Cells());
    constexpr int32_t bits = cNearestMap::kBits;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i p =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * size_t(x)));
        const __m256i coarse =
            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 20), nibble),
                            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(p, 8), nibble1),
                                            _mm256_and_si256(_mm256_slli_epi32(p, 4), nibble2)));
        const __m256i amplitude = _mm256_i32gather_epi32(amplitude_.data(), coarse, 4);
        const __m256i offset = _mm256_srai_epi32(_mm256_mullo_epi32(amplitude, matrix), 5);
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
    PlainRow(source, target, x, width, row);
}

void cFineMap::MapRow(const uint8_t* source, uint8_t* target, int32_t width, int32_t row) const {
    if (HasAvx2())
        Avx2Row(source, target, width, row);
    else
        PlainRow(source, target, 0, width, row);
}

}  // namespace mDither8bpp::detail

#include "ExactRow.h"

#include "ByteTable.h"
#include "CpuFeatures.h"
#include "VectorIntrinsics.h"

#include <array>
#include <cstring>

namespace mDither8bpp::detail {
namespace {

// 16 - t for pixels 0 .. Pixels - 1 of matrix row y & 3 (the matrix row over
// and over), in the Blue, Green and Red lanes of each (0 in the unused one):
// one vector's worth, lanes of type Lane.
template <typename Lane, int32_t Pixels>
struct alignas(64) Offsets {
    std::array<Lane, 4 * Pixels> Lanes{};

    Offsets(int32_t y, const int32_t* matrix16) {
        for (int32_t i = 0; i < Pixels; ++i) {
            const auto o = static_cast<Lane>(16 - matrix16[(y & 3) * 4 + (i & 3)]);
            Lanes[size_t(4 * i)] = Lanes[size_t(4 * i + 1)] = Lanes[size_t(4 * i + 2)] = o;
        }
    }
};

// The level of each byte sum.
constexpr auto kLevelsOf = [] {
    std::array<uint8_t, 256> levels{};
    for (int32_t v = 0; v < 256; ++v) levels[size_t(v)] = static_cast<uint8_t>(v / 17);
    return levels;
};
alignas(64) constexpr std::array<uint8_t, 256> kLevels = kLevelsOf();

// Sixteen pixels a step, all in bytes: a sum v + 16 - t above 255 has level
// 15 as 255 itself has, so the sum may saturate, and a byte's level is a
// lookup in a 256-byte table held in four registers. Per pixel, 16 Blue +
// Green and Red + 0 x unused, then 16 x the first + the second, is its index.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t Avx512Row(const uint8_t* source,
                                                                         uint8_t* target,
                                                                         int32_t width, int32_t y,
                                                                         const int32_t* matrix16,
                                                                         const uint8_t* inverse) {
    const Offsets<uint8_t, 16> offsets(y, matrix16);
    const ByteTable256 levels = LoadByteTable(kLevels.data());
    const __m512i offset = _mm512_load_si512(offsets.Lanes.data());
    const __m512i pairWeights = _mm512_set1_epi32(0x00010110);  // bytes 16, 1, 1, 0
    const __m512i sumWeights = _mm512_set1_epi32(0x00010010);   // words 16, 1
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m512i sums = _mm512_adds_epu8(_mm512_loadu_si512(source + 4 * size_t(x)), offset);
        const __m512i level = LookUp(levels, sums);
        const __m512i index =
            _mm512_madd_epi16(_mm512_maddubs_epi16(level, pairWeights), sumWeights);
        const __m512i entries = _mm512_i32gather_epi32(index, inverse, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + x), _mm512_cvtepi32_epi8(entries));
    }
    return x;
}

// Per pixel of 16-bit lanes Blue, Green, Red, unused: the levels' weights in
// the map's index, Blue x 256 + Green x 16 in one 32-bit sum, Red x 1 in the other.
constexpr int64_t kWeights = 0x0000000100100100;

// Four pixels to their map indices, in the low 32 bits of each 64-bit lane.
__attribute__((target("avx2"))) inline __m256i Indices4(__m256i lanes, __m256i offset) {
    const __m256i levels = _mm256_srli_epi16(
        _mm256_mullo_epi16(_mm256_add_epi16(lanes, offset), _mm256_set1_epi16(241)), 12);
    const __m256i sums = _mm256_madd_epi16(levels, _mm256_set1_epi64x(kWeights));
    return _mm256_add_epi32(sums, _mm256_srli_epi64(sums, 32));
}

// From first (a multiple of 8) on.
__attribute__((target("avx2"))) int32_t Avx2Row(const uint8_t* source, uint8_t* target,
                                                int32_t first, int32_t width, int32_t y,
                                                const int32_t* matrix16, const uint8_t* inverse) {
    const Offsets<int16_t, 4> offsets(y, matrix16);
    const __m256i offset =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(offsets.Lanes.data()));
    // The low 32 bits of the four 64-bit lanes of two registers, in order.
    const __m256i evens = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    int32_t x = first;
    for (; x + 8 <= width; x += 8) {
        const __m256i p =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * size_t(x)));
        const __m256i low = Indices4(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(p)), offset);
        const __m256i high = Indices4(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(p, 1)), offset);
        const __m256i index = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(low, evens),
                                                 _mm256_permutevar8x32_epi32(high, evens), 0xF0);
        const __m256i entries =
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(inverse), index, 1);
        // The low byte of each 32-bit lane, eight of them.
        const __m256i bytes = _mm256_shuffle_epi8(
            entries, _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                      0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
        const int32_t first = _mm_cvtsi128_si32(_mm256_castsi256_si128(bytes));
        const int32_t second = _mm_cvtsi128_si32(_mm256_extracti128_si256(bytes, 1));
        std::memcpy(target + x, &first, 4);
        std::memcpy(target + x + 4, &second, 4);
    }
    return x;
}

}  // namespace

int32_t ExactRowVector(const uint8_t* source, uint8_t* target, int32_t width, int32_t y,
                       const int32_t* matrix16, const uint8_t* inverse) {
    // AVX-512 (with byte permutes) as far as whole steps of 16 go, then AVX2 for a step of 8.
    int32_t x = 0;
    if (HasAvx512Vbmi()) x = Avx512Row(source, target, width, y, matrix16, inverse);
    if (HasAvx2()) x = Avx2Row(source, target, x, width, y, matrix16, inverse);
    return x;
}

}  // namespace mDither8bpp::detail

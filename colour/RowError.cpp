// Eight pixels at a time where the processor has AVX2 (the entries' colours
// fetched by one gather), one at a time elsewhere: the same sum either way.

#include "RowError.h"

#include "CpuFeatures.h"

#include <cstring>

#include <immintrin.h>

namespace mDither8bpp::detail {
namespace {

uint64_t PlainRowError(const uint8_t* source, const uint8_t* indices, int32_t first, int32_t width,
                       const uint8_t* colourTable) {
    uint64_t sum = 0;
    for (int32_t x = first; x < width; ++x) {
        const uint8_t* s = source + 4 * static_cast<size_t>(x);
        const uint8_t* c = colourTable + 4 * static_cast<size_t>(indices[x]);
        const int32_t db = c[0] - s[0], dg = c[1] - s[1], dr = c[2] - s[2];
        sum += static_cast<uint32_t>(db * db + dg * dg + dr * dr);
    }
    return sum;
}

// The squares of eight pixels' differences, added to lanes.
__attribute__((target("avx2"))) inline __m256i AddEight(__m256i lanes, const uint8_t* source,
                                                        const uint8_t* indices, const int* table) {
    const __m256i colourBytes = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i s =
        _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source)), colourBytes);
    int64_t eight;
    std::memcpy(&eight, indices, 8);
    const __m256i index = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(eight));
    const __m256i c = _mm256_and_si256(_mm256_i32gather_epi32(table, index, 4), colourBytes);
    const __m256i dLow = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(s)),
                                          _mm256_cvtepu8_epi16(_mm256_castsi256_si128(c)));
    const __m256i dHigh = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(s, 1)),
                                           _mm256_cvtepu8_epi16(_mm256_extracti128_si256(c, 1)));
    return _mm256_add_epi32(_mm256_add_epi32(lanes, _mm256_madd_epi16(dLow, dLow)),
                            _mm256_madd_epi16(dHigh, dHigh));
}

__attribute__((target("avx2"))) uint64_t Avx2RowError(const uint8_t* source, const uint8_t* indices,
                                                      int32_t width, const uint8_t* colourTable) {
    const int* table = reinterpret_cast<const int*>(colourTable);
    uint64_t sum = 0;
    int32_t x = 0;
    while (x + 16 <= width) {
        // A 32-bit lane gains at most 4 x 255² a step: flushed well before it could wrap.
        // Two sets of lanes let one gather wait while the other's sums go on.
        __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
        for (int32_t n = 0; n < 1024 && x + 16 <= width; ++n, x += 16) {
            even = AddEight(even, source + 4 * size_t(x), indices + x, table);
            odd = AddEight(odd, source + 4 * size_t(x + 8), indices + x + 8, table);
        }
        alignas(32) uint32_t parts[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(parts), _mm256_add_epi32(even, odd));
        for (uint32_t part : parts) sum += part;
    }
    return sum + PlainRowError(source, indices, x, width, colourTable);
}

}  // namespace

uint64_t RowSquaredError(const uint8_t* source, const uint8_t* indices, int32_t width,
                         const uint8_t* colourTable) {
    if (HasAvx2()) return Avx2RowError(source, indices, width, colourTable);
    return PlainRowError(source, indices, 0, width, colourTable);
}

}  // namespace mDither8bpp::detail

// Sixty-four pixels at a time where the processor has AVX-512 byte permutes
// (each channel of the colour table held in registers, so an entry's colour
// is a permute, not a load), eight where it has AVX2 (the entries' colours
// fetched by one gather), one at a time elsewhere: the same sum every way.

#include "RowError.h"

#include "ByteTable.h"
#include "CpuFeatures.h"
#include "VectorIntrinsics.h"

#include <cstring>

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

// Byte `channel` of each of the 64 pixels in four registers, in pixel order.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Channel(
    const __m512i (&pixels)[4], __m512i picks) {
    const __m512i first = _mm512_permutex2var_epi8(pixels[0], picks, pixels[1]);
    const __m512i second = _mm512_permutex2var_epi8(pixels[2], picks, pixels[3]);
    return _mm512_mask_blend_epi8(0xFFFFFFFF00000000ull, first, second);
}

// The squares of 64 byte differences, added to 32-bit lanes.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i AddSquares(__m512i lanes,
                                                                                 __m512i a,
                                                                                 __m512i b) {
    const __m512i d = _mm512_sub_epi8(_mm512_max_epu8(a, b), _mm512_min_epu8(a, b));
    const __m512i zero = _mm512_setzero_si512();
    const __m512i low = _mm512_unpacklo_epi8(d, zero), high = _mm512_unpackhi_epi8(d, zero);
    return _mm512_add_epi32(
        lanes, _mm512_add_epi32(_mm512_madd_epi16(low, low), _mm512_madd_epi16(high, high)));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) uint64_t Avx512RowError(
    const uint8_t* source, const uint8_t* indices, int32_t width, const uint8_t* colourTable) {
    // Position j of the first 32 picks byte 4j + channel of two registers;
    // the second permute's picks serve positions 32-63 the same way.
    alignas(64) static constexpr uint8_t kFourths[64] = {
        0,  4,  8,  12, 16, 20, 24, 28, 32, 36,  40,  44,  48,  52,  56,  60,
        64, 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112, 116, 120, 124,
        0,  4,  8,  12, 16, 20, 24, 28, 32, 36,  40,  44,  48,  52,  56,  60,
        64, 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 108, 112, 116, 120, 124};
    const __m512i fourths = _mm512_load_si512(kFourths);
    const __m512i picks[3] = {fourths, _mm512_add_epi8(fourths, _mm512_set1_epi8(1)),
                              _mm512_add_epi8(fourths, _mm512_set1_epi8(2))};
    // The colour table is read like 256 pixels, one byte table a channel.
    ByteTable256 tables[3];
    for (int32_t k = 0; k < 4; ++k) {
        const uint8_t* t = colourTable + 256 * k;
        const __m512i entries[4] = {_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64),
                                    _mm512_loadu_si512(t + 128), _mm512_loadu_si512(t + 192)};
        for (int32_t channel = 0; channel < 3; ++channel)
            tables[channel].Part[k] = Channel(entries, picks[channel]);
    }
    uint64_t sum = 0;
    int32_t x = 0;
    while (x + 64 <= width) {
        // A 32-bit lane gains at most 12 x 255² a step: flushed well before it could wrap.
        __m512i lanes = _mm512_setzero_si512();
        for (int32_t n = 0; n < 1024 && x + 64 <= width; ++n, x += 64) {
            const uint8_t* s = source + 4 * size_t(x);
            const __m512i pixels[4] = {_mm512_loadu_si512(s), _mm512_loadu_si512(s + 64),
                                       _mm512_loadu_si512(s + 128), _mm512_loadu_si512(s + 192)};
            const __m512i index = _mm512_loadu_si512(indices + x);
            for (int32_t channel = 0; channel < 3; ++channel)
                lanes = AddSquares(lanes, Channel(pixels, picks[channel]),
                                   LookUp(tables[channel], index));
        }
        alignas(64) uint32_t parts[16];
        _mm512_store_si512(parts, lanes);
        for (uint32_t part : parts) sum += part;
    }
    // Every processor with these permutes has AVX2 too.
    return sum + Avx2RowError(source + 4 * size_t(x), indices + x, width - x, colourTable);
}

}  // namespace

uint64_t RowSquaredError(const uint8_t* source, const uint8_t* indices, int32_t width,
                         const uint8_t* colourTable) {
    if (HasAvx512Vbmi()) return Avx512RowError(source, indices, width, colourTable);
    if (HasAvx2()) return Avx2RowError(source, indices, width, colourTable);
    return PlainRowError(source, indices, 0, width, colourTable);
}

}  // namespace mDither8bpp::detail

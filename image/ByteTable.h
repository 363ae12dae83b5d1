#pragma once
// A 256-entry byte table held in four 64-byte vector registers (entries 0-63,
// 64-127, 128-191, 192-255) and looked up for 64 bytes at once by byte
// permutes (AVX-512 VBMI): no load per byte, no gather.

#include "VectorIntrinsics.h"

#include <cstdint>

struct ByteTable256 {
    __m512i Part[4];
};

// The table of the 256 bytes at table (aligned or not).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline ByteTable256 LoadByteTable(
    const uint8_t* table) {
    return {{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
             _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)}};
}

// The table's byte for each of 64 indices: bit 7 picks the half, bits 0-6
// the byte within it.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i LookUp(
    const ByteTable256& table, __m512i index) {
    const __m512i low = _mm512_permutex2var_epi8(table.Part[0], index, table.Part[1]);
    const __m512i high = _mm512_permutex2var_epi8(table.Part[2], index, table.Part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

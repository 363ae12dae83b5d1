#include "JpegPlanes.h"

#include "ByteTable.h"
#include "CpuFeatures.h"

#include <algorithm>
#include <cstring>

namespace {

// The library's conversion: 16 fraction bits, Y rounded half up, Cb and Cr
// rounded with half less one so that nothing exceeds 255.
constexpr int32_t kScaleBits = 16;
constexpr int32_t Fix(double x) { return static_cast<int32_t>(x * (1 << kScaleBits) + 0.5); }
constexpr int32_t kHalf = 1 << (kScaleBits - 1);
constexpr int32_t kChromaOffset = (128 << kScaleBits) + kHalf - 1;

int32_t Blocks(int32_t samples) { return (samples + 7) / 8 * 8; }

// Y of 64 entries a step; returns where it stopped.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t YRow64(const uint8_t* row,
                                                                      int32_t width,
                                                                      const uint8_t* levels,
                                                                      uint8_t* out) {
    const ByteTable256 y = LoadByteTable(levels);
    int32_t x = 0;
    for (; x + 64 <= width; x += 64)
        _mm512_storeu_si512(out + x, LookUp(y, _mm512_loadu_si512(row + x)));
    return x;
}

// Cb or Cr of 32 blocks of 2 x 2 a step, from 64 pixels of two rows; returns
// the first block it did not do.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int32_t ChromaRow64(const uint8_t* upper,
                                                                           const uint8_t* lower,
                                                                           int32_t width,
                                                                           const uint8_t* levels,
                                                                           uint8_t* out) {
    const ByteTable256 table = LoadByteTable(levels);
    const __m512i ones = _mm512_set1_epi8(1);
    // Block j is rounded with 1 when j is even, 2 when odd; a step starts even.
    const __m512i rounding = _mm512_set1_epi32(0x00020001);
    int32_t x = 0;
    for (; x + 64 <= width; x += 64) {
        const __m512i pairsUp =
            _mm512_maddubs_epi16(LookUp(table, _mm512_loadu_si512(upper + x)), ones);
        const __m512i pairsDown =
            _mm512_maddubs_epi16(LookUp(table, _mm512_loadu_si512(lower + x)), ones);
        const __m512i sums = _mm512_add_epi16(_mm512_add_epi16(pairsUp, pairsDown), rounding);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x / 2),
                            _mm512_cvtepi16_epi8(_mm512_srli_epi16(sums, 2)));
    }
    return x / 2;
}

}  // namespace

cJpegPlanes::cJpegPlanes(int32_t width, const uint8_t* colourTable)
    : width_(width), yWidth_(Blocks(width)), chromaWidth_(Blocks((width + 1) / 2)) {
    for (int32_t i = 0; i < 256; ++i) {
        const int32_t b = colourTable[4 * i], g = colourTable[4 * i + 1],
                      r = colourTable[4 * i + 2];
        const auto level = [](int32_t sum) { return static_cast<uint8_t>(sum >> kScaleBits); };
        levels_[0][size_t(i)] =
            level(Fix(0.29900) * r + Fix(0.58700) * g + Fix(0.11400) * b + kHalf);
        levels_[1][size_t(i)] =
            level(-Fix(0.16874) * r - Fix(0.33126) * g + Fix(0.50000) * b + kChromaOffset);
        levels_[2][size_t(i)] =
            level(Fix(0.50000) * r - Fix(0.41869) * g - Fix(0.08131) * b + kChromaOffset);
    }
    // A vector step may read up to 63 bytes past a row's last pixel.
    y_.resize(static_cast<size_t>(yWidth_) * kRows + 64);
    cb_.resize(static_cast<size_t>(chromaWidth_) * kRows / 2 + 64);
    cr_.resize(cb_.size());
    upper_.resize(static_cast<size_t>(width) + 64);
    for (int32_t i = 0; i < kRows; ++i) {
        rowPointers_[0][size_t(i)] = y_.data() + static_cast<size_t>(i) * yWidth_;
        if (i >= kRows / 2) continue;
        rowPointers_[1][size_t(i)] = cb_.data() + static_cast<size_t>(i) * chromaWidth_;
        rowPointers_[2][size_t(i)] = cr_.data() + static_cast<size_t>(i) * chromaWidth_;
    }
    for (size_t c = 0; c < 3; ++c) planes_[c] = rowPointers_[c].data();
}

void cJpegPlanes::YRow(const uint8_t* row, uint8_t* out) const {
    const uint8_t* levels = levels_[0].data();
    int32_t x = HasAvx512Vbmi() ? YRow64(row, width_, levels, out) : 0;
    for (; x < width_; ++x) out[x] = levels[row[x]];
    std::fill(out + width_, out + yWidth_, out[width_ - 1]);
}

void cJpegPlanes::ChromaRows(const uint8_t* upper, const uint8_t* lower, int32_t chromaRow) {
    for (size_t c = 1; c < 3; ++c) {
        const uint8_t* levels = levels_[c].data();
        uint8_t* out = rowPointers_[c][size_t(chromaRow)];
        int32_t j = HasAvx512Vbmi() ? ChromaRow64(upper, lower, width_, levels, out) : 0;
        for (; j < chromaWidth_; ++j) {
            // Past the row's end its last pixel repeats.
            const int32_t left = std::min(2 * j, width_ - 1),
                          right = std::min(2 * j + 1, width_ - 1);
            const int32_t sum = levels[upper[left]] + levels[upper[right]] + levels[lower[left]] +
                                levels[lower[right]];
            out[j] = static_cast<uint8_t>((sum + 1 + (j & 1)) >> 2);
        }
    }
}

void cJpegPlanes::AddRow(const uint8_t* row) {
    YRow(row, rowPointers_[0][size_t(rows_)]);
    if (rows_ % 2 == 0)
        std::memcpy(upper_.data(), row, static_cast<size_t>(width_));
    else
        ChromaRows(upper_.data(), row, rows_ / 2);
    ++rows_;
}

void cJpegPlanes::FillBottom() {
    if (rows_ == 0) return;
    if (rows_ % 2 == 1) {
        ChromaRows(upper_.data(), upper_.data(), rows_ / 2);
        std::memcpy(rowPointers_[0][size_t(rows_)], rowPointers_[0][size_t(rows_ - 1)],
                    static_cast<size_t>(yWidth_));
        ++rows_;
    }
    for (int32_t i = rows_; i < kRows; ++i)
        std::memcpy(rowPointers_[0][size_t(i)], rowPointers_[0][size_t(rows_ - 1)],
                    static_cast<size_t>(yWidth_));
    for (int32_t i = rows_ / 2; i < kRows / 2; ++i)
        for (size_t c = 1; c < 3; ++c)
            std::memcpy(rowPointers_[c][size_t(i)], rowPointers_[c][size_t(rows_ / 2 - 1)],
                        static_cast<size_t>(chromaWidth_));
    rows_ = kRows;
}

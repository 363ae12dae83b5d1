// 32-bpp to 8-bpp conversion: palette choice, inverse colour map and the two
// ordered-dithering pixel loops.

#include "mDither8bpp.h"

#include "BandPool.h"
#include "DitherTables.h"
#include "PaletteSample.h"
#include "cDIB.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <array>
#include <cstring>

namespace mDither8bpp {
namespace {

constexpr int32_t kCubeMode = 0;
constexpr int32_t kOptimalMode = 1;

// One conversion's state. Conversions may run on several threads at once, so
// each thread keeps its own.
thread_local int32_t tPaletteMode = kCubeMode;
thread_local std::array<uint8_t, 4096> tInverseColorMap{};
thread_local std::array<uint8_t, 1024> tPaletteBuffer{};

// Both loops walk memory rows (row 0 is the bottom of the picture), so the
// matrix is anchored at the bottom-left pixel. Source pixels are Blue, Green,
// Red, unused; the unused byte is never read. Every pixel depends on its own
// source pixel and position only, so bands of rows go to several threads and
// give the same bytes as one; map carries the calling thread's inverse map.
template <typename Tables, typename Map>
void DitherRows(const cDIB& source, cDIB& target, const Tables& tables, Map map) {
    const int32_t width = source.Width();
    const size_t sourceStride = 4 * static_cast<size_t>(width);
    const size_t targetStride = static_cast<size_t>(target.BytesPerScanline());
    const uint8_t* sourceBits = source.lpBits();
    uint8_t* targetBits = target.lpBits();
    parallel::ForEachBand(source.Height(), width, [&](int32_t first, int32_t count) {
        for (int32_t y = first; y < first + count; ++y) {
            const uint8_t* src = sourceBits + static_cast<size_t>(y) * sourceStride;
            uint8_t* dst = targetBits + static_cast<size_t>(y) * targetStride;
            const int32_t row = (y & 3) * 4;
            const auto pixel = [&](int32_t x, int32_t p) {
                const uint8_t* s = src + 4 * static_cast<size_t>(x);
                dst[x] = map(tables.R[p][s[2]] + tables.G[p][s[1]] + tables.B[p][s[0]]);
            };
            int32_t x = 0;
            for (; x + 4 <= width; x += 4) {
                pixel(x, row);
                pixel(x + 1, row + 1);
                pixel(x + 2, row + 2);
                pixel(x + 3, row + 3);
            }
            for (; x < width; ++x) pixel(x, row + (x & 3));
        }
    });
}

void DitherToOptimal(const cDIB& source, cDIB& target) {
    const uint8_t* inverse = tInverseColorMap.data();
    DitherRows(source, target, detail::OptimalTables(),
               [inverse](int32_t levels) { return inverse[levels]; });
}

// The cube's entry number is the level sum itself.
void DitherToHalftone(const cDIB& source, cDIB& target) {
    DitherRows(source, target, detail::CubeTables(),
               [](int32_t levels) { return static_cast<uint8_t>(levels); });
}

}  // namespace

void SetPaletteMode(int32_t mode) { tPaletteMode = mode; }
int32_t PaletteMode() { return tPaletteMode; }
const uint8_t* InverseColorMap() { return tInverseColorMap.data(); }

void BuildInverseColorMap(const cPal8bpp& palette) {
    for (int32_t b = 0; b < 16; ++b)
        for (int32_t g = 0; g < 16; ++g)
            for (int32_t r = 0; r < 16; ++r)
                palette.ClosestIndex(static_cast<uint8_t>(17 * r), static_cast<uint8_t>(17 * g),
                                     static_cast<uint8_t>(17 * b),
                                     tInverseColorMap[r + 16 * g + 256 * b]);
}

void DitherTo8bpp(const cDIB& source, cDIB& target) {
    // A forgotten start-up call would otherwise turn every picture into one colour.
    InitDitherTables();

    const int32_t mode = tPaletteMode;
    if (mode != kCubeMode && mode != kOptimalMode) throw cError::Subscript();  // no palette to read
    // Reading 4 bytes a pixel from anything else would run past its pixel memory.
    if (source.BPP() != 32 || source.hDIB() == 0)
        throw cError(ErrorNumber::InvalidCall, "Invalid procedure call or argument");

    cPal8bpp palette;
    if (mode == kCubeMode) {
        palette.CreateHalftone(4);
    } else {
        cDIB scratch;
        palette.CreateOptimal(PaletteSample(source, scratch), 256, 8, 1.0f, 1.0f, 1.0f);
        BuildInverseColorMap(palette);
    }
    std::memcpy(tPaletteBuffer.data(), palette.lpPalette(), tPaletteBuffer.size());

    if (!target.Create(source.Width(), source.Height(), 8))
        throw cError::Subscript();  // no rows to write
    target.SetPalette(tPaletteBuffer);

    if (mode == kCubeMode)
        DitherToHalftone(source, target);
    else
        DitherToOptimal(source, target);
}

}  // namespace mDither8bpp

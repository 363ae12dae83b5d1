// 32-bpp to 8-bpp conversion: palette choice, inverse colour map, and the
// pixel loops of the exact and the fine mapping.

#include "mDither8bpp.h"

#include "BandPool.h"
#include "DitherTables.h"
#include "FewColours.h"
#include "FineMap.h"
#include "PaletteRefine.h"
#include "PaletteSample.h"
#include "RowError.h"
#include "cDIB.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

namespace mDither8bpp {
namespace {

constexpr int32_t kCubeMode = 0;
constexpr int32_t kOptimalMode = 1;

// One conversion's state. Conversions may run on several threads at once, so
// each thread keeps its own.
thread_local int32_t tPaletteMode = kCubeMode;
thread_local std::array<uint8_t, 4096> tInverseColorMap{};
thread_local std::array<uint8_t, 1024> tPaletteBuffer{};

// Every loop walks memory rows (row 0 is the bottom of the picture), so the
// matrix is anchored at the bottom-left pixel. Source pixels are Blue, Green,
// Red, unused; the unused byte is never read. Every pixel depends on its own
// source pixel and position only, so bands of rows go to several threads and
// give the same bytes as one; mapRow(source row, target row, width, y)
// carries what the calling thread built for this conversion. Asked to,
// the error of each row is summed right after the row is written, in whole
// numbers: the total is the same in any order of bands.
template <typename MapRow>
RgbError MapRows(const cDIB& source, cDIB& target, const uint8_t* colourTable, bool measure,
                 MapRow mapRow) {
    const int32_t width = source.Width();
    const size_t sourceStride = 4 * static_cast<size_t>(width);
    const size_t targetStride = static_cast<size_t>(target.BytesPerScanline());
    const uint8_t* sourceBits = source.lpBits();
    uint8_t* targetBits = target.lpBits();
    std::atomic<uint64_t> total{0};
    parallel::ForEachBand(source.Height(), width, [&](int32_t first, int32_t count) {
        uint64_t sum = 0;
        for (int32_t y = first; y < first + count; ++y) {
            const uint8_t* src = sourceBits + static_cast<size_t>(y) * sourceStride;
            uint8_t* dst = targetBits + static_cast<size_t>(y) * targetStride;
            mapRow(src, dst, width, y);
            if (measure) sum += detail::RowSquaredError(src, dst, width, colourTable);
        }
        total.fetch_add(sum, std::memory_order_relaxed);
    });
    if (!measure) return {};
    return {total.load(),
            3 * static_cast<uint64_t>(width) * static_cast<uint64_t>(source.Height())};
}

// The exact mapping's row: three lookups and an add give the map's index.
template <typename Tables, typename Map>
void DitherRow(const uint8_t* src, uint8_t* dst, int32_t width, int32_t row, const Tables& tables,
               Map map) {
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

RgbError DitherToOptimal(const cDIB& source, cDIB& target, const uint8_t* colourTable,
                         bool measure) {
    const uint8_t* inverse = tInverseColorMap.data();
    const detail::PositionTables16& tables = detail::OptimalTables();
    return MapRows(source, target, colourTable, measure,
                   [inverse, &tables](const uint8_t* src, uint8_t* dst, int32_t width, int32_t y) {
                       DitherRow(src, dst, width, (y & 3) * 4, tables,
                                 [inverse](int32_t levels) { return inverse[levels]; });
                   });
}

// The cube's entry number is the level sum itself.
RgbError DitherToHalftone(const cDIB& source, cDIB& target, const uint8_t* colourTable,
                          bool measure) {
    const detail::PositionTables6& tables = detail::CubeTables();
    return MapRows(source, target, colourTable, measure,
                   [&tables](const uint8_t* src, uint8_t* dst, int32_t width, int32_t y) {
                       DitherRow(src, dst, width, (y & 3) * 4, tables,
                                 [](int32_t levels) { return static_cast<uint8_t>(levels); });
                   });
}

RgbError DitherToFine(const cDIB& source, cDIB& target, const uint8_t* colourTable, bool measure,
                      const detail::cFineMap& fine) {
    return MapRows(source, target, colourTable, measure,
                   [&fine](const uint8_t* src, uint8_t* dst, int32_t width, int32_t y) {
                       fine.MapRow(src, dst, width, y);
                   });
}

RgbError MapFewColours(const cDIB& source, cDIB& target, const uint8_t* colourTable, bool measure,
                       const detail::cFewColours& colours) {
    return MapRows(source, target, colourTable, measure,
                   [&colours](const uint8_t* src, uint8_t* dst, int32_t width, int32_t) {
                       for (int32_t x = 0; x < width; ++x)
                           dst[x] = colours.Index(src + 4 * static_cast<size_t>(x));
                   });
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

const char* MappingName(Mapping mapping) { return mapping == Mapping::Fine ? "fine" : "exact"; }

RgbError DitherTo8bpp(const cDIB& source, cDIB& target, const DitherChoice& choice) {
    // A forgotten start-up call would otherwise turn every picture into one colour.
    InitDitherTables();

    const int32_t mode = choice.PaletteMode;
    if (mode != kCubeMode && mode != kOptimalMode) throw cError::Subscript();  // no palette to read
    // Reading 4 bytes a pixel from anything else would run past its pixel memory.
    if (source.BPP() != 32 || source.hDIB() == 0)
        throw cError(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
    const bool fine = choice.PixelMapping == Mapping::Fine;

    cPal8bpp palette;
    std::optional<detail::cFewColours> few;
    std::optional<detail::cFineMap> fineMap;
    if (fine && few.emplace().Collect(source))
        few->FillPalette(palette);
    else
        few.reset();
    if (!few) {
        if (mode == kCubeMode) {
            palette.CreateHalftone(4);
        } else {
            cDIB scratch;
            palette.CreateOptimal(PaletteSample(source, scratch), 256, 8, 1.0f, 1.0f, 1.0f);
            if (fine) detail::RefineEntries(palette, source, detail::kRefineSteps);
        }
        if (fine)
            fineMap.emplace(palette);
        else if (mode == kOptimalMode)
            BuildInverseColorMap(palette);
    }
    std::memcpy(tPaletteBuffer.data(), palette.lpPalette(), tPaletteBuffer.size());

    if (!target.Create(source.Width(), source.Height(), 8))
        throw cError::Subscript();  // no rows to write
    target.SetPalette(tPaletteBuffer);

    const uint8_t* colours = tPaletteBuffer.data();  // read by this thread's bands only
    const bool measure = choice.MeasureError;
    if (few) return MapFewColours(source, target, colours, measure, *few);
    if (fineMap) return DitherToFine(source, target, colours, measure, *fineMap);
    if (mode == kCubeMode) return DitherToHalftone(source, target, colours, measure);
    return DitherToOptimal(source, target, colours, measure);
}

void DitherTo8bpp(const cDIB& source, cDIB& target) {
    DitherTo8bpp(source, target, DitherChoice{tPaletteMode, Mapping::Exact, false});
}

}  // namespace mDither8bpp

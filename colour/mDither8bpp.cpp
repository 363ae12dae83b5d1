// 32-bpp to 8-bpp conversion: palette choice, inverse colour map, and the
// pixel loops of the exact and the fine mapping.

#include "mDither8bpp.h"

#include "BandPool.h"
#include "DitherTables.h"
#include "ExactRow.h"
#include "FewColours.h"
#include "FineMap.h"
#include "PaletteRefine.h"
#include "PaletteSample.h"
#include "RowError.h"
#include "cDIB.h"
#include "cError.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

namespace mDither8bpp {
namespace {

constexpr int32_t kCubeMode = 0;
constexpr int32_t kOptimalMode = 1;

// The palette mode of the two-argument conversion and the inverse colour
// map of the last conversion, for read access: each thread keeps its own,
// so conversions may run on several threads at once.
thread_local int32_t tPaletteMode = kCubeMode;
thread_local std::array<uint8_t, 4096> tInverseColorMap{};

// Every loop walks memory rows (row 0 is the bottom of the picture), so the
// matrix is anchored at the bottom-left pixel. Source pixels are Blue, Green,
// Red, unused; the unused byte is never read. Every pixel depends on its own
// source pixel and position only, so bands of rows go to several threads and
// give the same bytes as one; mapRow(source row, target row, width, y, the
// picture's memory row) carries what the plan built. Asked to, the error of each row is summed
// right after the row is written, in whole numbers: the total is the same in
// any order of bands.
template <typename MapRow>
RgbError MapRows(const uint8_t* sourceBits, uint8_t* targetBits, size_t targetStride, int32_t width,
                 int32_t firstRow, int32_t count, const uint8_t* colourTable, bool measure,
                 MapRow mapRow) {
    const size_t sourceStride = 4 * static_cast<size_t>(width);
    std::atomic<uint64_t> total{0};
    parallel::ForEachBand(count, width, [&](int32_t first, int32_t rows) {
        uint64_t sum = 0;
        for (int32_t y = first; y < first + rows; ++y) {
            const uint8_t* src = sourceBits + static_cast<size_t>(y) * sourceStride;
            uint8_t* dst = targetBits + static_cast<size_t>(y) * targetStride;
            mapRow(src, dst, width, firstRow + y);
            if (measure) sum += detail::RowSquaredError(src, dst, width, colourTable);
        }
        total.fetch_add(sum, std::memory_order_relaxed);
    });
    if (!measure) return {};
    return {total.load(), 3 * static_cast<uint64_t>(width) * static_cast<uint64_t>(count)};
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

void FillInverseColorMap(const cPal8bpp& palette, uint8_t* map) {
    for (int32_t b = 0; b < 16; ++b)
        for (int32_t g = 0; g < 16; ++g)
            for (int32_t r = 0; r < 16; ++r)
                palette.ClosestIndex(static_cast<uint8_t>(17 * r), static_cast<uint8_t>(17 * g),
                                     static_cast<uint8_t>(17 * b), map[r + 16 * g + 256 * b]);
}

void RequireConvertible(const cDIB& source) {
    // Reading 4 bytes a pixel from anything else would run past its pixel memory.
    if (source.BPP() != 32 || source.hDIB() == 0)
        throw cError(ErrorNumber::InvalidCall, "Invalid procedure call or argument");
}

}  // namespace

struct cDitherPlan::Maps {
    int32_t Mode = kOptimalMode;
    // The inverse colour map of the exact mapping over the optimal palette,
    // and 3 bytes that a 4-byte read of its last entry may touch.
    std::array<uint8_t, 4096 + 3> Inverse{};
    std::optional<detail::cFewColours> Few;
    std::optional<detail::cFineMap> Fine;
};

cDitherPlan::cDitherPlan() : maps_(std::make_unique<Maps>()) {
    // A forgotten start-up call would otherwise turn every picture into one colour.
    InitDitherTables();
}

cDitherPlan::cDitherPlan(cDitherPlan&&) noexcept = default;
cDitherPlan::~cDitherPlan() = default;

cDitherPlan::cDitherPlan(const cDIB& source, const DitherChoice& choice) : cDitherPlan() {
    const int32_t mode = choice.PaletteMode;
    if (mode != kCubeMode && mode != kOptimalMode) throw cError::Subscript();  // no palette to read
    RequireConvertible(source);
    cDIB scratch;
    // The fine palette reads the whole picture: only the exact one needs the sample.
    const bool sampled = mode == kOptimalMode && choice.PixelMapping == Mapping::Exact;
    Choose(mode, choice.PixelMapping, source.Width(), source.Height(), RowsOf(source),
           sampled ? &PaletteSample(source, scratch) : nullptr);
}

cDitherPlan cDitherPlan::FromRows(int32_t width, int32_t height, const cDIB& sample,
                                  const PictureRows& rows, Mapping mapping) {
    if (mapping == Mapping::Exact) RequireConvertible(sample);
    cDitherPlan plan;
    plan.Choose(kOptimalMode, mapping, width, height, rows, &sample);
    return plan;
}

void cDitherPlan::Choose(int32_t mode, Mapping mapping, int32_t width, int32_t height,
                         const PictureRows& rows, const cDIB* sample) {
    maps_->Mode = mode;
    const bool fine = mapping == Mapping::Fine;
    cPal8bpp palette;
    if (fine && maps_->Few.emplace().Collect(width, height, rows))
        maps_->Few->FillPalette(palette);
    else
        maps_->Few.reset();
    if (!maps_->Few) {
        if (mode == kCubeMode)
            palette.CreateHalftone(4);
        else if (fine)
            detail::FinePalette(palette, width, height, rows);
        else
            palette.CreateOptimal(*sample, 256, 8, 1.0f, 1.0f, 1.0f);
        if (fine)
            maps_->Fine.emplace(palette);
        else if (mode == kOptimalMode)
            FillInverseColorMap(palette, maps_->Inverse.data());
    }
    std::memcpy(colours_.data(), palette.lpPalette(), colours_.size());
}

RgbError cDitherPlan::DitherRows(const uint8_t* source, uint8_t* target, size_t targetStride,
                                 int32_t width, int32_t first, int32_t count, bool measure) const {
    const uint8_t* colours = colours_.data();
    const auto rows = [&](auto mapRow) {
        return MapRows(source, target, targetStride, width, first, count, colours, measure, mapRow);
    };
    if (const auto& few = maps_->Few)
        return rows([&few](const uint8_t* src, uint8_t* dst, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) dst[x] = few->Index(src + 4 * static_cast<size_t>(x));
        });
    if (const auto& fine = maps_->Fine)
        return rows([&fine](const uint8_t* src, uint8_t* dst, int32_t w, int32_t y) {
            fine->MapRow(src, dst, w, y);
        });
    if (maps_->Mode == kCubeMode) {
        // The cube's entry number is the level sum itself.
        const detail::PositionTables6& tables = detail::CubeTables();
        return rows([&tables](const uint8_t* src, uint8_t* dst, int32_t w, int32_t y) {
            DitherRow(src, dst, w, (y & 3) * 4, tables,
                      [](int32_t levels) { return static_cast<uint8_t>(levels); });
        });
    }
    const uint8_t* inverse = maps_->Inverse.data();
    const detail::PositionTables16& tables = detail::OptimalTables();
    const int32_t* matrix = DitherMatrix16();
    return rows([inverse, &tables, matrix](const uint8_t* src, uint8_t* dst, int32_t w, int32_t y) {
        // The vectors leave a multiple of 8 pixels behind them: the tables'
        // positions go on from where they stopped.
        const int32_t done = detail::ExactRowVector(src, dst, w, y, matrix, inverse);
        DitherRow(src + 4 * static_cast<size_t>(done), dst + done, w - done, (y & 3) * 4, tables,
                  [inverse](int32_t levels) { return inverse[levels]; });
    });
}

void SetPaletteMode(int32_t mode) { tPaletteMode = mode; }
int32_t PaletteMode() { return tPaletteMode; }
const uint8_t* InverseColorMap() { return tInverseColorMap.data(); }

void BuildInverseColorMap(const cPal8bpp& palette) {
    FillInverseColorMap(palette, tInverseColorMap.data());
}

const char* MappingName(Mapping mapping) { return mapping == Mapping::Fine ? "fine" : "exact"; }

RgbError DitherTo8bpp(const cDIB& source, cDIB& target, const DitherChoice& choice) {
    const cDitherPlan plan(source, choice);
    if (choice.PaletteMode == kOptimalMode && choice.PixelMapping == Mapping::Exact)
        std::copy_n(plan.maps_->Inverse.begin(), tInverseColorMap.size(), tInverseColorMap.begin());

    if (!target.Create(source.Width(), source.Height(), 8))
        throw cError::Subscript();  // no rows to write
    target.SetPalette(std::span<const uint8_t>(plan.ColourTable(), 1024));
    return plan.DitherRows(source.lpBits(), target.lpBits(),
                           static_cast<size_t>(target.BytesPerScanline()), source.Width(), 0,
                           source.Height(), choice.MeasureError);
}

void DitherTo8bpp(const cDIB& source, cDIB& target) {
    DitherTo8bpp(source, target, DitherChoice{tPaletteMode, Mapping::Exact, false});
}

}  // namespace mDither8bpp

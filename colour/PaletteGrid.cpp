#include "PaletteGrid.h"

#include "BandPool.h"
#include "NearestMap.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

namespace mDither8bpp::detail {
namespace {

constexpr int64_t kGridPixels = int64_t{1} << 18;

int32_t GridStep(int32_t width, int32_t height) {
    const double pixels = double(width) * double(height);
    return std::max(1, static_cast<int32_t>(std::ceil(std::sqrt(pixels / double(kGridPixels)))));
}

// A cell's sums side by side while the grid is gathered: a pixel adds to
// one cache line, not four.
struct Sums {
    uint32_t R = 0, G = 0, B = 0, N = 0;
};

// Cells in the order they first come, with their sums.
struct Part {
    std::vector<uint32_t> Cell;
    std::vector<Sums> Sum;
};

// Slots kept by each thread from picture to picture, every one back at none:
// filled anew, a megabyte of them took as long as gathering a fifth of a
// 12 MP grid. Slots of 16 bits serve a photograph's few tens of thousands of
// cells from the second cache, where 32-bit ones spill beyond it.
template <typename Slot>
std::vector<Slot>& KeptSlots() {
    thread_local std::vector<Slot> slot(size_t{1} << (3 * cNearestMap::kBits),
                                        std::numeric_limits<Slot>::max());
    return slot;
}

// Adds sums to cells through the thread's kept slots (by cell: its place in
// the part, or the type's largest value for none), and puts every slot it
// used back to none when done, however it ends.
template <typename Slot>
class cAdder {
public:
    cAdder() : slot_(KeptSlots<Slot>()) {}
    ~cAdder() {
        for (const uint32_t cell : part_.Cell) slot_[cell] = kNone;
    }
    cAdder(const cAdder&) = delete;
    cAdder& operator=(const cAdder&) = delete;

    // False for a new cell the slots cannot number.
    bool Add(uint32_t cell, uint32_t r, uint32_t g, uint32_t b, uint32_t n) {
        Slot& at = slot_[cell];
        if (at == kNone) {
            if (part_.Sum.size() == kNone) return false;
            part_.Cell.push_back(cell);
            at = static_cast<Slot>(part_.Sum.size());
            part_.Sum.emplace_back();
        }
        Sums& s = part_.Sum[at];
        s.R += r, s.G += g, s.B += b, s.N += n;
        return true;
    }
    Part Take() {
        for (const uint32_t cell : part_.Cell) slot_[cell] = kNone;
        return std::exchange(part_, {});
    }

private:
    static constexpr Slot kNone = std::numeric_limits<Slot>::max();
    std::vector<Slot>& slot_;
    Part part_;
};

// Grid rows first .. first + count - 1 (every step-th memory row and pixel);
// nothing when they hold more cells than the slots can number.
template <typename Slot>
std::optional<Part> GatherRows(int32_t width, int32_t step, const PictureRows& rows, int32_t first,
                               int32_t count) {
    cAdder<Slot> adder;
    std::vector<uint8_t> row(4 * size_t(width));
    for (int32_t k = first; k < first + count; ++k) {
        rows(k * step, 1, row.data());
        for (int32_t x = 0; x < width; x += step) {
            const uint8_t* p = row.data() + 4 * size_t(x);
            const auto cell = static_cast<uint32_t>(cNearestMap::Cell(p[2], p[1], p[0]));
            if (!adder.Add(cell, p[2], p[1], p[0], 1)) return std::nullopt;
        }
    }
    return adder.Take();
}

Part GatherRows(int32_t width, int32_t step, const PictureRows& rows, int32_t first,
                int32_t count) {
    if (auto part = GatherRows<uint16_t>(width, step, rows, first, count)) return std::move(*part);
    return std::move(*GatherRows<uint32_t>(width, step, rows, first, count));
}

// The parts of consecutive grid rows as one, in the order the whole grid
// first meets its cells: each part's new cells after those of the parts
// before it.
template <typename Slot>
Part Merge(const std::vector<std::pair<int32_t, Part>>& parts) {
    cAdder<Slot> adder;
    for (const auto& [first, part] : parts)
        for (size_t i = 0; i < part.Cell.size(); ++i) {
            const Sums& s = part.Sum[i];
            adder.Add(part.Cell[i], s.R, s.G, s.B, s.N);
        }
    return adder.Take();
}

}  // namespace

GridCells GatherGrid(int32_t width, int32_t height, const PictureRows& rows) {
    const int32_t step = GridStep(width, height);
    const int32_t gridRows = (height + step - 1) / step;
    // Reading a grid row costs about as much as gathering its pixels: rows
    // that may be read at once are shared among the cores as whole rows.
    std::vector<std::pair<int32_t, Part>> parts;
    std::exception_ptr failure;
    int32_t failedAt = gridRows;
    std::mutex merging;
    const auto gather = [&](int32_t first, int32_t count) {
        try {
            Part part = GatherRows(width, step, rows, first, count);
            const std::lock_guard lock(merging);
            parts.emplace_back(first, std::move(part));
        } catch (...) {
            // What the first failing row raises, as on one thread.
            const std::lock_guard lock(merging);
            if (first < failedAt) failedAt = first, failure = std::current_exception();
        }
    };
    if (rows.AtOnce)
        parallel::ForEachBand(gridRows, width, gather);
    else
        gather(0, gridRows);
    if (failure) std::rethrow_exception(failure);
    std::sort(parts.begin(), parts.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t cells = 0;
    for (const auto& [first, part] : parts) cells += part.Cell.size();
    Part whole = parts.size() == 1                              ? std::move(parts.front().second)
                 : cells < std::numeric_limits<uint16_t>::max() ? Merge<uint16_t>(parts)
                                                                : Merge<uint32_t>(parts);

    GridCells grid;
    grid.Cell = std::move(whole.Cell);
    for (auto* of : {&grid.R, &grid.G, &grid.B, &grid.N}) of->resize(whole.Sum.size());
    grid.Blocks.assign(cNearestMap::kBlocks, 0);
    for (size_t i = 0; i < whole.Sum.size(); ++i) {
        const Sums& s = whole.Sum[i];
        grid.R[i] = s.R, grid.G[i] = s.G, grid.B[i] = s.B, grid.N[i] = s.N;
        const auto level = [&](int32_t at) {  // the cell's channel as a colour value
            constexpr uint32_t channel = (1u << cNearestMap::kBits) - 1;
            return int32_t(grid.Cell[i] >> (at * cNearestMap::kBits) & channel)
                   << cNearestMap::kShift;
        };
        grid.Blocks[size_t(cNearestMap::Block(level(0), level(1), level(2)))] = 1;
    }
    return grid;
}

}  // namespace mDither8bpp::detail

#include "VarianceCut.h"

#include "NearestMap.h"
#include "PaletteGrid.h"
#include "cPal8bpp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

namespace mDither8bpp::detail {
namespace {

constexpr int32_t kSide = 1 << cNearestMap::kBits;  // cells along each channel

// The grid pixels of a set of cells, each cell weighing its count to the
// power kWeight rather than its count: by plain squared error a colour of few
// pixels that lies far from the rest (a thin red stalk among dark leaves) is
// out-voted by the small steps of a common one. Weights and weighted sums,
// and the sum of each cell's squared weighted sums over its weight, from which
// the set's weighted squared error about its mean follows (the error within
// each cell is the same however the cells are cut, so it is left out). The
// plain counts and sums give the entries their means.
struct Weighted {
    double W = 0, R = 0, G = 0, B = 0, Q = 0;
    uint64_t Count = 0;

    void Add(const Weighted& m) {
        W += m.W, R += m.R, G += m.G, B += m.B, Q += m.Q;
        Count += m.Count;
    }
    Weighted Less(const Weighted& m) const {
        return {W - m.W, R - m.R, G - m.G, B - m.B, Q - m.Q, Count - m.Count};
    }
    double Error() const {
        if (Count == 0) return 0;
        return Q - (R * R + G * G + B * B) / W;
    }
};
struct Moments {
    Weighted Weights;
    uint64_t SumR = 0, SumG = 0, SumB = 0;

    void Add(const Moments& m) {
        Weights.Add(m.Weights);
        SumR += m.SumR, SumG += m.SumG, SumB += m.SumB;
    }
};

constexpr double kWeight = 0.8;

// A cell's weight over its count; most cells hold few grid pixels.
double WeightPerPixel(uint32_t count) {
    static const auto table = [] {
        std::array<double, 1024> t{};
        for (size_t n = 1; n < t.size(); ++n) t[n] = std::pow(double(n), kWeight - 1);
        return t;
    }();
    return count < table.size() ? table[count] : std::pow(double(count), kWeight - 1);
}

// Cells order[First..Last) with their moments; the best cut puts the cells
// below Cut along Axis (0 Red, 1 Green, 2 Blue) first.
struct Box {
    size_t First = 0, Last = 0;
    Moments Sum;
    double Gain = 0;
    int32_t Axis = 0, Cut = 0;
};

int32_t Coordinate(uint32_t cell, int32_t axis) {
    return static_cast<int32_t>(cell >> (axis * cNearestMap::kBits)) & (kSide - 1);
}

// The cells, each with its moments, are kept in the order the cuts leave
// them: a box is a run of them, and a pass over a box reads straight on.
class cCutter {
public:
    explicit cCutter(const GridCells& grid) : cells_(grid.Cell.size()) {
        for (size_t i = 0; i < cells_.size(); ++i) {
            const double w = WeightPerPixel(grid.N[i]);
            const double r = grid.R[i] * w, g = grid.G[i] * w, b = grid.B[i] * w;
            const double weight = grid.N[i] * w;
            cells_[i] = {grid.Cell[i],
                         {{weight, r, g, b, (r * r + g * g + b * b) / weight, grid.N[i]},
                          grid.R[i],
                          grid.G[i],
                          grid.B[i]}};
        }
    }

    std::vector<Box> Cut(size_t boxes) {
        std::vector<Box> cut{Sized(0, cells_.size())};
        while (cut.size() < boxes) {
            size_t best = cut.size();
            for (size_t i = 0; i < cut.size(); ++i)
                if (cut[i].Gain > 0 && (best == cut.size() || cut[i].Gain > cut[best].Gain))
                    best = i;
            if (best == cut.size()) break;
            const Box box = cut[best];
            const auto middle = std::partition(
                cells_.begin() + ptrdiff_t(box.First), cells_.begin() + ptrdiff_t(box.Last),
                [&](const Cell& c) { return Coordinate(c.Number, box.Axis) < box.Cut; });
            const auto split = static_cast<size_t>(middle - cells_.begin());
            cut[best] = Sized(box.First, split);
            cut.push_back(Sized(split, box.Last));
        }
        return cut;
    }

private:
    struct Cell {
        uint32_t Number;
        Moments Sum;
    };

    // The box of cells [first, last), its moments and best cut. One pass
    // gathers the cells' moments by slice along each axis; each axis' slices
    // add up in the order the cells come, as the box's sum does. Only the
    // slices the box reaches are looked at (an empty one leaves every sum
    // as it was), and left cleared for the next box.
    Box Sized(size_t first, size_t last) {
        Box box;
        box.First = first, box.Last = last;
        std::array<int32_t, 3> low{kSide, kSide, kSide}, high{-1, -1, -1};
        for (size_t i = first; i < last; ++i) {
            const Cell& c = cells_[i];
            box.Sum.Add(c.Sum);
            for (size_t axis = 0; axis < 3; ++axis) {
                const int32_t at = Coordinate(c.Number, int32_t(axis));
                slices_[axis][size_t(at)].Add(c.Sum.Weights);
                low[axis] = std::min(low[axis], at), high[axis] = std::max(high[axis], at);
            }
        }
        const Weighted& all = box.Sum.Weights;
        const double whole = all.Error();
        for (size_t axis = 0; axis < 3; ++axis) {
            Weighted below;
            for (int32_t c = low[axis]; c < high[axis]; ++c) {
                Weighted& slice = slices_[axis][size_t(c)];
                if (slice.Count == 0) continue;
                below.Add(slice);
                slice = {};
                const double gain = whole - below.Error() - all.Less(below).Error();
                if (gain > box.Gain) box.Gain = gain, box.Axis = int32_t(axis), box.Cut = c + 1;
            }
            if (high[axis] >= 0) slices_[axis][size_t(high[axis])] = {};
        }
        return box;
    }

    std::array<std::array<Weighted, kSide>, 3> slices_{};
    std::vector<Cell> cells_;
};

}  // namespace

void CutPalette(const GridCells& grid, cPal8bpp& palette, int32_t entries) {
    if (grid.Cell.empty()) {
        palette.Initialize(1);
        palette.BuildLogicalPalette();
        return;
    }
    const std::vector<Box> boxes = cCutter(grid).Cut(size_t(entries));
    palette.Initialize(static_cast<int16_t>(boxes.size()));
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Moments& m = boxes[i].Sum;
        const auto entry = static_cast<uint8_t>(i);
        palette.rgbR(entry, Mean(m.SumR, m.Weights.Count));
        palette.rgbG(entry, Mean(m.SumG, m.Weights.Count));
        palette.rgbB(entry, Mean(m.SumB, m.Weights.Count));
    }
    palette.BuildLogicalPalette();
}

}  // namespace mDither8bpp::detail

// The threshold matrices and quantisation tables of the ordered dithering.

#include "DitherTables.h"
#include "mDither8bpp.h"

#include "Arithmetic.h"
#include "cError.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace mDither8bpp {
namespace {

// The 4 x 4 Bayer matrix plus 1, indexed (y mod 4) * 4 + (x mod 4).
constexpr std::array<int32_t, 16> kBayerPlusOne{
    1, 9, 3, 11, 13, 5, 15, 7, 4, 12, 2, 10, 16, 8, 14, 6,
};

constexpr int32_t kLevel16First = -8, kLevel16Last = 262;
constexpr int32_t kLevel6First = -51, kLevel6Last = 280;

// Zero until InitDitherTables runs.
std::array<int32_t, 16> gDitherMatrix16{};
std::array<int32_t, 16> gDitherMatrix51{};
std::array<int32_t, kLevel16Last - kLevel16First + 1> gLevel16Table{};
std::array<int32_t, kLevel6Last - kLevel6First + 1> gLevel6Table{};
detail::PositionTables16 gOptimalTables{};
detail::PositionTables6 gCubeTables{};
std::once_flag gBuilt;

int32_t QuantisedLevel(int32_t k, int32_t divisor, int32_t maxLevel) {
    return std::clamp(RoundHalfEven(static_cast<double>(k) / divisor), 0, maxLevel);
}

void BuildTables() {
    for (int32_t p = 0; p < 16; ++p) {
        gDitherMatrix16[p] = kBayerPlusOne[p];
        gDitherMatrix51[p] = RoundHalfEven(kBayerPlusOne[p] * 51.0 / 16.0);
    }
    for (int32_t k = kLevel16First; k <= kLevel16Last; ++k)
        gLevel16Table[k - kLevel16First] = QuantisedLevel(k, 17, 15);
    for (int32_t k = kLevel6First; k <= kLevel6Last; ++k)
        gLevel6Table[k - kLevel6First] = QuantisedLevel(k, 51, 5);

    for (int32_t p = 0; p < 16; ++p) {
        const int32_t t = gDitherMatrix16[p];
        const int32_t m = gDitherMatrix51[p];
        for (int32_t v = 0; v < 256; ++v) {
            const int32_t level16 = gLevel16Table[v + 8 - t - kLevel16First];
            gOptimalTables.R[p][v] = static_cast<uint16_t>(level16);
            gOptimalTables.G[p][v] = static_cast<uint16_t>(16 * level16);
            gOptimalTables.B[p][v] = static_cast<uint16_t>(256 * level16);
            const int32_t level6 = gLevel6Table[v + 26 - m - kLevel6First];
            gCubeTables.R[p][v] = static_cast<uint8_t>(level6);
            gCubeTables.G[p][v] = static_cast<uint8_t>(6 * level6);
            gCubeTables.B[p][v] = static_cast<uint8_t>(36 * level6);
        }
    }
}

}  // namespace

void InitDitherTables() { std::call_once(gBuilt, BuildTables); }

const int32_t* DitherMatrix16() { return gDitherMatrix16.data(); }
const int32_t* DitherMatrix51() { return gDitherMatrix51.data(); }

int32_t Level16Table(int32_t k) {
    if (k < kLevel16First || k > kLevel16Last) throw cError::Subscript();
    return gLevel16Table[k - kLevel16First];
}

int32_t Level6Table(int32_t k) {
    if (k < kLevel6First || k > kLevel6Last) throw cError::Subscript();
    return gLevel6Table[k - kLevel6First];
}

namespace detail {
const PositionTables16& OptimalTables() { return gOptimalTables; }
const PositionTables6& CubeTables() { return gCubeTables; }
}  // namespace detail

}  // namespace mDither8bpp

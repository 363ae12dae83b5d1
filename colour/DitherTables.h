#pragma once
// The dithering tables shared by every conversion, read-only once
// InitDitherTables has built them.
//
// The per-position tables fold the threshold matrix and the quantisation
// table into one lookup per channel, already scaled to the channel's place in
// the index: for matrix position p = (y mod 4) * 4 + (x mod 4) and value v,
//   Optimal.R[p][v] + Optimal.G[p][v] + Optimal.B[p][v]
//     = level(R) + 16 level(G) + 256 level(B),  level = Level16Table[v + 8 - t(p)]
//   Cube.R[p][v] + Cube.G[p][v] + Cube.B[p][v]
//     = level(R) + 6 level(G) + 36 level(B),    level = Level6Table[v + 26 - m(p)]
// so the pixel loops do three lookups and one add per pixel.

#include <cstdint>

namespace mDither8bpp::detail {

struct PositionTables16 {
    uint16_t R[16][256];
    uint16_t G[16][256];
    uint16_t B[16][256];
};

struct PositionTables6 {
    uint8_t R[16][256];
    uint8_t G[16][256];
    uint8_t B[16][256];
};

const PositionTables16& OptimalTables();
const PositionTables6& CubeTables();

}  // namespace mDither8bpp::detail

#pragma once
// mDither8bpp: 32-bpp to 8-bpp conversion by ordered dithering with a 4 x 4
// threshold matrix, over an optimal palette (mode 1) or the fixed 216-colour
// cube (mode 0).
//
// The tables built by InitDitherTables are shared and read-only afterwards.
// The per-conversion state (palette mode, inverse colour map, palette buffer)
// belongs to the calling thread, so conversions may run on several threads.
// The pixel loop of one conversion runs in bands of rows on the calling
// thread's share of the band pool (BandPool.h); the bytes are the same as on
// one thread, and the call returns once every pixel is written.

#include <cstdint>

class cDIB;
class cPal8bpp;

namespace mDither8bpp {

void InitDitherTables();
void SetPaletteMode(int32_t mode);
int32_t PaletteMode();  // no caller in the program yet

// Rebuilds target as an 8-bpp image of source's size with the chosen palette
// and dithered pixels. source must be 32 bpp.
void DitherTo8bpp(const cDIB& source, cDIB& target);

// InverseColorMap[r + 16g + 256b] = the palette entry nearest to (17r, 17g, 17b).
void BuildInverseColorMap(const cPal8bpp& palette);

// Read access for tests and benchmarks.
const uint8_t* InverseColorMap();  // 4096 entries
const int32_t* DitherMatrix16();   // 16 entries, (y mod 4) * 4 + (x mod 4)
const int32_t* DitherMatrix51();
int32_t Level16Table(int32_t k);  // k in -8..262
int32_t Level6Table(int32_t k);   // k in -51..280

}  // namespace mDither8bpp

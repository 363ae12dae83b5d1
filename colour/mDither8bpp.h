#pragma once
// mDither8bpp: 32-bpp to 8-bpp conversion by ordered dithering with a 4 x 4
// threshold matrix, over an optimal palette (mode 1) or the fixed 216-colour
// cube (mode 0), each pixel mapped to its entry in one of two ways (Mapping).
//
// The tables built by InitDitherTables are shared and read-only afterwards.
// The per-conversion state (palette mode, inverse colour map, palette buffer)
// belongs to the calling thread, so conversions may run on several threads.
// The pixel loop of one conversion runs in bands of rows on the calling
// thread's share of the band pool (BandPool.h); the bytes are the same as on
// one thread, and the call returns once every pixel is written.

#include "PaletteSample.h"
#include "RgbError.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class cDIB;
class cPal8bpp;

namespace mDither8bpp {

// How a pixel finds its palette entry.
enum class Mapping {
    // Each channel quantised to 16 levels with the threshold matrix, the
    // levels looked up in the 16 x 16 x 16 inverse colour map: the
    // program's own reduction, byte for byte.
    Exact,
    // The nearest entry through a 64 x 64 x 64 map, dithered with a 16 x 16
    // blue-noise mask at an amplitude that follows the spacing of the palette's
    // entries around the pixel's colour. A picture of at most 256 colours
    // keeps its own colours instead of the palette, every pixel exactly.
    Fine,
};

// "exact" or "fine".
const char* MappingName(Mapping mapping);

struct DitherChoice {
    int32_t PaletteMode = 1;  // as SetPaletteMode takes it
    Mapping PixelMapping = Mapping::Exact;
    // Sum the result's error against the source (a few per cent of the
    // conversion's time); otherwise the returned RgbError compares nothing.
    bool MeasureError = false;
};

// The palette of one conversion and what maps a pixel to its entry: made
// once from the picture, then applied to any band of its rows, in any order
// and on any thread. A conversion of the whole picture and one that reads,
// dithers and writes it band by band give the same bytes.
class cDitherPlan {
public:
    // For picture (32 bpp), as choice says. Raises as DitherTo8bpp does.
    cDitherPlan(const cDIB& picture, const DitherChoice& choice);

    // The plan over the optimal palette of a width x height picture that is
    // not held whole, the same as for the picture: sample is its palette
    // sample (TakePaletteSample) for the exact mapping, which is all it reads;
    // the fine one reads what it needs through rows (the picture's colours,
    // and a grid of its pixels) and is given no sample.
    static cDitherPlan FromRows(int32_t width, int32_t height, const cDIB& sample,
                                const PictureRows& rows, Mapping mapping);

    cDitherPlan(cDitherPlan&&) noexcept;
    ~cDitherPlan();

    // 256 entries of Blue, Green, Red, reserved.
    const uint8_t* ColourTable() const { return colours_.data(); }

    // Maps count memory rows of width pixels, the first of them memory row
    // first of the picture (the matrix position follows it): source rows of
    // 4 x width bytes one after another, target rows targetStride bytes
    // apart. Runs in bands on the calling thread's share of the band pool.
    // Returns the rows' error when measure is set.
    RgbError DitherRows(const uint8_t* source, uint8_t* target, size_t targetStride, int32_t width,
                        int32_t first, int32_t count, bool measure) const;

private:
    struct Maps;
    cDitherPlan();
    // The palette of the mode (the optimal one from sample) and the mapping's maps.
    void Choose(int32_t mode, Mapping mapping, int32_t width, int32_t height,
                const PictureRows& rows, const cDIB* sample);
    friend RgbError DitherTo8bpp(const cDIB&, cDIB&, const DitherChoice&);

    std::array<uint8_t, 1024> colours_{};
    std::unique_ptr<Maps> maps_;
};

void InitDitherTables();
void SetPaletteMode(int32_t mode);
int32_t PaletteMode();  // no caller in the program yet

// Rebuilds target as an 8-bpp image of source's size with the chosen palette
// and dithered pixels, and returns how far it lies from source. source must
// be 32 bpp. The bytes depend on source and choice only, whatever the thread
// and however many threads its bands use.
RgbError DitherTo8bpp(const cDIB& source, cDIB& target, const DitherChoice& choice);

// The same with the calling thread's palette mode and the exact mapping.
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

// The fixed palettes: grey ramps, the 16 standard colours, uniform colour
// cubes and the 256-colour web-safe set. Each starts from a reset palette, so
// the entries it does not write stay black.

#include "cError.h"
#include "cPal8bpp.h"

#include <array>

namespace {

struct RGB {
    uint8_t R, G, B;
};

constexpr std::array<RGB, 8> kEGAColorsLow{{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
}};

constexpr std::array<RGB, 8> kEGAColorsHigh{{
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

void SetEntry(cPal8bpp& pal, int32_t entry, uint8_t R, uint8_t G, uint8_t B) {
    const auto n = static_cast<uint8_t>(entry);
    pal.rgbR(n, R);
    pal.rgbG(n, G);
    pal.rgbB(n, B);
}

void SetEGAColors(cPal8bpp& pal, int32_t first, const std::array<RGB, 8>& colors) {
    for (int32_t i = 0; i < 8; ++i) SetEntry(pal, first + i, colors[i].R, colors[i].G, colors[i].B);
}

void SetEGAColorsLow(cPal8bpp& pal, int32_t first) { SetEGAColors(pal, first, kEGAColorsLow); }
void SetEGAColorsHigh(cPal8bpp& pal, int32_t first) { SetEGAColors(pal, first, kEGAColorsHigh); }

// Channel values of an n-level cube with this step: 0, step, 2 step, ... up to
// and including 256, which is written as 255.
std::array<uint8_t, 8> CubeValues(int32_t step, int32_t& n) {
    std::array<uint8_t, 8> values{};
    n = 0;
    for (int32_t v = 0; v <= 256; v += step) values[n++] = static_cast<uint8_t>(v > 255 ? 255 : v);
    return values;
}

// The 16 standard colours are already in the web-safe set; these are the 8 of
// them that the 6 x 6 x 6 cube would repeat.
bool IsStandardColour(int32_t R, int32_t G, int32_t B) {
    const int32_t s = R + G + B;
    const int32_t zeros = (R == 0) + (G == 0) + (B == 0);
    return s == 0 || s == 765 || (s == 510 && zeros == 1) || (s == 255 && zeros == 2);
}

}  // namespace

void cPal8bpp::CreateGreyScale(int32_t GreyLevels) {
    Initialize(0);
    int32_t step = 0;
    switch (GreyLevels) {
    case 0:
        step = 255;
        break;
    case 1:
        step = 17;
        break;
    case 2:
        step = 1;
        break;
    default:
        throw cError::DivisionByZero();  // no step for this level count
    }
    const int32_t last = 255 / step;
    Entries(static_cast<int16_t>(last + 1));
    for (int32_t i = 0; i <= last; ++i) {
        const auto v = static_cast<uint8_t>(i * step);
        SetEntry(*this, i, v, v, v);
    }
    BuildLogicalPalette();
}

void cPal8bpp::CreateEGA() {
    Initialize(0);
    Entries(16);
    SetEGAColorsLow(*this, 0);
    SetEGAColorsHigh(*this, 8);
    BuildLogicalPalette();
}

void cPal8bpp::CreateHalftone(int32_t HalftoneLevels) {
    static constexpr std::array<int32_t, 5> kSteps{256, 128, 85, 64, 51};
    Initialize(0);
    if (HalftoneLevels < 0 || HalftoneLevels >= static_cast<int32_t>(kSteps.size()))
        throw cError::Subscript();
    int32_t n = 0;
    const auto values = CubeValues(kSteps[HalftoneLevels], n);
    Entries(static_cast<int16_t>(n * n * n));
    int32_t entry = 0;
    for (int32_t b = 0; b < n; ++b)
        for (int32_t g = 0; g < n; ++g)
            for (int32_t r = 0; r < n; ++r)
                SetEntry(*this, entry++, values[r], values[g], values[b]);
    BuildLogicalPalette();
}

void cPal8bpp::CreateWebsafe() {
    Initialize(0);
    Entries(256);
    SetEGAColorsLow(*this, 0);
    SetEGAColorsHigh(*this, 248);

    int32_t entry = 8;
    for (int32_t b = 0; b <= 255; b += 51)
        for (int32_t g = 0; g <= 255; g += 51)
            for (int32_t r = 0; r <= 255; r += 51)
                if (!IsStandardColour(r, g, b))
                    SetEntry(*this, entry++, static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                             static_cast<uint8_t>(b));

    // Entry 216 stays black; 217..247 are the greys 8, 16, ..., 248.
    for (int32_t k = 1; k <= 31; ++k) {
        const auto v = static_cast<uint8_t>(8 * k);
        SetEntry(*this, 216 + k, v, v, v);
    }
    BuildLogicalPalette();
}

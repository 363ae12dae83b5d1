#pragma once
// How far an 8-bit result lies from its 32-bit source: the squared
// differences of red, green and blue summed over every pixel.

#include <cstdint>

struct RgbError {
    uint64_t SumOfSquares = 0;
    uint64_t Values = 0;  // 3 a pixel; 0 when nothing was compared

    // Peak signal-to-noise ratio in dB (peak 255): +infinity for a result
    // equal to its source, NaN when nothing was compared.
    double Psnr() const;
};

#include "RgbError.h"

#include <cmath>
#include <limits>

double RgbError::Psnr() const {
    if (Values == 0) return std::numeric_limits<double>::quiet_NaN();
    if (SumOfSquares == 0) return std::numeric_limits<double>::infinity();
    const double meanSquare = static_cast<double>(SumOfSquares) / static_cast<double>(Values);
    return 10.0 * std::log10(255.0 * 255.0 / meanSquare);
}

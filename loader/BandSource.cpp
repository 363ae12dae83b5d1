#include "BandSource.h"

#include "BmpBands.h"
#include "DecodedBands.h"

std::unique_ptr<cBandSource> OpenBandSource(const std::string& path, int64_t maxPixels) {
    if (std::unique_ptr<cBandSource> bmp = cBmpBands::Open(path, maxPixels)) return bmp;
    return cDecodedBands::Open(path, maxPixels);
}

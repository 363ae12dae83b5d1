#pragma once
// One picture in each stored form a file may take (every BMP depth, run-length
// BMPs, PNG, JPEG, GIF, XBM), built without the program's own code, and JPEG encoding.

#include "ImageBytes.h"

#include <string>
#include <vector>

namespace imagebytes {

struct StoredForm {
    std::string Name;  // "1-bit BMP", "RLE8 BMP", "PNG", ...
    std::string Extension;
    Bytes File;
    std::size_t Cut = 0;  // a length that ends the file inside its pixel data
};

// A w x h picture varied by seed, as 1, 4, 8, 16, 24 and 32-bit BMP, RLE8 and
// RLE4 BMP, PNG, JPEG and GIF.
std::vector<StoredForm> StoredForms(int w, int h, int seed);

// Baseline JPEG of rows given top to bottom (4:4:4).
Bytes EncodeJpeg(const std::vector<std::vector<Rgb>>& rows, int quality = 90);

// The JPEG with an Exif APP1 segment naming the given orientation right after its
// start-of-image marker.
Bytes WithExifOrientation(const Bytes& jpeg, uint16_t orientation);

}  // namespace imagebytes

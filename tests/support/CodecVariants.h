#pragma once
// PNG and JPEG files in every variant the loader's own decoders meet (colour
// types, depths, transparency keys, interlacing; components, subsampling,
// progressive and arithmetic coding, restart markers, CMYK), written by
// libpng and libjpeg themselves.

#include "ImageBytes.h"

#include <string>
#include <vector>

namespace imagebytes {

struct CodecVariant {
    std::string Name;
    Bytes File;
    bool Own = true;  // read by the loader's own decoder; false: left to Qt's reader
};

// A w x h picture varied by seed in each variant.
std::vector<CodecVariant> PngVariants(int w, int h, int seed);
std::vector<CodecVariant> JpegVariants(int w, int h, int seed);

}  // namespace imagebytes

#pragma once
// A picture read in bands of rows, for a conversion that never holds it
// whole: a plain BMP file (cBmpBands), or a PNG or JPEG file its own decoder
// reads (cDecodedBands). Opened and checked as LoadPicture opens and checks
// the file, its rows read when they are asked for.

#include "LoaderErrors.h"

#include <cstdint>
#include <memory>
#include <string>

class cBandSource {
public:
    virtual ~cBandSource() = default;

    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;

    // Whether the rows come top row first, as a decoder gives them: read in
    // that order, a pass over the file reads every row once, and asking for
    // a row above the last one read starts a new pass. Otherwise any band
    // costs the same.
    virtual bool FromTop() const = 0;

    // Memory rows first to first + count - 1 (row 0 the bottom of the
    // picture) into pixels, 4 x Width() bytes a row as a loaded picture holds
    // them. Raises the loader's error for a file that is cut, does not
    // decode or cannot be read.
    virtual void Read(int32_t first, int32_t count, uint8_t* pixels) = 0;
    // Whether Read may be called on several threads at once.
    virtual bool ReadsAtOnce() const { return false; }

    // Raises when the file changed since it was opened: call it once every
    // row has been read.
    virtual void RequireUnchanged() const = 0;
};

// The file at path read band by band when its format allows (a plain BMP
// file, a PNG that is not interlaced, a JPEG that is not CMYK), nullptr for
// any other file (load it whole). Raises LoadPicture's error for a file it
// refuses.
std::unique_ptr<cBandSource> OpenBandSource(const std::string& path,
                                            int64_t maxPixels = kMaxPicturePixels);

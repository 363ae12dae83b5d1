#pragma once
// A plain BMP file read in bands of rows, for a conversion that never holds
// the whole picture: opened and checked as LoadPicture opens and checks it,
// its rows read when they are asked for.

#include "BmpHeader.h"
#include "LoaderErrors.h"
#include "OpenFile.h"

#include <cstdint>
#include <memory>
#include <string>

class cBmpBands {
public:
    // The file at path when it is one the native reader reads (an
    // uncompressed 24- or 32-bit BMP file), nullptr for any other file (load
    // it whole). Raises LoadPicture's error for a file it refuses.
    static std::unique_ptr<cBmpBands> Open(const std::string& path,
                                           int64_t maxPixels = kMaxPicturePixels);

    int32_t Width() const { return static_cast<int32_t>(header_.Width); }
    int32_t Height() const { return static_cast<int32_t>(header_.Rows()); }

    // Memory rows first to first + count - 1 (row 0 the bottom of the
    // picture) into pixels, 4 x Width() bytes a row as a loaded picture holds
    // them, read on every core of the calling thread's share of the band pool.
    // Raises the loader's error for a file that is cut or cannot be read.
    void Read(int32_t first, int32_t count, uint8_t* pixels) const;

    // Raises when the file changed since it was opened: call it once every
    // row has been read.
    void RequireUnchanged() const;

private:
    cBmpBands() = default;

    std::string path_;
    cOpenFile file_;
    BmpHeader header_;
};

#pragma once
// A plain BMP file read in bands of rows, for a conversion that never holds
// the whole picture: opened and checked as LoadPicture opens and checks it,
// its rows read when they are asked for.

#include "BandSource.h"
#include "BmpHeader.h"
#include "LoaderErrors.h"
#include "OpenFile.h"

#include <cstdint>
#include <memory>
#include <string>

class cBmpBands final : public cBandSource {
public:
    // The file at path when it is one the native reader reads (an
    // uncompressed 24- or 32-bit BMP file), nullptr for any other file (load
    // it whole). Raises LoadPicture's error for a file it refuses.
    static std::unique_ptr<cBmpBands> Open(const std::string& path,
                                           int64_t maxPixels = kMaxPicturePixels);

    int32_t Width() const override { return static_cast<int32_t>(header_.Width); }
    int32_t Height() const override { return static_cast<int32_t>(header_.Rows()); }
    bool FromTop() const override { return false; }
    bool ReadsAtOnce() const override { return true; }  // reads at offsets, keeps no state

    // Read on every core of the calling thread's share of the band pool.
    void Read(int32_t first, int32_t count, uint8_t* pixels) override;
    void RequireUnchanged() const override;

private:
    cBmpBands() = default;

    std::string path_;
    cOpenFile file_;
    BmpHeader header_;
};

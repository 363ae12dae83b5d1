#pragma once
// A plain BMP file reduced band by band, never held whole: the rows its
// palette's sample takes are read first, then bands of rows are read,
// dithered and written to the 8-bit BMP in file order, one band in memory at
// a time. The bytes are those of the whole picture's road.

#include "LoaderErrors.h"
#include "RgbError.h"
#include "cDIB.h"
#include "mDither8bpp.h"

#include <cstdint>
#include <memory>
#include <string>

class cBmpBands;

class cBandedReduction {
public:
    // The pixels of a band: about 1 MiB of 32-bit rows, 256 KiB of 8-bit ones.
    static constexpr int64_t kBandPixels = int64_t{1} << 18;

    // The file at path when it is a plain (uncompressed 24- or 32-bit) BMP
    // file, nullptr for any other file (load it whole). Raises the loader's
    // error for a file it refuses, as LoadPicture does.
    static std::unique_ptr<cBandedReduction> Open(const std::string& path,
                                                  int64_t maxPixels = kMaxPicturePixels);
    ~cBandedReduction();

    int32_t Width() const;
    int32_t Height() const;

    // Reads the rows of the palette's sample.
    void ReadSample();
    // Computes the palette from the sample (and, for the fine mapping, the
    // rows it reads).
    void Plan(mDither8bpp::Mapping mapping);

    // Writes the reduction to path (replacing a file there only once it is
    // complete and the source is known unchanged) and returns its error
    // against the source when measure is set. bandRows = 0 chooses the band
    // size. A failure to read the source raises the loader's error and sets
    // SourceFailed.
    RgbError Write(const std::string& path, bool measure, int32_t bandRows = 0);

    bool SourceFailed() const { return sourceFailed_; }

    // The size of the file Write writes.
    uint64_t FileBytes() const;

private:
    cBandedReduction();
    void Read(int32_t first, int32_t count, uint8_t* pixels);
    // Runs step, a read of the source, marking the source failed when it raises.
    template <typename Step>
    void FromSource(const Step& step);

    std::string path_;
    std::unique_ptr<cBmpBands> bands_;
    cDIB sample_;
    std::unique_ptr<mDither8bpp::cDitherPlan> plan_;
    bool sourceFailed_ = false;
};

#pragma once
// A picture reduced band by band, never held whole (a plain BMP file, a PNG
// or a JPEG: BandSource.h): the rows its palette reads are read first, then
// bands of rows are read and dithered in order, each band read on a thread of
// its own up to two bands ahead of its dither, and handed on (written to the
// 8-bit BMP, or encoded as a JPEG from the top down) on another while the
// next ones are dithered: three bands in memory at a time. The bytes are
// those of the whole picture's road.

#include "JpegEncoder.h"
#include "LoaderErrors.h"
#include "RgbError.h"
#include "cDIB.h"
#include "mDither8bpp.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class cBandSource;

class cBandedReduction {
public:
    // The pixels of a band: about 1 MiB of 32-bit rows, 256 KiB of 8-bit ones.
    static constexpr int64_t kBandPixels = int64_t{1} << 18;

    // The file at path when it can be read band by band (OpenBandSource),
    // nullptr for any other file (load it whole). Raises the loader's
    // error for a file it refuses, as LoadPicture does.
    static std::unique_ptr<cBandedReduction> Open(const std::string& path,
                                                  int64_t maxPixels = kMaxPicturePixels);
    ~cBandedReduction();

    int32_t Width() const;
    int32_t Height() const;

    // Reads the rows of the exact mapping's palette sample.
    void ReadSample();
    // Computes the palette: the exact mapping's from the sample, the fine
    // one's from the rows it reads. A failure to read the source raises the
    // loader's error and sets SourceFailed.
    void Plan(mDither8bpp::Mapping mapping);

    // Writes the reduction to path (replacing a file there only once it is
    // complete and the source is known unchanged) and returns its error
    // against the source when measure is set. bandRows = 0 chooses the band
    // size. A failure to read the source raises the loader's error and sets
    // SourceFailed.
    RgbError Write(const std::string& path, bool measure, int32_t bandRows = 0);

    // The reduction encoded as a JPEG file in memory at quality (nothing
    // written: the caller checks its size first), with its error against the
    // source when measure is set. Raises as Write does; a failure of the
    // encoder raises error 5.
    struct cJPG {
        cJPGBytes Bytes;
        RgbError Error;
    };
    cJPG EncodeJPG(uint8_t quality, bool measure, int32_t bandRows = 0);

    bool SourceFailed() const { return sourceFailed_; }

    // The size of the file Write writes.
    uint64_t FileBytes() const;

private:
    cBandedReduction();
    void Read(int32_t first, int32_t count, uint8_t* pixels);
    // The picture's rows as the palette's steps read them, through Read.
    mDither8bpp::PictureRows Rows();

    // count memory rows of the 8-bit reduction, targetStride bytes apart,
    // the first of them memory row first of the picture.
    using BandSink = std::function<void(const uint8_t* rows, int32_t first, int32_t count)>;
    enum class BandOrder { BottomUp, TopDown };
    // Reads and dithers every band of bandRows rows in order (0: the band
    // size's choice), each read on a thread of its own up to two bands ahead
    // of its dither and handed to put on another while the next ones are
    // dithered; returns once put has taken the last.
    RgbError DitherBands(int32_t bandRows, BandOrder order, bool measure, const BandSink& put);
    // The rows of a band: bandRows, or the band size's choice for 0.
    int32_t BandRows(int32_t bandRows) const;
    size_t TargetStride() const;
    // Runs step, a read of the source, marking the source failed when it raises.
    template <typename Step>
    void FromSource(const Step& step);

    std::string path_;
    std::unique_ptr<cBandSource> bands_;
    cDIB sample_;
    std::unique_ptr<mDither8bpp::cDitherPlan> plan_;
    std::atomic<bool> sourceFailed_{false};  // rows may be read on several threads
};

#pragma once
// A PNG or JPEG file read in bands of rows through its own decoder
// (RowDecoder.h), top row first, the file read in blocks as the decoder
// asks for them: neither the picture nor the file is ever held whole.
//
// The palette's sample needs rows from all over the picture before the
// first band is dithered, so the rows are either decoded twice or kept
// outside the process's memory. Measured at 12 MP (whole pixolune-cli runs,
// paired): decoding twice costs 1.08 x keeping the rows for a baseline JPEG,
// 1.19 x for a progressive one and 1.60 x for a PNG (two thirds of a PNG's
// decoding is inflating, and each row must be unfiltered to reach the next,
// so its sample's pass costs a whole decoding; a JPEG's sample rows lie
// closer together than the row groups its skip would pass over). So the
// first read decodes the file once into an unnamed temporary file of its
// 32-bpp rows (in TMPDIR, or /tmp), which every band is then read from, in
// any order; only where no such file can be written is it decoded twice.

#include "BandSource.h"
#include "OpenFile.h"
#include "RowDecoder.h"

#include <cstdint>
#include <memory>
#include <string>

class cDecodedBands final : public cBandSource {
public:
    // The file at path when its decoder reads it row by row, nullptr for any
    // other file. Raises LoadPicture's error for a file it refuses.
    static std::unique_ptr<cDecodedBands> Open(const std::string& path,
                                               int64_t maxPixels = kMaxPicturePixels);

    ~cDecodedBands() override;

    int32_t Width() const override { return rows_->Width(); }
    int32_t Height() const override { return rows_->Height(); }
    bool FromTop() const override { return !spool_; }

    // Rows below the last one read are decoded on from there (those between
    // passed over); a band above it decodes the file again from its start.
    // The band that ends with the bottom row also reads the file to its end
    // and checks that it did not change. Where a temporary file can be
    // written, the first read decodes the whole file into it instead, and
    // every read is then served from there.
    void Read(int32_t first, int32_t count, uint8_t* pixels) override;
    void RequireUnchanged() const override;

    // How many times the file was decoded from its start, for tests.
    int Passes() const { return passes_; }

private:
    cDecodedBands() = default;
    void Restart();
    void Decode(int32_t first, int32_t count, uint8_t* pixels);
    // Decodes every row into the temporary file; false when it cannot be written.
    bool Spool();

    std::string path_;
    int64_t maxPixels_ = 0;
    cOpenFile file_;
    cRowInput input_;
    std::unique_ptr<cRowDecoder> rows_;
    int32_t next_ = 0;  // the picture row (0 the top) the decoder gives next
    int passes_ = 1;
    bool spool_ = false;    // the rows are to be kept in a temporary file
    int spoolFd_ = -1;      // that file
    bool spooled_ = false;  // every row is in it
};

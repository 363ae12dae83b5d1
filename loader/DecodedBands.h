#pragma once
// A PNG or JPEG file read in bands of rows through its own decoder
// (RowDecoder.h), top row first, the file read in blocks as the decoder
// asks for them: neither the picture nor the file is ever held whole.

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

    int32_t Width() const override { return rows_->Width(); }
    int32_t Height() const override { return rows_->Height(); }
    bool FromTop() const override { return true; }

    // Rows below the last one read are decoded on from there (those between
    // passed over); a band above it decodes the file again from its start.
    // The band that ends with the bottom row also reads the file to its end
    // and checks that it did not change.
    void Read(int32_t first, int32_t count, uint8_t* pixels) override;
    void RequireUnchanged() const override;

    // How many times the file was decoded from its start, for tests.
    int Passes() const { return passes_; }

private:
    cDecodedBands() = default;
    void Restart();

    std::string path_;
    int64_t maxPixels_ = 0;
    cOpenFile file_;
    cRowInput input_;
    std::unique_ptr<cRowDecoder> rows_;
    int32_t next_ = 0;  // the picture row (0 the top) the decoder gives next
    int passes_ = 1;
};

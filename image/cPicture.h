#pragma once
// A picture object: what the picture loader delivers and what cDIB takes
// in (CreateFromStdPicture). It is a plain value (width, height, bits per pixel, colour table,
// pixels); the pixel memory is kept alive by Owner, so a loader can hand over
// its decoded buffer without copying it.
//
// The pixels may be shared between copies of a picture: treat them as
// read-only unless you hold the picture alone (Owner.use_count() == 1), which
// is what lets cDIB take a sole picture's buffer over instead of copying it.

#include "RowView.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

enum class PictureType { None, Bitmap, Icon, Metafile };

struct cPicture {
    PictureType Type = PictureType::None;  // None: the empty picture of an empty file name
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BPP = 0;                  // 1, 4, 8 (indexed, ColorTable used) or 32 (B, G, R, unused)
    std::vector<uint8_t> ColorTable;  // 4 bytes an entry: Blue, Green, Red, reserved
    int32_t Stride = 0;               // bytes from one row to the next
    uint8_t* Bits = nullptr;          // first byte of the first row in memory;
                                      // writable only by the picture's sole holder
    std::shared_ptr<const void> Owner;  // keeps Bits alive
    // Rows in memory: top-down, or bottom row first (as a BMP file and cDIB keep them).
    bool BottomUp = false;

    bool IsBitmap() const { return Type == PictureType::Bitmap && Bits != nullptr; }
    // Picture row y, 0 the top row, whatever the order in memory.
    const uint8_t* Row(int32_t y) const {
        return RowView<const uint8_t>{Bits, Stride, Height, BottomUp}.Row(y);
    }
};

// A 32-bpp picture of width x height whose rows, 4 x width bytes each, lie
// bottom row first at bits, in memory that owner keeps: as cDIB keeps them,
// so that an image takes the picture over as it is.
inline cPicture BottomUpBitmap32(int32_t width, int32_t height, uint8_t* bits,
                                 std::shared_ptr<const void> owner) {
    cPicture picture;
    picture.Type = PictureType::Bitmap;
    picture.Width = width;
    picture.Height = height;
    picture.BPP = 32;
    picture.Stride = 4 * width;
    picture.Bits = bits;
    picture.Owner = std::move(owner);
    picture.BottomUp = true;
    return picture;
}

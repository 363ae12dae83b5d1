#pragma once
// cDIB: the program's one in-memory raster image, a device-independent bitmap
// whose pixel bytes are read and written directly through lpBits.
//
// Rows are stored bottom-up (memory row 0 is the bottom row of the picture),
// each padded to a multiple of 4 bytes. 32-bpp pixels are Blue, Green, Red,
// unused; 8-bpp pixels index the 256-entry colour table.

#include "BmpFile.h"
#include "GraphicsLayer.h"
#include "RowView.h"
#include "cPicture.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The most pixels a 32-bpp image holds: its pixel bytes are counted in int32.
inline constexpr int64_t kMaxImagePixels = INT32_MAX / 4;

struct cFitSize {
    int32_t Width = 0;
    int32_t Height = 0;
};

// The size a width x height picture takes in a DstW x DstH box, aspect ratio
// kept: shrunk to fit, never enlarged unless StretchFit (then always fitted).
cFitSize BestFitSize(int32_t width, int32_t height, int32_t DstW, int32_t DstH, bool StretchFit);

class cDIB {
public:
    cDIB();
    ~cDIB();
    cDIB(const cDIB&) = delete;
    cDIB& operator=(const cDIB&) = delete;

    // Builds zero-filled storage; false when none could be made (the image is
    // then empty). Raises an overflow error when the stride or size leaves int32.
    bool Create(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp);

    // Copies a picture's bitmap into the image (at 32 bpp when Force32bpp).
    // Returns the picture's own bits per pixel, or 0 when nothing was copied.
    uint8_t CreateFromStdPicture(const cPicture* Image, bool Force32bpp);

    // The same result as the copying form, without the copy where it can be
    // done exactly: a 32-bpp picture loaded with Force32bpp, whose rows are
    // packed (Stride = 4 x Width) and whose pixels nobody else holds
    // (Owner.use_count() == 1), becomes the image itself, its rows turned
    // bottom-up in place unless they already are. The picture is then left empty; in every other
    // case it is copied from and left as it was.
    uint8_t CreateFromStdPicture(cPicture&& Image, bool Force32bpp);

    void CloneTo(cDIB& oDIB) const;  // no caller in the program yet

    // Writes the image as a BMP file (see cDIBSave.cpp). Raises on failure.
    void Save(const std::string& filename) const;
    // Writes the same bytes to an open descriptor (standard output, say);
    // name stands for it in the error raised when a write fails.
    void SaveTo(int fd, const std::string& name) const;
    // The size in bytes of the file Save writes (0 for an empty image).
    int32_t SavedFileSize() const;

    void Destroy();

    // Copies from a drawing context into the image; no caller in the program yet.
    int32_t LoadBlt(cDC* hSrcDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight);
    int32_t Stretch(cDC* hDstDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight,
                    int32_t xSrc, int32_t ySrc, int32_t nSrcWidth, int32_t nSrcHeight,
                    int32_t lROP = SRCCOPY) const;

    // Fills the image with one colour, given as 0x00BBGGRR; no caller in the program yet.
    void Cls(uint32_t BackColor);

    // Palette: 4 bytes an entry, Blue, Green, Red, reserved.
    void SetPalette(std::span<const uint8_t> Palette);
    void GetPalette(std::vector<uint8_t>& Palette) const;

    void Resize(int32_t NewWidth, int32_t NewHeight, bool StretchDIB);
    void GetBestFitInfo(int32_t DstW, int32_t DstH, int32_t& bfx, int32_t& bfy, int32_t& bfW,
                        int32_t& bfH, bool StretchFit = false) const;

    cDC* hDIBDC() const { return hDIBDC_.get(); }
    uintptr_t hDIB() const { return reinterpret_cast<uintptr_t>(hDIB_.get()); }
    uint8_t* lpBits() const { return lpBits_; }
    int32_t Width() const { return Width_; }
    int32_t Height() const { return Height_; }
    int32_t BPP() const { return BPP_; }
    int32_t BytesPerScanline() const { return BytesPerScanline_; }
    // The image's rows (bottom-up in memory); empty for an empty image.
    RowView<uint8_t> Rows() const { return {lpBits_, BytesPerScanline_, Height_, true}; }
    int32_t Size() const { return Size_; }  // bytes of pixel rows; no caller in the program yet
    const BITMAPINFOHEADER& InfoHeader() const { return infoHeader_; }

private:
    struct Storage;  // pixel memory, colour table and the bitmap view over them

    std::vector<uint8_t> SavedHead() const;  // the bytes Save writes before the pixel rows

    // Create's work. With Adopted, the picture's pixel memory (exactly the
    // image's size) becomes the image's instead of new zero-filled memory.
    bool CreateStorage(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp, cPicture* Adopted);

    std::unique_ptr<cMemoryDC> hDIBDC_;
    std::unique_ptr<Storage> hDIB_;
    uint8_t* lpBits_ = nullptr;
    int32_t Width_ = 0;
    int32_t Height_ = 0;
    int32_t BPP_ = 0;
    int32_t BytesPerScanline_ = 0;
    int32_t Size_ = 0;
    BITMAPINFOHEADER infoHeader_;
    const cBitmapBits* hOldBitmap_ = nullptr;
};

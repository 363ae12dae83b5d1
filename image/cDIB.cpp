#include "cDIB.h"

#include "Arithmetic.h"
#include "Messages.h"
#include "PixelMemory.h"
#include "RowOrder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

int32_t ColourTableEntries(int32_t bpp) { return bpp <= 8 ? (1 << bpp) : 0; }

// Bytes a row of a picture needs at least (without padding).
int64_t MinimumRowBytes(int32_t width, int32_t bpp) {
    return (static_cast<int64_t>(width) * bpp + 7) / 8;
}

// Whether CreateFromStdPicture can take the picture's memory over and get
// exactly what copying would give: the same depth, no padding to drop, and
// nobody else who would see the rows turn over (a bottom-up picture already
// has the image's row order).
bool CanAdopt(const cPicture& picture, bool Force32bpp) {
    return Force32bpp && picture.IsBitmap() && picture.BPP == 32 && picture.Width > 0 &&
           picture.Height > 0 &&
           static_cast<int64_t>(picture.Stride) == int64_t{4} * picture.Width &&
           picture.Owner.use_count() == 1;
}

}  // namespace

// The pixel memory and the colour table of one image, and the bitmap view
// through which the graphics layer reaches them.
struct cDIB::Storage {
    // Whatever keeps Pixels alive: zero-filled memory of the image's own, or
    // the buffer of a picture taken over.
    std::shared_ptr<const void> PixelOwner;
    uint8_t* Pixels = nullptr;
    std::vector<uint8_t> ColourTable;  // 4 bytes an entry; empty above 8 bpp
    cBitmapBits Bits;
};

cDIB::cDIB() = default;

cDIB::~cDIB() { Destroy(); }

bool cDIB::Create(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp) {
    return CreateStorage(NewWidth, NewHeight, Newbpp, nullptr);
}

bool cDIB::CreateStorage(int32_t NewWidth, int32_t NewHeight, int32_t Newbpp, cPicture* Adopted) {
    Destroy();

    infoHeader_ = BmpInfoHeader(NewWidth, NewHeight, Newbpp);

    // Absurd sizes raise here rather than wrap around into a small allocation.
    const int32_t stride = CheckedMul(CheckedAdd(CheckedMul(NewWidth, Newbpp), 31) / 32, 4);
    const int32_t size = CheckedMul(stride, NewHeight);

    if (NewWidth <= 0 || NewHeight <= 0 || !IsSupportedDepth(Newbpp)) return false;

    try {
        auto storage = std::make_unique<Storage>();
        auto dc = std::make_unique<cMemoryDC>();
        storage->ColourTable.assign(static_cast<size_t>(ColourTableEntries(Newbpp)) * 4, 0);
        if (Adopted != nullptr) {
            // Nothing can fail past this point, so the picture is touched only
            // when it really becomes the image.
            storage->PixelOwner = std::move(Adopted->Owner);
            storage->Pixels = Adopted->Bits;
            if (!Adopted->BottomUp)
                FlipRows(storage->Pixels, static_cast<size_t>(stride), NewWidth, NewHeight);
            *Adopted = cPicture{};
        } else {
            std::shared_ptr<void> memory = AllocateZeroed(static_cast<size_t>(size));
            if (!memory) return false;
            storage->Pixels = static_cast<uint8_t*>(memory.get());
            storage->PixelOwner = std::move(memory);
        }

        cBitmapBits& bits = storage->Bits;
        bits.Width = NewWidth;
        bits.Height = NewHeight;
        bits.BPP = Newbpp;
        bits.Stride = stride;
        bits.Bits = storage->Pixels;
        bits.BottomUp = true;
        bits.ColorTable = storage->ColourTable.empty() ? nullptr : storage->ColourTable.data();

        hDIB_ = std::move(storage);
        hDIBDC_ = std::move(dc);
    } catch (const std::bad_alloc&) {
        Destroy();
        return false;
    }

    hOldBitmap_ = hDIBDC_->SelectObject(&hDIB_->Bits);
    lpBits_ = hDIB_->Pixels;
    Width_ = NewWidth;
    Height_ = NewHeight;
    BPP_ = Newbpp;
    BytesPerScanline_ = stride;
    Size_ = size;
    return true;
}

uint8_t cDIB::CreateFromStdPicture(const cPicture* Image, bool Force32bpp) {
    if (Image == nullptr || !Image->IsBitmap()) return 0;
    const cPicture& picture = *Image;
    // A picture whose rows cannot hold its pixels is refused before anything
    // is touched, like any picture that is not a bitmap.
    if (!IsSupportedDepth(picture.BPP)) return 0;
    if (picture.Width > 0 && picture.Height > 0 &&
        picture.Stride < MinimumRowBytes(picture.Width, picture.BPP))
        return 0;

    const int32_t depth = Force32bpp ? 32 : picture.BPP;
    if (!Create(picture.Width, picture.Height, depth)) return 0;

    // A short colour table reads as black past its end, never beyond it.
    std::vector<uint8_t> table;
    if (picture.BPP <= 8) {
        table.assign(static_cast<size_t>(ColourTableEntries(picture.BPP)) * 4, 0);
        std::copy_n(picture.ColorTable.begin(), std::min(table.size(), picture.ColorTable.size()),
                    table.begin());
        if (!Force32bpp) SetPalette(table);
    }

    cBitmapBits source;
    source.Width = picture.Width;
    source.Height = picture.Height;
    source.BPP = picture.BPP;
    source.Stride = picture.Stride;
    source.Bits = picture.Bits;  // only read from
    source.BottomUp = picture.BottomUp;
    source.ColorTable = table.empty() ? nullptr : table.data();

    if (!hDIBDC_->BitBlt(0, 0, picture.Width, picture.Height, source, 0, 0)) return 0;
    return static_cast<uint8_t>(picture.BPP);
}

uint8_t cDIB::CreateFromStdPicture(cPicture&& Image, bool Force32bpp) {
    // The copy and the decoded picture would otherwise be alive together: two
    // times 4 bytes a pixel at the peak of every load.
    if (!CanAdopt(Image, Force32bpp)) return CreateFromStdPicture(&Image, Force32bpp);
    if (!CreateStorage(Image.Width, Image.Height, 32, &Image)) return 0;
    return 32;
}

void cDIB::CloneTo(cDIB& oDIB) const {
    if (&oDIB == this) return;
    if (!oDIB.Create(Width_, Height_, BPP_)) return;
    if (BPP_ <= 8) {
        std::vector<uint8_t> palette;
        GetPalette(palette);
        oDIB.SetPalette(palette);
    }
    std::memcpy(oDIB.lpBits_, lpBits_, static_cast<size_t>(Size_));
}

void cDIB::Destroy() {
    // The context lets go of the pixels before they are freed.
    if (hDIBDC_ && hDIB_) hDIBDC_->SelectObject(hOldBitmap_);
    hDIB_.reset();
    hDIBDC_.reset();
    hOldBitmap_ = nullptr;
    lpBits_ = nullptr;
    Width_ = 0;
    Height_ = 0;
    BPP_ = 0;
    BytesPerScanline_ = 0;
    Size_ = 0;
}

int32_t cDIB::LoadBlt(cDC* hSrcDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight) {
    if (!hDIB_ || hSrcDC == nullptr) return 0;
    // Only a context with a bitmap selected can be read from.
    const cBitmapBits* source = hSrcDC->SelectedBitmap();
    if (source == nullptr) return 0;
    if (nWidth < 1) nWidth = Width_;
    if (nHeight < 1) nHeight = Height_;
    return hDIBDC_->BitBlt(x, y, nWidth, nHeight, *source, x, y);
}

int32_t cDIB::Stretch(cDC* hDstDC, int32_t x, int32_t y, int32_t nWidth, int32_t nHeight,
                      int32_t xSrc, int32_t ySrc, int32_t nSrcWidth, int32_t nSrcHeight,
                      int32_t lROP) const {
    if (!hDIB_ || hDstDC == nullptr) return 0;
    // The graphics layer knows plain copies only.
    if (lROP != SRCCOPY) return 0;
    if (nSrcWidth < 1) nSrcWidth = Width_;
    if (nSrcHeight < 1) nSrcHeight = Height_;
    return hDstDC->StretchBlt(x, y, nWidth, nHeight, hDIB_->Bits, xSrc, ySrc, nSrcWidth,
                              nSrcHeight);
}

void cDIB::Cls(uint32_t BackColor) {
    if (!hDIB_) return;
    // The high byte would name a system colour; there are none here.
    const uint8_t red = BackColor & 0xFF;
    const uint8_t green = (BackColor >> 8) & 0xFF;
    const uint8_t blue = (BackColor >> 16) & 0xFF;

    // A 1 x 1 picture of the colour, stretched over the whole image.
    uint8_t pixel[4] = {blue, green, red, 0};
    cBitmapBits colour;
    colour.Width = 1;
    colour.Height = 1;
    colour.Stride = 4;
    colour.Bits = pixel;
    if (BPP_ == 32) {
        colour.BPP = 32;
    } else {
        // An indexed image takes the table entry nearest to the colour, as a
        // solid brush on a palettised bitmap does.
        const std::vector<uint8_t>& table = hDIB_->ColourTable;
        int32_t best = 0;
        int64_t bestDistance = INT64_MAX;
        for (size_t i = 0; i + 3 < table.size(); i += 4) {
            const int64_t db = table[i] - blue, dg = table[i + 1] - green, dr = table[i + 2] - red;
            const int64_t distance = db * db + dg * dg + dr * dr;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<int32_t>(i / 4);
            }
        }
        // Index in the leftmost pixel's bits for every depth.
        pixel[0] = static_cast<uint8_t>(best << (8 - BPP_));
        colour.BPP = BPP_;
        colour.ColorTable = table.data();
    }
    hDIBDC_->StretchBlt(0, 0, Width_, Height_, colour, 0, 0, 1, 1);
}

void cDIB::SetPalette(std::span<const uint8_t> Palette) {
    if (!hDIB_ || BPP_ > 8) return;
    std::vector<uint8_t>& table = hDIB_->ColourTable;
    const size_t entries = std::min(Palette.size() / 4, table.size() / 4);
    std::copy_n(Palette.begin(), entries * 4, table.begin());
}

void cDIB::GetPalette(std::vector<uint8_t>& Palette) const {
    if (!hDIB_ || BPP_ > 8) return;
    Palette = hDIB_->ColourTable;
}

void cDIB::Resize(int32_t NewWidth, int32_t NewHeight, bool StretchDIB) {
    cDIB scaled;
    if (!hDIB_ || !scaled.Create(NewWidth, NewHeight, BPP_)) {
        // An empty image, a zero size or no memory: nothing to carry over.
        Destroy();
        return;
    }
    if (BPP_ <= 8) scaled.SetPalette(hDIB_->ColourTable);
    if (StretchDIB) {
        Stretch(scaled.hDIBDC(), 0, 0, NewWidth, NewHeight, 0, 0, 0, 0);
    } else {
        Stretch(scaled.hDIBDC(), 0, 0, Width_, Height_, 0, 0, 0, 0);
    }

    // The scaled copy already is the new image (same depth, same colour table):
    // take its storage over instead of copying the pixels once more.
    Destroy();
    hDIBDC_ = std::move(scaled.hDIBDC_);
    hDIB_ = std::move(scaled.hDIB_);
    hOldBitmap_ = scaled.hOldBitmap_;
    lpBits_ = scaled.lpBits_;
    Width_ = scaled.Width_;
    Height_ = scaled.Height_;
    BPP_ = scaled.BPP_;
    BytesPerScanline_ = scaled.BytesPerScanline_;
    Size_ = scaled.Size_;
    infoHeader_ = scaled.infoHeader_;
    scaled.hOldBitmap_ = nullptr;
    scaled.Destroy();
}

cFitSize BestFitSize(int32_t width, int32_t height, int32_t DstW, int32_t DstH, bool StretchFit) {
    cFitSize fit{width, height};
    if (width > DstW || height > DstH || StretchFit) {
        // The ratios are single-precision values; the products are not.
        const float cW = static_cast<float>(static_cast<double>(DstW) / width);
        const float cH = static_cast<float>(static_cast<double>(DstH) / height);
        if (cW >= cH) {
            fit.Height = DstH;
            fit.Width = RoundHalfEven(static_cast<double>(cH) * width);
        } else {
            fit.Width = DstW;
            fit.Height = RoundHalfEven(static_cast<double>(cW) * height);
        }
    }
    return fit;
}

void cDIB::GetBestFitInfo(int32_t DstW, int32_t DstH, int32_t& bfx, int32_t& bfy, int32_t& bfW,
                          int32_t& bfH, bool StretchFit) const {
    if (!hDIB_) return;
    const cFitSize fit = BestFitSize(Width_, Height_, DstW, DstH, StretchFit);
    bfW = fit.Width;
    bfH = fit.Height;
    bfx = CheckedSub(DstW, fit.Width) / 2;
    bfy = CheckedSub(DstH, fit.Height) / 2;
}

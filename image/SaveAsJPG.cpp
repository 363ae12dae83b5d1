// JPEG export: the reduced image as a baseline JPEG file (24-bit colour, 4:2:0
// chroma subsampling) through the row encoder of JpegEncoder.h.
//
// The file replaces an earlier one only once it is complete (cReplacementFile),
// so a failed save never leaves a truncated JPEG behind.
//
// Every failure is error 5, "Cannot save the image. GDI+ Error:" followed by a
// status number:
//   below 1000  the errno of the file operation that failed, for example
//               2 (ENOENT: the folder does not exist), 13 (EACCES: no write
//               rights), 21 (EISDIR: the target is a folder), 27 (EFBIG),
//               28 (ENOSPC: the disk is full), 30 (EROFS)
//   1001        the encoder could not be started
//   1002        the encoder refused or failed to encode the image
//   1003        the image is empty or has a depth that cannot be exported
//   1004        the quality is above 100

#include "SaveAsJPG.h"

#include "DescriptorWrite.h"
#include "GraphicsLayer.h"
#include "ReplacementFile.h"
#include "RowView.h"
#include "cDIB.h"

#include <cerrno>
#include <string>
#include <vector>

namespace {

// Indexed rows go to the encoder as entry numbers, a byte a pixel (rows of
// 1 or 4 bits a pixel spread to a byte, one row at a time): no copy of the
// picture at 3 or 4 bytes a pixel.
cJPGBytes EncodeIndexed(const cDIB& image, uint8_t quality) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t bpp = image.BPP();
    std::vector<uint8_t> table;
    image.GetPalette(table);
    table.resize(1024);  // a short table reads as black
    cJpegEncoder encoder(width, height, quality, JpegPixels::Indexed, table.data());
    const RowView<uint8_t> rows = image.Rows();
    if (bpp == 8) {
        // From the top row down: memory keeps the rows bottom-up.
        encoder.WriteRows(rows.Row(0), -rows.Stride, height);
    } else {
        std::vector<uint8_t> spread(static_cast<size_t>(width));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x)
                spread[static_cast<size_t>(x)] =
                    static_cast<uint8_t>(PixelIndex(rows.Row(y), x, bpp));
            encoder.WriteRows(spread.data(), 0, 1);
        }
    }
    return encoder.Finish();
}

void CheckFilename(const std::string& filename) {
    if (filename.empty() || filename.back() == '/') {
        RaiseJpegSaveError(filename.empty() ? ENOENT : EISDIR);
    }
}

}  // namespace

cJPGBytes EncodeJPG(const cDIB& Image, uint8_t quality) {
    if (quality > 100) RaiseJpegSaveError(JpegStatus::Quality);
    if (Image.hDIB() == 0 || Image.lpBits() == nullptr || Image.Width() <= 0 ||
        Image.Height() <= 0 || !IsSupportedDepth(Image.BPP()))
        RaiseJpegSaveError(JpegStatus::Unsupported);
    if (Image.BPP() != 32) return EncodeIndexed(Image, quality);
    // Blue, green, red, unused and bottom-up: the encoder reads that as it is.
    cJpegEncoder encoder(Image.Width(), Image.Height(), quality, JpegPixels::BGRX);
    const RowView<uint8_t> rows = Image.Rows();
    encoder.WriteRows(rows.Row(0), -rows.Stride, Image.Height());
    return encoder.Finish();
}

void WriteJPG(const cJPGBytes& jpeg, const std::string& filename) {
    CheckFilename(filename);
    cReplacementFile file(filename);
    int error = file.Open();
    if (error == 0) error = file.Write(jpeg.Data.get(), jpeg.Size);
    if (error == 0) error = file.Commit();
    if (error != 0) RaiseJpegSaveError(error);
}

void WriteJPGTo(const cJPGBytes& jpeg, int fd) {
    if (const int error = WriteAll(fd, jpeg.Data.get(), jpeg.Size)) RaiseJpegSaveError(error);
}

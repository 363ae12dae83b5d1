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

#include "BandPool.h"
#include "DescriptorWrite.h"
#include "GraphicsLayer.h"
#include "ReplacementFile.h"
#include "RowView.h"
#include "cDIB.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace {

// Indexed rows go to the encoder through the colour table in chunks of rows,
// each chunk expanded on the calling thread's share of the band pool: no copy
// of the whole picture at 3 or 4 bytes a pixel.
void EncodeIndexed(const cDIB& image, cJpegEncoder& encoder) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t bpp = image.BPP();
    std::vector<uint8_t> table;
    image.GetPalette(table);
    table.resize(static_cast<size_t>(4) << bpp);  // a short table reads as black

    const size_t stride = static_cast<size_t>(width) * 4;
    const int32_t chunkRows = static_cast<int32_t>(
        std::min<int64_t>(height, std::max<int64_t>((int64_t{1} << 20) / width, 16)));
    std::vector<uint8_t> chunk(stride * static_cast<size_t>(chunkRows));
    const RowView<uint8_t> rows = image.Rows();
    for (int32_t top = 0; top < height; top += chunkRows) {
        const int32_t count = std::min(chunkRows, height - top);
        parallel::ForEachBand(count, width, [&](int32_t first, int32_t n) {
            for (int32_t y = first; y < first + n; ++y)
                ExpandIndexedRow(rows.Row(top + y), width, bpp, table.data(),
                                 chunk.data() + static_cast<size_t>(y) * stride);
        });
        encoder.WriteRows(chunk.data(), static_cast<std::ptrdiff_t>(stride), count);
    }
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
    const bool indexed = Image.BPP() != 32;
    cJpegEncoder encoder(Image.Width(), Image.Height(), quality, JpegPixels::BGRX);
    if (indexed) {
        EncodeIndexed(Image, encoder);
    } else {
        // Blue, green, red, unused and bottom-up: the encoder reads that as it is.
        const RowView<uint8_t> rows = Image.Rows();
        encoder.WriteRows(rows.Row(0), -rows.Stride, Image.Height());
    }
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

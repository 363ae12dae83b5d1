// JPEG export: the reduced image as a baseline JPEG file (24-bit colour, 4:2:0
// chroma subsampling) through libturbojpeg.
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
#include "cError.h"

#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <vector>
#include <turbojpeg.h>

namespace {

namespace JpegStatus {
constexpr int EncoderStart = 1001;
constexpr int Encoding = 1002;
constexpr int Unsupported = 1003;
constexpr int Quality = 1004;
}  // namespace JpegStatus

// The status in words, for the error's reason.
std::string StatusReason(int status) {
    switch (status) {
    case JpegStatus::EncoderStart:
        return "the JPEG encoder could not be started";
    case JpegStatus::Encoding:
        return "the JPEG encoder failed";
    case JpegStatus::Unsupported:
        return "the image is empty or of a depth JPEG cannot hold";
    case JpegStatus::Quality:
        return "a JPEG quality above 100";
    default:
        return std::generic_category().message(status);
    }
}

[[noreturn]] void RaiseSaveError(int status) {
    throw cError(ErrorNumber::InvalidCall,
                 "Cannot save the image. GDI+ Error:" + std::to_string(status),
                 StatusReason(status));
}

struct EncoderCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};

using EncodedBytes = std::unique_ptr<unsigned char, JPGBytesFree>;

// Indexed pixels (1, 4 or 8 bpp) as top-down RGB rows through the colour
// table, in bands of rows on the calling thread's share of the band pool.
// Every byte is written, so the buffer needs no clearing first.
std::unique_ptr<unsigned char[]> ExpandIndexed(const cDIB& image) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t bpp = image.BPP();
    std::vector<uint8_t> table;
    image.GetPalette(table);
    table.resize(static_cast<size_t>(4) << bpp);  // a short table reads as black

    const size_t rgbStride = static_cast<size_t>(width) * 3;
    std::unique_ptr<unsigned char[]> rgb(
        new unsigned char[rgbStride * static_cast<size_t>(height)]);
    const RowView<uint8_t> rows = image.Rows();
    parallel::ForEachBand(height, width, [&](int32_t first, int32_t count) {
        for (int32_t y = first; y < first + count; ++y) {
            const uint8_t* row = rows.Row(y);
            unsigned char* out = rgb.get() + static_cast<size_t>(y) * rgbStride;
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* entry = &table[static_cast<size_t>(PixelIndex(row, x, bpp)) * 4];
                *out++ = entry[2];
                *out++ = entry[1];
                *out++ = entry[0];
            }
        }
    });
    return rgb;
}

// Encodes the image; the result is owned by the returned pointer.
EncodedBytes Encode(const cDIB& image, int quality, unsigned long& length) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t bpp = image.BPP();
    if (image.hDIB() == 0 || image.lpBits() == nullptr || width <= 0 || height <= 0) {
        RaiseSaveError(JpegStatus::Unsupported);
    }
    if (!IsSupportedDepth(bpp)) {
        RaiseSaveError(JpegStatus::Unsupported);
    }
    int rgbPitch = 0;
    if (__builtin_mul_overflow(width, 3, &rgbPitch)) {
        RaiseSaveError(JpegStatus::Unsupported);
    }

    std::unique_ptr<void, EncoderCloser> encoder(tjInitCompress());
    if (!encoder) {
        RaiseSaveError(JpegStatus::EncoderStart);
    }

    unsigned char* bytes = nullptr;
    int result = 0;
    if (bpp == 32) {
        // Blue, green, red, unused and bottom-up: the encoder reads that as it is.
        result = tjCompress2(encoder.get(), image.lpBits(), width, image.BytesPerScanline(), height,
                             TJPF_BGRX, &bytes, &length, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
    } else {
        const std::unique_ptr<unsigned char[]> rgb = ExpandIndexed(image);
        result = tjCompress2(encoder.get(), rgb.get(), width, rgbPitch, height, TJPF_RGB, &bytes,
                             &length, TJSAMP_420, quality, 0);
    }
    EncodedBytes encoded(bytes);
    if (result != 0 || !encoded || length == 0) {
        RaiseSaveError(JpegStatus::Encoding);
    }
    return encoded;
}

void CheckQuality(uint8_t quality) {
    if (quality > 100) {
        RaiseSaveError(JpegStatus::Quality);
    }
}

void CheckFilename(const std::string& filename) {
    if (filename.empty() || filename.back() == '/') {
        RaiseSaveError(filename.empty() ? ENOENT : EISDIR);
    }
}

}  // namespace

void JPGBytesFree::operator()(unsigned char* bytes) const { tjFree(bytes); }

cJPGBytes EncodeJPG(const cDIB& Image, uint8_t quality) {
    CheckQuality(quality);
    unsigned long length = 0;
    EncodedBytes encoded = Encode(Image, quality, length);
    return {std::move(encoded), static_cast<size_t>(length)};
}

void WriteJPG(const cJPGBytes& jpeg, const std::string& filename) {
    CheckFilename(filename);
    cReplacementFile file(filename);
    int error = file.Open();
    if (error == 0) error = file.Write(jpeg.Data.get(), jpeg.Size);
    if (error == 0) error = file.Commit();
    if (error != 0) RaiseSaveError(error);
}

void WriteJPGTo(const cJPGBytes& jpeg, int fd) {
    if (const int error = WriteAll(fd, jpeg.Data.get(), jpeg.Size)) RaiseSaveError(error);
}

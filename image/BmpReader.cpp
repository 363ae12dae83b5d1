#include "BmpReader.h"

#include "FileBytes.h"
#include "PixelMemory.h"
#include "PixelRows.h"

#include <cstddef>
#include <limits>

namespace {

constexpr uint32_t kRedMask = 0x00FF0000, kGreenMask = 0x0000FF00, kBlueMask = 0x000000FF,
                   kAlphaMask = 0xFF000000;

}  // namespace

bool IsNativeBmp(const BmpHeader& header) {
    if (header.InfoSize != 40 && header.InfoSize != 108 && header.InfoSize != 124) return false;
    if (header.Planes != 1) return false;
    if (header.Width <= 0 || header.Height == 0 ||
        header.Height == std::numeric_limits<int32_t>::min())
        return false;
    // An image's pixel memory is counted in int32 (width x rows < 2^62: no overflow).
    if (header.Width * header.Rows() > std::numeric_limits<int32_t>::max() / 4) return false;

    uint64_t headers = 14 + uint64_t(header.InfoSize);
    if (header.BitCount == 24) {
        if (header.Compression != BI_RGB) return false;
    } else if (header.BitCount == 32) {
        if (header.Compression == BI_BITFIELDS) {
            if (header.Masks[0] != kRedMask || header.Masks[1] != kGreenMask ||
                header.Masks[2] != kBlueMask)
                return false;
            if (header.InfoSize == 40) headers += 12;  // the masks follow the header
        } else if (header.Compression != BI_RGB) {
            return false;
        }
        // A V4 or V5 header names an alpha mask even for BI_RGB, and the
        // general decoder honours it; a 40-byte header has none.
        if (header.AlphaMask() != 0 && header.AlphaMask() != kAlphaMask) return false;
    } else {
        return false;
    }
    return header.PixelOffset >= headers;
}

BmpReadStatus ReadNativeBmp(int fd, uint64_t fileSize, const BmpHeader& header,
                            cPicture& picture) {
    if (!BmpDataFits(header, fileSize)) return BmpReadStatus::Truncated;
    const auto width = static_cast<int32_t>(header.Width);
    const auto rows = static_cast<int32_t>(header.Rows());
    const std::size_t stride = 4 * static_cast<std::size_t>(width);
    const std::size_t fileStride = header.BitCount == 24 ? Stride24(width) : stride;

    std::shared_ptr<void> memory = AllocateZeroed(stride * static_cast<std::size_t>(rows));
    if (!memory) return BmpReadStatus::NoMemory;
    auto* bits = static_cast<uint8_t*>(memory.get());

    const std::size_t dataBytes = fileStride * static_cast<std::size_t>(rows);
    const std::ptrdiff_t read = ReadAt(fd, bits, dataBytes, header.PixelOffset);
    if (read < 0) return BmpReadStatus::ReadError;
    if (static_cast<std::size_t>(read) < dataBytes) return BmpReadStatus::Truncated;  // it shrank

    if (header.BitCount == 24) ExpandRows24To32(bits, width, 0, rows);
    if (header.Height < 0) FlipRows(bits, stride, rows);
    if (header.BitCount == 32 && header.AlphaMask() == kAlphaMask)
        CompositeRowsOverWhite(bits, stride, width, 0, rows);

    picture = cPicture{};
    picture.Type = PictureType::Bitmap;
    picture.Width = width;
    picture.Height = rows;
    picture.BPP = 32;
    picture.Stride = static_cast<int32_t>(stride);
    picture.Bits = bits;
    picture.BottomUp = true;
    picture.Owner = std::move(memory);
    return BmpReadStatus::Read;
}

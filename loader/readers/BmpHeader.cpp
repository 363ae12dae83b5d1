#include "BmpHeader.h"

namespace {

uint32_t Le16(std::span<const uint8_t> b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

uint32_t Le32(std::span<const uint8_t> b, std::size_t at) {
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

bool KnownInfoSize(uint32_t size) {
    switch (size) {
    case 12:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::optional<BmpHeader> ParseBmpHeader(std::span<const uint8_t> head) {
    if (head.size() < 18 || head[0] != 'B' || head[1] != 'M') return std::nullopt;
    BmpHeader h;
    h.PixelOffset = Le32(head, 10);
    h.InfoSize = Le32(head, 14);
    if (!KnownInfoSize(h.InfoSize)) return std::nullopt;
    if (h.InfoSize == 12) {
        if (head.size() < 26) return std::nullopt;
        // The old header's sizes are 16-bit; whether a reader takes them as
        // signed is not settled, so large ones are left to the decoder.
        h.Width = Le16(head, 18);
        h.Height = Le16(head, 20);
        if (h.Width >= 0x8000 || h.Height >= 0x8000) return std::nullopt;
        h.Planes = static_cast<uint16_t>(Le16(head, 22));
        h.BitCount = static_cast<uint16_t>(Le16(head, 24));
        return h;
    }
    if (head.size() < 54) return std::nullopt;
    h.Width = static_cast<int32_t>(Le32(head, 18));
    h.Height = static_cast<int32_t>(Le32(head, 22));
    h.Planes = static_cast<uint16_t>(Le16(head, 26));
    h.BitCount = static_cast<uint16_t>(Le16(head, 28));
    h.Compression = Le32(head, 30);
    h.ColoursUsed = Le32(head, 46);
    for (std::size_t i = 0; i < 4; ++i)
        if (head.size() >= 58 + 4 * i) h.Masks[i] = Le32(head, 54 + 4 * i);
    return h;
}

uint64_t BmpPixelStart(const BmpHeader& header) {
    const uint64_t headers = 14 + uint64_t(header.InfoSize);
    return header.PixelOffset > headers ? header.PixelOffset : headers;
}

uint64_t BmpUncompressedBytes(const BmpHeader& header) {
    const bool uncompressed = header.Compression == BI_RGB || header.HasBitFields();
    switch (header.BitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return 0;
    }
    if (!uncompressed || header.Width <= 0 || header.Height == 0) return 0;
    const uint64_t rowBytes = (uint64_t(header.Width) * header.BitCount + 31) / 32 * 4;
    const uint64_t rows = uint64_t(header.Rows());
    if (rows > UINT64_MAX / rowBytes) return UINT64_MAX;  // more than any file holds
    return rowBytes * rows;
}

bool BmpDataFits(const BmpHeader& header, uint64_t fileSize) {
    const uint64_t start = BmpPixelStart(header);
    return start <= fileSize && BmpUncompressedBytes(header) <= fileSize - start;
}

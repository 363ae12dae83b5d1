#include "BmpChecks.h"

#include "LoaderErrors.h"

#include <algorithm>

std::optional<BmpHeader> BmpHeaderOf(std::span<const uint8_t> head) {
    return ParseBmpHeader(head.first(std::min(head.size(), kBmpHeadBytes)));
}

void RequireMeasurableBmp(std::span<const uint8_t> head, const std::optional<BmpHeader>& bmp,
                          const std::string& path) {
    if (head.size() < 2 || head[0] != 'B' || head[1] != 'M') return;
    if (!bmp) RaiseInvalid(path, "a BMP header of a form this program does not read");
    if (bmp->Width <= 0 || bmp->Height == 0)
        RaiseInvalid(path, "a BMP header of " + std::to_string(bmp->Width) + " x " +
                               std::to_string(bmp->Height) + " pixels");
    if (BmpUncompressedBytes(*bmp) == 0 && !bmp->IsRle())
        RaiseInvalid(path, "a BMP header of a form this program does not read");
    if (bmp->PixelOffset < 14 + bmp->InfoSize)
        RaiseInvalid(path, "its pixel data would start inside its headers");
}

void RequireBmpFits(const BmpHeader& header, uint64_t fileSize, int64_t maxPixels,
                    const std::string& path) {
    RequireLoadableSize(header.Width, header.Rows(), maxPixels, path);
    if (!header.IsRle() && !BmpDataFits(header, fileSize)) RaiseTruncated(path);
}

void RequireRead(BmpReadStatus status, int error, const std::string& path) {
    switch (status) {
    case BmpReadStatus::Read:
        return;
    case BmpReadStatus::Truncated:
        RaiseTruncated(path);
    case BmpReadStatus::NoMemory:
        RaiseNoMemory(path);
    case BmpReadStatus::ReadError:
        RaiseDeviceError(error, path);
    }
}

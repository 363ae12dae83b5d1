#include "BmpReader.h"

#include "BandPool.h"
#include "PixelMemory.h"
#include "PixelRows.h"
#include "cDIB.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <limits>
#include <mutex>

namespace {

constexpr uint32_t kRedMask = 0x00FF0000, kGreenMask = 0x0000FF00, kBlueMask = 0x000000FF,
                   kAlphaMask = 0xFF000000;

// What went wrong in a band, the first failure kept.
struct cBandOutcome {
    std::mutex Mutex;
    BmpReadStatus Status = BmpReadStatus::Read;
    int Error = 0;

    void Fail(BmpReadStatus status, int error) {
        std::lock_guard lock(Mutex);
        if (Status != BmpReadStatus::Read) return;
        Status = status;
        Error = error;
    }
};

// Turns count rows of a band over, in place.
void FlipBandRows(uint8_t* rows, std::size_t stride, int32_t count) {
    for (int32_t top = 0, bottom = count - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(rows + static_cast<std::size_t>(top) * stride,
                         rows + static_cast<std::size_t>(top + 1) * stride,
                         rows + static_cast<std::size_t>(bottom) * stride);
}

}  // namespace

bool IsNativeBmp(const BmpHeader& header) {
    if (header.InfoSize != 40 && header.InfoSize != 108 && header.InfoSize != 124) return false;
    if (header.Planes != 1) return false;
    if (header.Width <= 0 || header.Height == 0 ||
        header.Height == std::numeric_limits<int32_t>::min())
        return false;
    if (header.Width * header.Rows() > kMaxImagePixels) return false;  // < 2^62: no overflow

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

BmpReadStatus ReadBmpRows(const ReadFileAt& read, const BmpHeader& header, int32_t first,
                          int32_t count, uint8_t* pixels, int& error) {
    const auto width = static_cast<int32_t>(header.Width);
    const auto rows = static_cast<int32_t>(header.Rows());
    const std::size_t stride = 4 * static_cast<std::size_t>(width);
    const std::size_t fileStride = header.BitCount == 24 ? Stride24(width) : stride;
    // The file's rows of these memory rows: the same ones bottom-up, the
    // mirrored run top-down.
    const int32_t fileFirst = header.Height < 0 ? rows - first - count : first;
    const std::size_t bytes = fileStride * static_cast<std::size_t>(count);
    const std::ptrdiff_t got =
        read(pixels, bytes, header.PixelOffset + fileStride * static_cast<uint64_t>(fileFirst));
    if (got < 0) {
        error = errno;
        return BmpReadStatus::ReadError;
    }
    if (static_cast<std::size_t>(got) < bytes) return BmpReadStatus::Truncated;  // the file shrank
    // A file row is never longer than an image row, so rows widen in place.
    if (header.BitCount == 24) ExpandRows24To32(pixels, width, 0, count);
    // Each pixel on its own: before or after turning the rows over alike.
    if (header.BitCount == 32 && header.AlphaMask() == kAlphaMask)
        CompositeRowsOverWhite(pixels, stride, width, 0, count);
    if (header.Height < 0) FlipBandRows(pixels, stride, count);
    return BmpReadStatus::Read;
}

BmpReadStatus ReadNativeBmp(const ReadFileAt& read, uint64_t fileSize, const BmpHeader& header,
                            cPicture& picture) {
    if (!BmpDataFits(header, fileSize)) return BmpReadStatus::Truncated;
    const auto width = static_cast<int32_t>(header.Width);
    const auto rows = static_cast<int32_t>(header.Rows());
    const std::size_t stride = 4 * static_cast<std::size_t>(width);

    std::shared_ptr<void> memory = AllocateZeroed(stride * static_cast<std::size_t>(rows));
    if (!memory) return BmpReadStatus::NoMemory;
    auto* bits = static_cast<uint8_t*>(memory.get());

    // Bands of rows on the calling thread's share of the band pool: each band
    // reads its file rows to where its own 32-bit rows begin and widens them
    // there, so the bands never touch each other's memory, and the kernel's
    // copy, the faulting in of fresh pages and the widening run on every core.
    cBandOutcome outcome;
    parallel::ForEachBand(rows, width, [&](int32_t first, int32_t count) {
        int error = 0;
        const BmpReadStatus status = ReadBmpRows(
            read, header, first, count, bits + static_cast<std::size_t>(first) * stride, error);
        if (status != BmpReadStatus::Read) outcome.Fail(status, error);
    });
    if (outcome.Status != BmpReadStatus::Read) {
        errno = outcome.Error;
        return outcome.Status;
    }

    picture = BottomUpBitmap32(width, rows, bits, std::move(memory));
    return BmpReadStatus::Read;
}

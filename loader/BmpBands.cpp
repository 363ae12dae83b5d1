#include "BmpBands.h"

#include "BandPool.h"
#include "BmpChecks.h"
#include "BmpReader.h"
#include "FileBytes.h"
#include "PictureLoader.h"

#include <cerrno>
#include <mutex>

std::unique_ptr<cBmpBands> cBmpBands::Open(const std::string& path, int64_t maxPixels) {
    std::unique_ptr<cBmpBands> bands(new cBmpBands);
    bands->path_ = path;
    OpenRegularFile(path, bands->file_);
    uint8_t head[kBmpHeadBytes];
    const std::ptrdiff_t headBytes = ReadAt(bands->file_.Fd, head, sizeof head, 0);
    if (headBytes < 0) RaiseDeviceError(errno, path);
    const std::span<const uint8_t> headView(head, static_cast<std::size_t>(headBytes));
    const std::optional<BmpHeader> bmp = BmpHeaderOf(headView);
    if (!bmp || !IsNativeBmp(*bmp)) return nullptr;
    ReachedLoadStage(LoadStage::HeadRead, path);
    RequireMeasurableBmp(headView, bmp, path);
    RequireBmpFits(*bmp, bands->file_.Size(), maxPixels, path);
    ReachedLoadStage(LoadStage::Checked, path);
    bands->header_ = *bmp;
    return bands;
}

void cBmpBands::Read(int32_t first, int32_t count, uint8_t* pixels) {
    const int fd = file_.Fd;
    const ReadFileAt read = [fd](void* to, std::size_t size, uint64_t offset) {
        return ReadAt(fd, to, size, offset);
    };
    const std::size_t stride = 4 * static_cast<std::size_t>(Width());
    std::mutex failure;
    BmpReadStatus status = BmpReadStatus::Read;
    int error = 0;
    parallel::ForEachBand(count, Width(), [&](int32_t from, int32_t rows) {
        int bandError = 0;
        const BmpReadStatus band =
            ReadBmpRows(read, header_, first + from, rows,
                        pixels + static_cast<std::size_t>(from) * stride, bandError);
        const std::lock_guard lock(failure);
        if (band != BmpReadStatus::Read && status == BmpReadStatus::Read) {
            status = band;
            error = bandError;
        }
    });
    RequireRead(status, error, path_);
}

void cBmpBands::RequireUnchanged() const { ::RequireUnchanged(file_, path_); }

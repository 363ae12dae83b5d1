#include "DecodedBands.h"

#include "FileBytes.h"
#include "PictureLoader.h"

#include <cerrno>

std::unique_ptr<cDecodedBands> cDecodedBands::Open(const std::string& path, int64_t maxPixels) {
    std::unique_ptr<cDecodedBands> bands(new cDecodedBands);
    bands->path_ = path;
    bands->maxPixels_ = maxPixels;
    OpenRegularFile(path, bands->file_);
    uint8_t head[8];
    const std::ptrdiff_t headBytes = ReadAt(bands->file_.Fd, head, sizeof head, 0);
    if (headBytes < 0) RaiseDeviceError(errno, path);
    if (RowFormatOf(head, static_cast<std::size_t>(headBytes)) == RowFormat::None) return nullptr;
    ReachedLoadStage(LoadStage::HeadRead, path);
    const int fd = bands->file_.Fd;
    bands->input_.Read = [fd](void* to, std::size_t size, uint64_t offset) {
        return ReadAt(fd, to, size, offset);
    };
    bands->input_.FileSize = bands->file_.Size();
    bands->input_.Path = &bands->path_;
    bands->rows_ = OpenRowDecoder(bands->input_, maxPixels);
    if (!bands->rows_) return nullptr;
    ReachedLoadStage(LoadStage::Checked, path);
    return bands;
}

void cDecodedBands::Restart() {
    rows_.reset();
    rows_ = OpenRowDecoder(input_, maxPixels_);
    if (!rows_) RaiseInvalid(path_, "the file changed while it was read");
    next_ = 0;
    ++passes_;
}

void cDecodedBands::Read(int32_t first, int32_t count, uint8_t* pixels) {
    const int32_t width = Width(), height = Height();
    const int32_t top = height - first - count;
    if (top < next_) Restart();
    if (rows_->Width() != width || rows_->Height() != height)
        RaiseInvalid(path_, "the file changed while it was read");
    rows_->SkipRows(top - next_);
    const std::ptrdiff_t stride = 4 * static_cast<std::ptrdiff_t>(width);
    // The band's top row is its last memory row.
    rows_->ReadRows(pixels + (count - 1) * stride, -stride, count);
    next_ = top + count;
    if (next_ == height) {
        rows_->Finish();
        RequireUnchanged();
    }
}

void cDecodedBands::RequireUnchanged() const { ::RequireUnchanged(file_, path_); }

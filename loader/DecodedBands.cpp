#include "DecodedBands.h"

#include "DescriptorWrite.h"
#include "FileBytes.h"
#include "PictureLoader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// An unnamed file for the decoded rows: gone with its descriptor, whatever
// ends the process.
int OpenSpool() {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || *folder == 0) folder = "/tmp";
    return ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

}  // namespace

cDecodedBands::~cDecodedBands() {
    if (spoolFd_ >= 0) ::close(spoolFd_);
}

std::unique_ptr<cDecodedBands> cDecodedBands::Open(const std::string& path, int64_t maxPixels) {
    std::unique_ptr<cDecodedBands> bands(new cDecodedBands);
    bands->path_ = path;
    bands->maxPixels_ = maxPixels;
    OpenRegularFile(path, bands->file_);
    uint8_t head[8];
    const std::ptrdiff_t headBytes = ReadAt(bands->file_.Fd, head, sizeof head, 0);
    if (headBytes < 0) RaiseDeviceError(errno, path);
    if (RowFormatOf(head, static_cast<std::size_t>(headBytes)) == RowFormat::None) return nullptr;
    const int fd = bands->file_.Fd;
    bands->input_.Read = [fd](void* to, std::size_t size, uint64_t offset) {
        return ReadAt(fd, to, size, offset);
    };
    bands->input_.FileSize = bands->file_.Size();
    bands->input_.Path = &bands->path_;
    bands->rows_ = OpenRowDecoder(bands->input_, maxPixels);
    if (!bands->rows_) return nullptr;  // loaded whole: its load calls the hooks
    bands->spool_ = true;
    ReachedLoadStage(LoadStage::HeadRead, path);
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
    if (spool_ && !spooled_ && !Spool()) spool_ = false;
    if (!spool_) return Decode(first, count, pixels);
    const std::size_t stride = 4 * static_cast<std::size_t>(Width());
    const std::size_t bytes = stride * static_cast<std::size_t>(count);
    const std::ptrdiff_t read =
        ReadAt(spoolFd_, pixels, bytes, stride * static_cast<uint64_t>(first));
    if (read < 0) RaiseDeviceError(errno, path_);
    if (static_cast<std::size_t>(read) != bytes) RaiseDeviceError(EIO, path_);
}

bool cDecodedBands::Spool() {
    spoolFd_ = OpenSpool();
    if (spoolFd_ < 0) return false;
    const int32_t width = Width(), height = Height();
    const std::size_t stride = 4 * static_cast<std::size_t>(width);
    const int32_t bandRows = static_cast<int32_t>(std::clamp<std::size_t>(
        (std::size_t{1} << 20) / stride, 1, static_cast<std::size_t>(height)));
    std::vector<uint8_t> band(stride * static_cast<std::size_t>(bandRows));
    for (int32_t top = 0; top < height; top += bandRows) {
        const int32_t count = std::min(bandRows, height - top);
        const int32_t first = height - top - count;  // its lowest memory row
        Decode(first, count, band.data());
        if (WriteAllAt(spoolFd_, band.data(), stride * static_cast<std::size_t>(count),
                       stride * static_cast<uint64_t>(first)) != 0) {
            // A full disk, say: the rows are decoded again instead.
            ::close(spoolFd_);
            spoolFd_ = -1;
            Restart();
            return false;
        }
    }
    spooled_ = true;
    return true;
}

void cDecodedBands::Decode(int32_t first, int32_t count, uint8_t* pixels) {
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

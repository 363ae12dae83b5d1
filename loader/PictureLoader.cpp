// The picture loader: the commonest BMP files through the native reader,
// every other file through Qt's image reader (QtDecoder.h, loaded only when
// a file needs it). Either way the decoded pixels
// are handed over as they are (no copy): the picture's Owner keeps them
// alive, and as its only holder the caller may write to them (cDIB takes them
// over that way).
//
// Pixels are decoded into memory that is zero-filled or filled completely,
// and a file whose pixel data ends early is refused, so no pixel of an
// earlier picture can show through in a later one.

#include "PictureLoader.h"

#include "BmpHeader.h"
#include "BmpReader.h"
#include "FileBytes.h"
#include "FileExtent.h"
#include "LoaderErrors.h"
#include "PixelMemory.h"
#include "QtDecoder.h"
#include "cError.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseOpenError(int error, const std::string& path) {
    switch (error) {
    case ENOENT:
        throw cError(ErrorNumber::FileNotFound, "File not found: " + path);
    case EACCES:
    case EPERM:
        throw cError(ErrorNumber::PermissionDenied, "Permission denied: " + path);
    case ENOTDIR:
        throw cError(ErrorNumber::PathNotFound, "Path not found: " + path);
    default:
        throw cError(ErrorNumber::PathFileAccess,
                     "Path/File access error: " + path + " (" + std::strerror(error) + ")");
    }
}

// Only regular files are read: a folder, a named pipe (whose open would block
// until a writer comes), a socket or a device is refused by its mode alone.
void RequireRegularFile(mode_t mode, const std::string& path) {
    if (S_ISREG(mode)) return;
    const char* kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a named pipe"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "not a regular file";
    throw cError(ErrorNumber::PathFileAccess,
                 "Path/File access error: " + path + " is " + kind + ", not a picture file");
}

// An open file, closed when it goes.
struct cOpenFile {
    int Fd = -1;
    uint64_t Size = 0;
    cOpenFile() = default;
    cOpenFile(const cOpenFile&) = delete;
    cOpenFile& operator=(const cOpenFile&) = delete;
    ~cOpenFile() {
        if (Fd >= 0) ::close(Fd);
    }
};

// Opens the file for reading after making sure it is a regular file, and
// checks again on the open descriptor in case the path changed in between
// (O_NONBLOCK keeps even that case from blocking).
void OpenRegularFile(const std::string& path, cOpenFile& file) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) RaiseOpenError(errno, path);
    RequireRegularFile(st.st_mode, path);

    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) RaiseOpenError(errno, path);
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        RaiseOpenError(error, path);
    }
    if (!S_ISREG(st.st_mode)) {  // replaced by something else since the stat
        ::close(fd);
        RequireRegularFile(st.st_mode, path);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.Fd = fd;
    file.Size = static_cast<uint64_t>(st.st_size);
}

// ---- channels narrower than 8 bits in 16-bit and bit-field BMP files

// Width of a run of set bits; 8 (leave alone) for an empty or broken mask.
int MaskBits(uint32_t mask) {
    if (mask == 0) return 8;
    while (!(mask & 1)) mask >>= 1;
    int bits = 0;
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
    return mask == 0 && bits <= 8 ? bits : 8;
}

ChannelBits BmpChannelBits(const BmpHeader& header) {
    ChannelBits channels;
    if (header.InfoSize < 40) return channels;  // the old 12-byte header has no 16-bit form
    if (header.BitCount == 16 && header.Compression == BI_RGB) {  // 5 bits a channel
        channels.Bits[0] = channels.Bits[1] = channels.Bits[2] = 5;
    } else if ((header.BitCount == 16 || header.BitCount == 32) && header.HasBitFields()) {
        for (int c = 0; c < 3; ++c) channels.Bits[c] = MaskBits(header.Masks[c]);
        channels.Bits[3] = MaskBits(header.AlphaMask());
    }
    return channels;
}

// ---- pixel data that ends early

// Refuses a BMP file whose header claims more pixels than can be loaded, or
// whose pixel data the file does not hold. Headers the decoders refuse anyway
// are left to them.
void RequireWholeBmp(const cOpenFile& file, const BmpHeader& header, const std::string& path) {
    if (header.Width <= 0 || header.Height == 0) return;
    RequireLoadableSize(header.Width, header.Rows(), 4, path);
    if (header.IsRle()) {
        RequireWhole(RleExtent(file.Fd, file.Size, header), path);
    } else if (BmpUncompressedBytes(header) != 0 && !BmpDataFits(header, file.Size)) {
        RaiseTruncated(path);
    }
}

cPicture ReadNative(const cOpenFile& file, const BmpHeader& header, const std::string& path) {
    cPicture picture;
    switch (ReadNativeBmp(file.Fd, file.Size, header, picture)) {
    case BmpReadStatus::Read:
        return picture;
    case BmpReadStatus::Truncated:
        RaiseTruncated(path);
    case BmpReadStatus::NoMemory:
        throw cError(ErrorNumber::OutOfMemory, "Out of memory: " + path);
    case BmpReadStatus::ReadError:
        break;
    }
    RaiseDeviceError(errno, path);
}

}  // namespace

cPicture LoadPicture(const std::string& path) {
    if (path.empty()) return {};
    cOpenFile file;
    OpenRegularFile(path, file);

    uint8_t head[kBmpHeadBytes];
    const std::ptrdiff_t headBytes = ReadAt(file.Fd, head, sizeof head, 0);
    if (headBytes < 0) RaiseDeviceError(errno, path);
    const std::optional<BmpHeader> bmp =
        ParseBmpHeader(std::span<const uint8_t>(head, static_cast<std::size_t>(headBytes)));
    if (bmp) {
        RequireWholeBmp(file, *bmp, path);
        if (IsNativeBmp(*bmp)) return ReadNative(file, *bmp, path);
    }
    const std::string_view start(reinterpret_cast<const char*>(head), std::size_t(headBytes));
    // The file's own structure walk, for the formats whose decoders accept a cut file.
    const ExtentWalk walk = start.starts_with("\xFF\xD8")  ? JpegExtent
                            : start.starts_with("GIF8")    ? GifExtent
                            : start.starts_with("#define") ? XbmExtent
                                                           : nullptr;
    QtDecodeRequest request;
    request.Fd = file.Fd;
    request.Channels = bmp ? BmpChannelBits(*bmp) : ChannelBits{};
    request.Walk = walk;
    request.Path = &path;
    request.AllocateZeroed = &AllocateZeroed;
    return DecodeWithQt(request);
}

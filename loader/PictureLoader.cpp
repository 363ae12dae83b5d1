// The picture loader: the commonest BMP files through the native reader,
// every other file through Qt's image reader. Either way the decoded pixels
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
#include "PixelMemory.h"
#include "PixelRows.h"
#include "cError.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Qt refuses images above 128 MB by default; photographs of 30000 x 30000
// pixels need 3.4 GB at 32 bpp (6.7 GB for a 16-bit-per-channel PNG).
constexpr int kAllocationLimitMB = 8192;

// Keeps Qt's image plugins from printing their own warnings: the loader
// reports failures through cError only, and pixolune-cli prints one line per
// failing file.
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void QuietImageIo(QLoggingCategory* category) {
    if (previousFilter) previousFilter(category);
    if (std::strncmp(category->categoryName(), "qt.gui.imageio", 14) == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
        category->setEnabled(QtWarningMsg, false);
    }
}

// Qt takes the first thread that asks for its thread data for the main
// thread, and moves the image plugins it loads there. Were that a worker
// thread of pixolune-cli (which has no QCoreApplication), the plugins would
// outlive it and its freed thread data would be used again when the plugins
// are unloaded at exit, crashing the process after its work is done. Asked
// here, during start-up, the main thread is the real one.
[[maybe_unused]] const QThread* const kMainThread = QThread::currentThread();

void SetUpReaderOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMB);
        previousFilter = QLoggingCategory::installFilter(QuietImageIo);
    });
}

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
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const mode_t mode = st.st_mode;
        ::close(fd);
        RequireRegularFile(mode, path);
        RaiseOpenError(EIO, path);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.Fd = fd;
    file.Size = static_cast<uint64_t>(st.st_size);
}

[[noreturn]] void RaiseDeviceError(int error, const std::string& path) {
    throw cError(ErrorNumber::DeviceIO,
                 "Device I/O error: " + path + " (" + std::strerror(error) + ")");
}

[[noreturn]] void RaiseTruncated(const std::string& path) {
    throw cError(ErrorNumber::InvalidPicture,
                 "Invalid picture: " + path + " (the file ends before its pixel data does)");
}

std::string ReaderReason(const QImageReader& reader) {
    const QString reason = reader.errorString();
    return reason.isEmpty() ? std::string("unknown reason") : reason.toStdString();
}

[[noreturn]] void RaiseTooLarge(int64_t width, int64_t height, const std::string& path) {
    throw cError(ErrorNumber::OutOfMemory, "Out of memory: " + path + " is too large to load (" +
                                               std::to_string(width) + " x " +
                                               std::to_string(height) + " pixels)");
}

// Refuses sizes that cannot be decoded before anything is allocated; a header
// may claim any size. Sizes are positive.
void RequireLoadableSize(int64_t width, int64_t height, int64_t bytesPerPixel,
                         const std::string& path) {
    const int64_t limit = int64_t(kAllocationLimitMB) * 1024 * 1024;
    if (width * height > limit / bytesPerPixel)  // width x height < 2^62: no overflow
        RaiseTooLarge(width, height, path);
}

void CheckSize(const QImageReader& reader, const std::string& path) {
    const QSize size = reader.size();
    if (!size.isValid()) return;  // the handler does not tell beforehand; read() decides
    const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
    RequireLoadableSize(size.width(), size.height(), depth > 32 ? depth / 8 : 4, path);
}

// A reader that cannot get the memory for its image only says that it could
// not read the data. Whether the process could map an image of the size the
// header gave (its address-space limit, the system's overcommit rule) tells
// the two apart; the mapping is never touched.
bool MemoryIsShort(const QSize& size) {
    if (!size.isValid() || size.isEmpty()) return false;
    const std::size_t bytes = std::size_t(size.width()) * std::size_t(size.height()) * 4;
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return true;
    ::munmap(block, bytes);
    return false;
}

[[noreturn]] void RaiseReadError(const QImageReader& reader, const std::string& path) {
    const std::string reason = ReaderReason(reader);
    switch (reader.error()) {
        case QImageReader::FileNotFoundError:
            throw cError(ErrorNumber::FileNotFound, "File not found: " + path);
        case QImageReader::DeviceError:
            throw cError(ErrorNumber::DeviceIO, "Device I/O error: " + path + " (" + reason + ")");
        default:
            throw cError(ErrorNumber::InvalidPicture,
                         "Invalid picture: " + path + " (" + reason + ")");
    }
}

// ---- channels narrower than 8 bits in 16-bit and bit-field BMP files

// Bits of each channel (red, green, blue, alpha) that Qt widened to 8 by a
// plain shift: it reads the 5-bit 31 as 248 where the file means 255.
struct ChannelBits {
    int Bits[4] = {8, 8, 8, 8};
    bool Narrow() const { return Bits[0] < 8 || Bits[1] < 8 || Bits[2] < 8 || Bits[3] < 8; }
};

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

// v·255 / max rounded, from the shifted value Qt produced.
void WidenNarrowChannels(QImage& image, const ChannelBits& channels) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) return;
    uint8_t table[4][256];
    for (int c = 0; c < 4; ++c) {
        const int bits = channels.Bits[c];
        const uint32_t max = (1u << bits) - 1;
        for (uint32_t q = 0; q < 256; ++q)
            table[c][q] =
                bits >= 8 ? uint8_t(q) : uint8_t(((q >> (8 - bits)) * 255 + max / 2) / max);
    }
    const bool alpha = image.format() == QImage::Format_ARGB32;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = pixel[x];
            pixel[x] = qRgba(table[0][qRed(p)], table[1][qGreen(p)], table[2][qBlue(p)],
                             alpha ? table[3][qAlpha(p)] : 255);
        }
    }
}

// ---- alpha

// Over white as every loaded picture is (see PixelRows.h).
QRgb OpaqueOverWhite(QRgb argb) {
    const uint32_t a = qAlpha(argb);
    if (a == 255) return argb;
    return qRgb(OverWhite(qRed(argb), a), OverWhite(qGreen(argb), a), OverWhite(qBlue(argb), a));
}

// In place, on the reader's own buffer (the image is not shared yet). ARGB32
// pixels lie in memory as Blue, Green, Red, alpha.
void CompositeOverWhite(QImage& image) {
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    CompositeRowsOverWhite(image.bits(), static_cast<std::size_t>(image.bytesPerLine()),
                           image.width(), 0, image.height());
}

// Colour table in the exchange layout (Blue, Green, Red, 0), 2^bpp entries:
// indices past the file's table read black instead of past the end.
std::vector<uint8_t> ColorTableOf(const QImage& image, int bpp) {
    std::vector<uint8_t> table(std::size_t(4) << bpp, 0);
    const QList<QRgb> colors = image.colorTable();
    const qsizetype count = std::min<qsizetype>(colors.size(), qsizetype(1) << bpp);
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb c = OpaqueOverWhite(colors[i]);
        table[4 * i + 0] = static_cast<uint8_t>(qBlue(c));
        table[4 * i + 1] = static_cast<uint8_t>(qGreen(c));
        table[4 * i + 2] = static_cast<uint8_t>(qRed(c));
    }
    return table;
}

std::vector<uint8_t> GreyTable() {
    std::vector<uint8_t> table(1024, 0);
    for (int i = 0; i < 256; ++i) table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = uint8_t(i);
    return table;
}

// Brings the decoded image to one of the layouts a picture can carry, copying
// only when the reader's format has no such layout.
void Normalise(QImage& image, int& bpp, std::vector<uint8_t>& table) {
    switch (image.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
            if (image.colorCount() == 0) image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
            if (image.format() == QImage::Format_MonoLSB) image.convertTo(QImage::Format_Mono);
            bpp = 1;
            table = ColorTableOf(image, 1);
            return;
        case QImage::Format_Indexed8:
            if (image.colorCount() == 0) break;  // no table to index: let Qt decide the colours
            bpp = 8;
            table = ColorTableOf(image, 8);
            return;
        case QImage::Format_Grayscale8:
            bpp = 8;  // the bytes index a grey ramp as they are
            table = GreyTable();
            return;
        case QImage::Format_RGB32:
            bpp = 32;
            return;
        case QImage::Format_ARGB32:
            CompositeOverWhite(image);
            bpp = 32;
            return;
        default:
            break;
    }
    if (image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_ARGB32);
        CompositeOverWhite(image);
    } else {
        image.convertTo(QImage::Format_RGB32);
    }
    bpp = 32;
}

// ---- pixel data that ends early

// Refuses a BMP file whose header claims more pixels than can be loaded, or
// whose pixel data the file does not hold. Headers the decoders refuse anyway
// are left to them.
void RequireWholeBmp(const cOpenFile& file, const BmpHeader& header, const std::string& path) {
    if (header.Width <= 0 || header.Height == 0) return;
    RequireLoadableSize(header.Width, header.Rows(), 4, path);
    if (header.IsRle()) {
        const uint64_t start = BmpPixelStart(header);
        std::vector<uint8_t> data(start < file.Size ? file.Size - start : 0);
        const std::ptrdiff_t read = ReadAt(file.Fd, data.data(), data.size(), start);
        if (read < 0) RaiseDeviceError(errno, path);
        data.resize(static_cast<std::size_t>(read));
        if (!RleDataComplete(data, header)) RaiseTruncated(path);
    } else if (BmpUncompressedBytes(header) != 0 && !BmpDataFits(header, file.Size)) {
        RaiseTruncated(path);
    }
}

// Qt's JPEG and GIF decoders make a picture of whatever part of the file
// they get (the rest grey or background) and call it a success.
void RequireWhole(FileExtent extent, const std::string& path) {
    switch (extent) {
        case FileExtent::Truncated:
            RaiseTruncated(path);
        case FileExtent::ReadError:
            RaiseDeviceError(errno, path);
        default:
            return;
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

// A zero-filled image of the size and format the reader announces, or the
// null image when it announces none. Qt's handlers decode into an image of
// the right size and format that they are given instead of allocating one
// whose memory is not cleared (and may hold an earlier picture): what a file
// leaves unset (run-length codes that skip pixels, say) then reads as zeros.
QImage ZeroedImage(const QImageReader& reader) {
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid() || size.isEmpty() || format <= QImage::Format_Invalid ||
        format >= QImage::NImageFormats)
        return {};
    const qsizetype bytesPerLine =
        (qsizetype(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    std::shared_ptr<void> memory =
        AllocateZeroed(static_cast<std::size_t>(bytesPerLine) * std::size_t(size.height()));
    if (!memory) return {};
    auto* keeper = new std::shared_ptr<void>(memory);
    QImage image(
        static_cast<uchar*>(memory.get()), size.width(), size.height(), bytesPerLine, format,
        [](void* held) { delete static_cast<std::shared_ptr<void>*>(held); }, keeper);
    if (image.isNull()) delete keeper;  // refused: the image never took it
    return image;
}

// The file's own structure walk, for the formats whose decoders accept a cut file.
using ExtentWalk = FileExtent (*)(int fd);

cPicture DecodeWithQt(const cOpenFile& file, const ChannelBits& channels, ExtentWalk walk,
                      const std::string& path) {
    SetUpReaderOnce();
    QFile device;
    if (!device.open(file.Fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        throw cError(ErrorNumber::PathFileAccess, "Path/File access error: " + path);

    QImage image;
    {
        QImageReader reader(&device);
        reader.setDecideFormatFromContent(true);  // a PNG named .bmp still loads
        reader.setAutoTransform(false);           // pixels as stored, no EXIF turn
        if (!reader.canRead()) RaiseReadError(reader, path);
        CheckSize(reader, path);
        if (walk) RequireWhole(walk(file.Fd), path);
        const QSize size = reader.size();  // the reader forgets it when reading fails
        image = ZeroedImage(reader);
        if (!reader.read(&image) || image.isNull()) {
            if (MemoryIsShort(size)) RaiseTooLarge(size.width(), size.height(), path);
            RaiseReadError(reader, path);
        }
    }
    device.close();
    if (channels.Narrow()) WidenNarrowChannels(image, channels);

    cPicture picture;
    // No colour-space conversion: the pixels stay as stored, whatever profile
    // or gamma the file names.
    int bpp = 0;
    Normalise(image, bpp, picture.ColorTable);

    auto owner = std::make_shared<QImage>(std::move(image));
    picture.Type = PictureType::Bitmap;
    picture.Width = owner->width();
    picture.Height = owner->height();
    picture.BPP = bpp;
    picture.Stride = static_cast<int32_t>(owner->bytesPerLine());
    // bits(), not constBits(): should the reader have kept a reference to the
    // pixels, this detaches them, so no other QImage can see them change.
    picture.Bits = owner->bits();
    picture.Owner = std::move(owner);
    return picture;
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
    const ExtentWalk walk = start.starts_with("\xFF\xD8") ? JpegExtent
                            : start.starts_with("GIF8")     ? GifExtent
                                                            : nullptr;
    return DecodeWithQt(file, bmp ? BmpChannelBits(*bmp) : ChannelBits{}, walk, path);
}


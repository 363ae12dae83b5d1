// The picture loader, on Qt's image reader. The decoded QImage is handed over
// as it is (no pixel copy): the picture's Owner keeps it alive, and as its
// only holder the caller may write to it (cDIB takes it over that way).

#include "PictureLoader.h"

#include "cError.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
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

void SetUpReaderOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMB);
        previousFilter = QLoggingCategory::installFilter(QuietImageIo);
    });
}

}  // namespace

void PrepareLoader() {
    SetUpReaderOnce();
    QImageReader::supportedImageFormats();  // instantiates every image plugin here
}

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

// Opens the file for reading after making sure it is a regular file, and
// checks again on the open descriptor in case the path changed in between
// (O_NONBLOCK keeps even that case from blocking).
int OpenRegularFile(const std::string& path) {
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
    return fd;
}

std::string ReaderReason(const QImageReader& reader) {
    const QString reason = reader.errorString();
    return reason.isEmpty() ? std::string("unknown reason") : reason.toStdString();
}

// Refuses sizes that cannot be decoded before anything is allocated; a header
// may claim any size.
void CheckSize(const QImageReader& reader, const std::string& path) {
    const QSize size = reader.size();
    if (!size.isValid()) return;  // the handler does not tell beforehand; read() decides
    const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
    const qint64 bytesPerPixel = depth > 32 ? depth / 8 : 4;
    const qint64 bytes = qint64(size.width()) * size.height() * bytesPerPixel;
    if (bytes > qint64(kAllocationLimitMB) * 1024 * 1024) {
        throw cError(ErrorNumber::OutOfMemory, "Out of memory: " + path +
                                                   " is too large to load (" +
                                                   std::to_string(size.width()) + " x " +
                                                   std::to_string(size.height()) + " pixels)");
    }
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

uint32_t Le32(const QByteArray& b, int at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

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

// Reads the BMP headers at the start of the file (not consumed).
ChannelBits BmpChannelBits(QFile& file) {
    ChannelBits channels;
    const QByteArray head = file.peek(70);
    if (head.size() < 34 || head[0] != 'B' || head[1] != 'M') return channels;
    const uint32_t infoSize = Le32(head, 14);
    if (infoSize < 40) return channels;  // the old 12-byte header has no 16-bit form
    const int bitCount = uint8_t(head[28]) | uint8_t(head[29]) << 8;
    const uint32_t compression = Le32(head, 30);
    if (bitCount == 16 && compression == 0) {  // BI_RGB at 16 bits: 5 bits a channel
        channels.Bits[0] = channels.Bits[1] = channels.Bits[2] = 5;
    } else if ((bitCount == 16 || bitCount == 32) && (compression == 3 || compression == 6) &&
               head.size() >= 66) {  // BI_BITFIELDS, BI_ALPHABITFIELDS: masks at offset 54
        for (int c = 0; c < 3; ++c) channels.Bits[c] = MaskBits(Le32(head, 54 + 4 * c));
        if ((infoSize >= 56 || compression == 6) && head.size() >= 70)
            channels.Bits[3] = MaskBits(Le32(head, 66));
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

// Transparent pixels are shown over white: c' = (c·a + 255·(255 − a) + 127) / 255.
inline uint8_t OverWhite(uint32_t c, uint32_t a) {
    return static_cast<uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

QRgb OpaqueOverWhite(QRgb argb) {
    const uint32_t a = qAlpha(argb);
    if (a == 255) return argb;
    return qRgb(OverWhite(qRed(argb), a), OverWhite(qGreen(argb), a), OverWhite(qBlue(argb), a));
}

// In place, on the reader's own buffer (the image is not shared yet).
void CompositeOverWhite(QImage& image) {
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) pixel[x] = OpaqueOverWhite(pixel[x]);
    }
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

}  // namespace

cPicture LoadPicture(const std::string& path) {
    cPicture picture;
    if (path.empty()) return picture;
    SetUpReaderOnce();

    QFile file;
    const int fd = OpenRegularFile(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cError(ErrorNumber::PathFileAccess, "Path/File access error: " + path);
    }

    const ChannelBits channels = BmpChannelBits(file);
    QImage image;
    {
        QImageReader reader(&file);
        reader.setDecideFormatFromContent(true);  // a PNG named .bmp still loads
        reader.setAutoTransform(false);           // pixels as stored, no EXIF turn
        if (!reader.canRead()) RaiseReadError(reader, path);
        CheckSize(reader, path);
        if (!reader.read(&image) || image.isNull()) RaiseReadError(reader, path);
    }
    file.close();
    if (channels.Narrow()) WidenNarrowChannels(image, channels);

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

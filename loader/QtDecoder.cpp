// The general decoder, on Qt's image reader: built as the module
// pixolune-qt-decoder.so, whose one entry point is PixoluneDecodeWithQt. The
// decoded QImage is handed over as it is (no pixel copy): the picture's Owner
// keeps it alive, and as its only holder the caller may write to it.

#include "QtDecoder.h"

#include "DecoderMessages.h"
#include "LoaderErrors.h"
#include "PixelRows.h"
#include "cError.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// ---- what a decoder says while it decodes

// A decoder reports trouble only through Qt's log: a PNG or JPEG cut short,
// say, still decodes into a picture whose missing rows are grey, and
// QImageReader::read() says it succeeded. So while a picture decodes, every
// message logged on its thread is taken from the log (nothing of it is
// printed: the loader reports failures through cError only) and kept.
thread_local std::vector<std::string>* tDecoderMessages = nullptr;
QtMessageHandler previousHandler = nullptr;

void KeepDecoderMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (tDecoderMessages == nullptr) {
        if (previousHandler) previousHandler(type, context, text);
        return;
    }
    if (type != QtDebugMsg && type != QtInfoMsg) tDecoderMessages->push_back(text.toStdString());
}

// The messages of one decoding, for as long as it lasts.
class cDecoderMessages {
public:
    cDecoderMessages() { tDecoderMessages = &messages_; }
    ~cDecoderMessages() { tDecoderMessages = nullptr; }
    cDecoderMessages(const cDecoderMessages&) = delete;
    cDecoderMessages& operator=(const cDecoderMessages&) = delete;

    // The first message that says the decoder ran out of data, or nothing.
    std::optional<std::string> MissingData() const {
        for (const std::string& message : messages_)
            if (SaysDataMissing(message)) return message;
        return std::nullopt;
    }

private:
    std::vector<std::string> messages_;
};

// Qt takes the first thread that asks for its thread data for the main
// thread, and moves the image plugins it loads there. Were that a worker
// thread of pixolune-cli (which has no QCoreApplication), the plugins would
// outlive it and its freed thread data would be used again when the plugins
// are unloaded at exit, crashing the process after its work is done. So the
// question is asked as the module loads: by the main thread when that is the
// one loading it, else by a thread of the module's own that lives as long as
// the process. False when that thread could not be started (a process
// limit): then nothing of Qt may run yet.
bool AnchorQtMainThread() {
    if (QCoreApplication::instance() != nullptr) return true;  // the window's: Qt knows it
    if (::gettid() == ::getpid()) {
        QThread::currentThread();
        return true;
    }
    std::promise<void> asked;
    try {
        std::thread([&asked] {
            QThread::currentThread();
            asked.set_value();
            for (;;) ::pause();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    asked.get_future().wait();
    return true;
}

std::mutex anchorMutex;
bool anchored = AnchorQtMainThread();  // as the module loads

// Tries again for a file when loading the module could not anchor Qt.
void RequireAnchoredQt(const std::string& path) {
    const std::lock_guard lock(anchorMutex);
    if (!anchored) anchored = AnchorQtMainThread();
    if (!anchored) RaiseNoMemory(path, " (no thread to be had for the picture decoder)");
}

void SetUpReaderOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kAllocationLimitMB);
        previousHandler = qInstallMessageHandler(KeepDecoderMessages);
    });
}

std::string ReaderReason(const QImageReader& reader) {
    const QString reason = reader.errorString();
    return reason.isEmpty() ? std::string("unknown reason") : reason.toStdString();
}

// The size the file claims before anything of it is decoded, where there is
// one. Qt's BMP reader gives a top-down file's height as the file stores it,
// negative.
QSize AnnouncedSize(const QImageReader& reader) {
    QSize size = reader.size();
    if (size.width() > 0 && size.height() < 0 && size.height() > INT_MIN)
        size.setHeight(-size.height());
    return size;
}

void CheckSize(QSize size, const QtDecodeRequest& request) {
    // Where nothing is announced, read() decides; the picture it makes is
    // measured after.
    if (size.isValid())
        RequireLoadableSize(size.width(), size.height(), request.MaxPixels, *request.Path);
}

// A reader that cannot get the memory for its image only says that it could
// not read the data. Whether the process could map an image of the size the
// header gave (its address-space limit, the system's overcommit rule) tells
// the two apart; the mapping is never touched.
bool MemoryIsShort(const QSize& size) {
    if (!size.isValid() || size.isEmpty()) return false;
    const std::size_t bytes = std::size_t(size.width()) * std::size_t(size.height()) * 4;
    void* block =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return true;
    ::munmap(block, bytes);
    return false;
}

// The reader works on the file's bytes in memory: whatever fails is the data.
[[noreturn]] void RaiseReadError(const QImageReader& reader, const std::string& path) {
    RaiseInvalid(path, ReaderReason(reader));
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

// A zero-filled image of the announced size in the format the reader
// announces, or the null image when it announces none. Qt's handlers decode
// into an image of the right size and format that they are given instead of
// allocating one whose memory is not cleared (and may hold an earlier
// picture): what a file leaves unset (run-length codes that skip pixels, say)
// then reads as zeros.
QImage ZeroedImage(QSize size, const QImageReader& reader, const QtDecodeRequest& request) {
    const QImage::Format format = reader.imageFormat();
    if (!size.isValid() || size.isEmpty() || format <= QImage::Format_Invalid ||
        format >= QImage::NImageFormats)
        return {};
    const qsizetype bytesPerLine =
        (qsizetype(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    std::shared_ptr<void> memory =
        request.AllocateZeroed(static_cast<std::size_t>(bytesPerLine) * std::size_t(size.height()));
    if (!memory) return {};
    auto* keeper = new std::shared_ptr<void>(memory);
    QImage image(
        static_cast<uchar*>(memory.get()), size.width(), size.height(), bytesPerLine, format,
        [](void* held) { delete static_cast<std::shared_ptr<void>*>(held); }, keeper);
    if (image.isNull()) delete keeper;  // refused: the image never took it
    return image;
}

}  // namespace

void PixoluneDecodeWithQt(const QtDecodeRequest& request, cPicture& picture) {
    const std::string& path = *request.Path;
    RequireAnchoredQt(path);
    SetUpReaderOnce();
    // The file's bytes as they were read, not copied.
    const QByteArray bytes = QByteArray::fromRawData(
        reinterpret_cast<const char*>(request.File.data()), qsizetype(request.File.size()));
    QBuffer device;
    device.setData(bytes);
    if (!device.open(QIODevice::ReadOnly))
        RaiseNoMemory(path, " (the file's bytes cannot be read in memory)");

    QImage image;
    {
        const cDecoderMessages messages;
        QImageReader reader(&device);
        reader.setDecideFormatFromContent(true);  // a PNG named .bmp still loads
        reader.setAutoTransform(false);           // pixels as stored, no EXIF turn
        if (!reader.canRead()) RaiseReadError(reader, path);
        const QSize size = AnnouncedSize(reader);  // forgotten when reading fails
        CheckSize(size, request);
        if (request.Walk) RequireWhole(request.Walk(request.File), path);
        if (request.Checked) request.Checked(path);
        image = ZeroedImage(size, reader, request);
        if (!reader.read(&image) || image.isNull()) {
            if (MemoryIsShort(size))
                RaiseNoMemory(path, " (" + std::to_string(size.width()) + " x " +
                                        std::to_string(size.height()) + " pixels)");
            RaiseReadError(reader, path);
        }
        if (const std::optional<std::string> missing = messages.MissingData())
            RaiseInvalid(path, "the decoder found data missing: " + *missing);
        CheckSize(image.size(), request);
    }
    device.close();
    if (request.Channels.Narrow()) WidenNarrowChannels(image, request.Channels);

    picture = cPicture{};
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
}

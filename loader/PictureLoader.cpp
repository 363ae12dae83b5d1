// The picture loader: the commonest BMP files through the native reader,
// PNG and JPEG files through their own libraries (RowDecoder.h), every other
// file through Qt's image reader (QtDecoder.h, loaded only when a file needs
// it). Either way the decoded pixels are handed over as they are
// (no copy): the picture's Owner keeps them alive, and as its only holder the
// caller may write to them (cDIB takes them over that way).
//
// A file is read once. The native reader reads its pixel rows straight into
// the picture; every other file is read whole into memory, and both the
// checks that it is all there and the decoder work on those bytes. The
// file's size and change times, taken before and after, tell whether it
// changed in between (a copy still in progress, say): such a file is refused.
//
// Pixels are decoded into memory that is zero-filled or filled completely,
// and a file whose pixel data ends early is refused, so no pixel of an
// earlier picture can show through in a later one.

#include "PictureLoader.h"

#include "BmpChecks.h"
#include "BmpHeader.h"
#include "BmpReader.h"
#include "FileBytes.h"
#include "FileExtent.h"
#include "LoaderErrors.h"
#include "OpenFile.h"
#include "PixelMemory.h"
#include "QtDecoder.h"
#include "RowDecoder.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<LoadHook> loadHook{nullptr};

void Reached(LoadStage stage, const std::string& path) {
    if (const LoadHook hook = loadHook.load(std::memory_order_relaxed)) hook(stage, path);
}

// A whole file's contents, read once.
struct cFileContents {
    std::unique_ptr<uint8_t[]> Bytes;
    std::size_t Size = 0;
    std::span<const uint8_t> View() const { return {Bytes.get(), Size}; }
};

cFileContents ReadWhole(const cOpenFile& file, const std::string& path) {
    cFileContents contents;
    contents.Size = static_cast<std::size_t>(file.Size());
    // One byte more than the size: a file that grew shows as one.
    contents.Bytes.reset(new (std::nothrow) uint8_t[contents.Size + 1]);
    if (!contents.Bytes) RaiseNoMemory(path);
    const std::ptrdiff_t read = ReadAt(file.Fd, contents.Bytes.get(), contents.Size + 1, 0);
    if (read < 0) RaiseDeviceError(errno, path);
    if (static_cast<std::size_t>(read) != contents.Size)
        RaiseInvalid(path, "the file changed while it was read");
    RequireUnchanged(file, path);
    return contents;
}

cPicture ReadNative(const ReadFileAt& read, uint64_t size, const BmpHeader& header,
                    const std::string& path) {
    cPicture picture;
    const BmpReadStatus status = ReadNativeBmp(read, size, header, picture);
    RequireRead(status, errno, path);
    return picture;
}

ReadFileAt MemoryReader(std::span<const uint8_t> file) {
    return [file](void* to, std::size_t size, uint64_t offset) {
        if (offset >= file.size()) return std::ptrdiff_t(0);
        const std::size_t count = std::min<uint64_t>(size, file.size() - offset);
        std::memcpy(to, file.data() + offset, count);
        return static_cast<std::ptrdiff_t>(count);
    };
}

// Every row of a decoder into zero-filled memory that keeps them bottom-up,
// as cDIB does: the image takes the picture over as it is.
cPicture PictureOfRows(cRowDecoder& rows, const std::string& path) {
    const int32_t width = rows.Width(), height = rows.Height();
    const std::size_t stride = 4 * static_cast<std::size_t>(width);
    std::shared_ptr<void> memory = AllocateZeroed(stride * static_cast<std::size_t>(height));
    if (!memory)
        RaiseNoMemory(path,
                      " (" + std::to_string(width) + " x " + std::to_string(height) + " pixels)");
    auto* bits = static_cast<uint8_t*>(memory.get());
    rows.ReadRows(bits + (height - 1) * stride, -static_cast<std::ptrdiff_t>(stride), height);
    rows.Finish();
    return BottomUpBitmap32(width, height, bits, std::move(memory));
}

// A PNG or JPEG file its own decoder reads, checked as Qt's reader would
// have it checked; nothing for any other file.
std::optional<cPicture> DecodeOwn(std::span<const uint8_t> file, const std::string& path,
                                  int64_t maxPixels) {
    const cRowInput input{MemoryReader(file), file.size(), &path};
    const std::unique_ptr<cRowDecoder> rows = OpenRowDecoder(input, maxPixels);
    if (!rows) return std::nullopt;
    if (RowFormatOf(file.data(), file.size()) == RowFormat::Jpeg)
        RequireWhole(JpegExtent(file), path);
    Reached(LoadStage::Checked, path);
    return PictureOfRows(*rows, path);
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

// The BMP header at the start of a file of fileSize bytes, refused as a
// decoder would need it refused; nothing for a file of another format.
std::optional<BmpHeader> CheckedBmpHeader(std::span<const uint8_t> head, uint64_t fileSize,
                                          int64_t maxPixels, const std::string& path) {
    const std::optional<BmpHeader> bmp = BmpHeaderOf(head);
    RequireMeasurableBmp(head, bmp, path);
    if (bmp) RequireBmpFits(*bmp, fileSize, maxPixels, path);
    return bmp;
}

PictureHead HeadOf(const std::optional<BmpHeader>& bmp, uint64_t fileSize) {
    PictureHead head;
    head.FileBytes = fileSize;
    if (bmp) {
        head.Width = bmp->Width;
        head.Height = bmp->Rows();
    }
    return head;
}

// Opens the file and reads its first bytes (as many as a BMP header may take).
std::span<const uint8_t> ReadHead(const std::string& path, cOpenFile& file,
                                  uint8_t (&head)[kBmpHeadBytes]) {
    OpenRegularFile(path, file);
    const std::ptrdiff_t headBytes = ReadAt(file.Fd, head, sizeof head, 0);
    if (headBytes < 0) RaiseDeviceError(errno, path);
    return {head, static_cast<std::size_t>(headBytes)};
}

// The whole file in memory, checked and decoded.
cPicture Decode(std::span<const uint8_t> file, const std::string& path, int64_t maxPixels) {
    const std::optional<BmpHeader> bmp = CheckedBmpHeader(file, file.size(), maxPixels, path);
    if (bmp && bmp->IsRle()) RequireWhole(RleExtent(file, *bmp), path);
    if (bmp && IsNativeBmp(*bmp)) {
        Reached(LoadStage::Checked, path);
        return ReadNative(MemoryReader(file), file.size(), *bmp, path);
    }
    const std::string_view start(reinterpret_cast<const char*>(file.data()), file.size());
    // Qt's reader of these animations makes a blank picture of the frame size
    // a file names, and keeps it as the picture whatever image data is
    // missing or cut; it reports nothing.
    if (start.starts_with("\x8AMNG\r\n\x1A\n") || start.starts_with("\x8BJNG\r\n\x1A\n"))
        RaiseInvalid(path, "an MNG or JNG animation, which this program does not read");
    if (!bmp)
        if (std::optional<cPicture> own = DecodeOwn(file, path, maxPixels)) return std::move(*own);
    QtDecodeRequest request;
    request.File = file;
    // The file's own structure walk, for the formats whose decoders accept a cut file.
    request.Walk = start.starts_with("\xFF\xD8")  ? JpegExtent
                   : start.starts_with("GIF8")    ? GifExtent
                   : start.starts_with("#define") ? XbmExtent
                                                  : nullptr;
    request.Checked = [](const std::string& checked) { Reached(LoadStage::Checked, checked); };
    request.Channels = bmp ? BmpChannelBits(*bmp) : ChannelBits{};
    request.Path = &path;
    request.MaxPixels = maxPixels;
    request.AllocateZeroed = &AllocateZeroed;
    return DecodeWithQt(request);
}

}  // namespace

void SetLoadHookForTesting(LoadHook hook) { loadHook.store(hook, std::memory_order_relaxed); }

void ReachedLoadStage(LoadStage stage, const std::string& path) { Reached(stage, path); }

cPicture LoadPicture(const std::string& path, int64_t maxPixels) {
    if (path.empty()) return {};
    cOpenFile file;
    uint8_t head[kBmpHeadBytes];
    const std::span<const uint8_t> headView = ReadHead(path, file, head);
    Reached(LoadStage::HeadRead, path);

    // A plain BMP file's rows go straight into the picture, in bands on
    // every core; they are never all in memory twice.
    if (const std::optional<BmpHeader> bmp = BmpHeaderOf(headView); bmp && IsNativeBmp(*bmp)) {
        CheckedBmpHeader(headView, file.Size(), maxPixels, path);
        Reached(LoadStage::Checked, path);
        const int fd = file.Fd;
        const ReadFileAt read = [fd](void* to, std::size_t size, uint64_t offset) {
            return ReadAt(fd, to, size, offset);
        };
        cPicture picture = ReadNative(read, file.Size(), *bmp, path);
        RequireUnchanged(file, path);
        return picture;
    }
    const cFileContents contents = ReadWhole(file, path);
    return Decode(contents.View(), path, maxPixels);
}

cPicture LoadPictureFromMemory(std::span<const uint8_t> file, const std::string& name,
                               int64_t maxPixels) {
    return Decode(file, name, maxPixels);
}

PictureHead ReadPictureHead(const std::string& path, int64_t maxPixels) {
    cOpenFile file;
    uint8_t head[kBmpHeadBytes];
    const std::span<const uint8_t> headView = ReadHead(path, file, head);
    return HeadOf(CheckedBmpHeader(headView, file.Size(), maxPixels, path), file.Size());
}

PictureHead PictureHeadInMemory(std::span<const uint8_t> file, const std::string& name,
                                int64_t maxPixels) {
    return HeadOf(CheckedBmpHeader(file, file.size(), maxPixels, name), file.size());
}

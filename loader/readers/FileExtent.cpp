#include "FileExtent.h"

#include "BmpHeader.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

// A file's bytes read front to back.
class cByteCursor {
public:
    explicit cByteCursor(std::span<const uint8_t> file, uint64_t begin = 0)
        : file_(file), at_(std::min<uint64_t>(begin, file.size())) {}
    // The next byte, or -1 at the end of the file.
    int Next() { return at_ < file_.size() ? file_[at_++] : -1; }
    // Skips count bytes; false when no byte follows them.
    bool Skip(uint64_t count) {
        at_ = count < file_.size() - at_ ? at_ + count : file_.size();
        return at_ < file_.size();
    }

private:
    std::span<const uint8_t> file_;
    uint64_t at_;
};

constexpr int kStartOfImage = 0xD8, kEndOfImage = 0xD9, kTemporary = 0x01;

bool IsRestart(int marker) { return marker >= 0xD0 && marker <= 0xD7; }

// Skips data sub-blocks (a length byte, that many bytes) up to the empty one.
bool SkipSubBlocks(cByteCursor& bytes) {
    for (;;) {
        const int size = bytes.Next();
        if (size < 0) return false;
        if (size == 0) return true;
        if (!bytes.Skip(static_cast<uint64_t>(size))) return false;
    }
}

// Bytes of a colour table a GIF flags byte announces (bit 7 set, 3 x 2^(n+1) bytes).
uint64_t ColourTableBytes(int flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

// The number at the end of an XBM "#define NAME_width 64" line; -1 for
// another line (also one longer than a header line can be) or at the end of
// the file.
int64_t DefinedNumber(cByteCursor& bytes) {
    constexpr std::size_t kLongest = 300;  // the decoder reads no longer header line
    std::string line;
    for (int c = bytes.Next(); c >= 0 && c != '\n'; c = bytes.Next()) {
        if (line.size() == kLongest) return -1;
        line.push_back(char(c));
    }
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    std::size_t digits = line.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(line[digits - 1]))) --digits;
    if (!line.starts_with("#define") || digits == line.size() || line.size() - digits > 9)
        return -1;
    return std::stoll(line.substr(digits));
}

bool IsHexDigit(int c) { return c >= 0 && std::isxdigit(c); }

}  // namespace

FileExtent JpegExtent(std::span<const uint8_t> file) {
    cByteCursor bytes(file);
    if (bytes.Next() != 0xFF || bytes.Next() != kStartOfImage) return FileExtent::OtherFormat;

    // Segments carry their length; the entropy-coded data after a scan header
    // does not and is read up to the next marker. Bytes outside both (which
    // decoders skip) are passed over the same way.
    for (;;) {
        int c = bytes.Next();
        if (c < 0) return FileExtent::Truncated;
        if (c != 0xFF) continue;
        do c = bytes.Next();
        while (c == 0xFF);  // fill bytes before a marker
        if (c < 0) return FileExtent::Truncated;
        if (c == 0x00 || IsRestart(c) || c == kTemporary || c == kStartOfImage) continue;
        if (c == kEndOfImage) return FileExtent::Complete;
        const int high = bytes.Next(), low = bytes.Next();
        if (low < 0) return FileExtent::Truncated;
        const int length = high << 8 | low;  // counts its own two bytes
        if (length < 2) return FileExtent::Unreadable;
        if (!bytes.Skip(static_cast<uint64_t>(length - 2))) return FileExtent::Truncated;
    }
}

FileExtent GifExtent(std::span<const uint8_t> file) {
    cByteCursor bytes(file);
    for (const char expected : {'G', 'I', 'F', '8'}) {
        if (bytes.Next() != expected) return FileExtent::OtherFormat;
    }
    // Version ("7a" or "9a"), screen width and height, then the flags.
    if (!bytes.Skip(6)) return FileExtent::Truncated;
    const int flags = bytes.Next();
    if (flags < 0 || !bytes.Skip(2 + ColourTableBytes(flags))) return FileExtent::Truncated;
    for (;;) {
        switch (bytes.Next()) {
        case 0x21:  // an extension: its label, then sub-blocks
            if (bytes.Next() < 0 || !SkipSubBlocks(bytes)) return FileExtent::Truncated;
            break;
        case 0x2C: {  // the first image: position and size, flags, its table, LZW data
            if (!bytes.Skip(8)) return FileExtent::Truncated;
            const int imageFlags = bytes.Next();
            if (imageFlags < 0 || !bytes.Skip(ColourTableBytes(imageFlags)))
                return FileExtent::Truncated;
            if (bytes.Next() < 0 || !SkipSubBlocks(bytes)) return FileExtent::Truncated;
            return FileExtent::Complete;
        }
        case -1:
            return FileExtent::Truncated;
        default:  // the trailer before any image, or a block no decoder knows
            return FileExtent::Unreadable;
        }
    }
}

FileExtent XbmExtent(std::span<const uint8_t> file) {
    cByteCursor bytes(file);
    const int64_t width = DefinedNumber(bytes), height = DefinedNumber(bytes);
    if (width <= 0 || height <= 0) return FileExtent::Unreadable;

    // Every byte of the rows is a "0x" and two hex digits; whatever stands
    // between them (the declaration, commas, line breaks) is passed over.
    const int64_t needed = (width + 7) / 8 * height;
    int64_t found = 0;
    int previous = -1;
    for (int c = bytes.Next(); c >= 0; c = bytes.Next()) {
        if (previous == '0' && c == 'x') {  // lower case, as the decoder looks for them
            const bool digits = IsHexDigit(bytes.Next()) && IsHexDigit(bytes.Next());
            if (digits && ++found == needed) return FileExtent::Complete;
            previous = -1;
        } else {
            previous = c;
        }
    }
    return FileExtent::Truncated;
}

FileExtent RleExtent(std::span<const uint8_t> file, const BmpHeader& header) {
    const uint64_t start = BmpPixelStart(header);
    uint64_t left = start < file.size() ? file.size() - start : 0;  // bytes of codes in the file
    cByteCursor bytes(file, start);
    const auto next = [&] {  // only while left > 0
        --left;
        return bytes.Next();
    };
    const int64_t width = header.Width, rows = header.Rows();
    const bool fourBit = header.Compression == BI_RLE4;
    int64_t x = 0, y = 0;
    while (y < rows) {
        if (left < 2)
            return y == rows - 1 && x >= width ? FileExtent::Complete : FileExtent::Truncated;
        const int count = next(), code = next();
        if (count > 0) {  // a run of count pixels
            x += count;
            continue;
        }
        switch (code) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            return FileExtent::Complete;
        case 2: {  // move right and up
            if (left < 2) return FileExtent::Truncated;
            const int right = next(), up = next();
            x += right;
            y += up;
            break;
        }
        default: {  // code pixels as they are, padded to 16 bits
            uint64_t literal = fourBit ? (code + 1u) / 2 : uint64_t(code);
            literal += literal & 1;
            if (left < literal) return FileExtent::Truncated;
            bytes.Skip(literal);
            left -= literal;
            x += code;
        }
        }
    }
    return FileExtent::Complete;
}

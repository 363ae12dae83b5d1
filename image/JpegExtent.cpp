#include "JpegExtent.h"

#include "FileBytes.h"

#include <memory>

namespace {

constexpr int kStartOfImage = 0xD8, kEndOfImage = 0xD9, kTemporary = 0x01;

bool IsRestart(int marker) { return marker >= 0xD0 && marker <= 0xD7; }

}  // namespace

JpegExtent WalkJpeg(int fd) {
    const auto bytes = std::make_unique<cFileBytes>(fd, 0);
    const auto ended = [&] { return bytes->Failed() ? JpegExtent::ReadError : JpegExtent::Truncated; };
    if (bytes->Next() != 0xFF || bytes->Next() != kStartOfImage)
        return bytes->Failed() ? JpegExtent::ReadError : JpegExtent::NotJpeg;

    // Segments carry their length; the entropy-coded data after a scan header
    // does not and is read up to the next marker. Bytes outside both (which
    // decoders skip) are passed over the same way.
    for (;;) {
        int c = bytes->Next();
        if (c < 0) return ended();
        if (c != 0xFF) continue;
        do c = bytes->Next();
        while (c == 0xFF);  // fill bytes before a marker
        if (c < 0) return ended();
        if (c == 0x00 || IsRestart(c) || c == kTemporary || c == kStartOfImage) continue;
        if (c == kEndOfImage) return JpegExtent::Complete;
        const int high = bytes->Next(), low = bytes->Next();
        if (low < 0) return ended();
        const int length = high << 8 | low;  // counts its own two bytes
        if (length < 2) return JpegExtent::Unreadable;
        if (!bytes->Skip(static_cast<uint64_t>(length - 2))) return ended();
    }
}

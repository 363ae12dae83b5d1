#pragma once
// The general decoder: every file the native BMP reader does not read goes
// through Qt's image reader. It lives in a module of its own
// (pixolune-qt-decoder.so), loaded the first time a file needs it, so that a
// run over BMP files never loads Qt and the libraries behind it (two thirds
// of pixolune-cli's start-up).

#include "FileExtent.h"
#include "cPicture.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// Bits of each channel (red, green, blue, alpha) of a 16-bit or bit-field
// BMP file, which Qt widens to 8 by a plain shift (the 5-bit 31 becomes 248
// where the file means 255); 8 means "leave alone".
struct ChannelBits {
    int Bits[4] = {8, 8, 8, 8};
    bool Narrow() const { return Bits[0] < 8 || Bits[1] < 8 || Bits[2] < 8 || Bits[3] < 8; }
};

// The file's own structure walk, for the formats whose decoders accept a cut file.
using ExtentWalk = FileExtent (*)(std::span<const uint8_t> file);

struct QtDecodeRequest {
    std::span<const uint8_t> File;  // the whole file, as read once
    ChannelBits Channels;
    const std::string* Path = nullptr;  // for the errors' descriptions
    int64_t MaxPixels = 0;              // larger pictures are refused before decoding
    ExtentWalk Walk = nullptr;          // run once the size is known, before decoding
    void (*Checked)(const std::string& path) = nullptr;  // called just before decoding
    // Zero-filled pixel memory of the program's own (PixelMemory.h), for
    // Qt's decoders to decode into.
    std::shared_ptr<void> (*AllocateZeroed)(std::size_t size) = nullptr;
};

// Decodes the file (see LoadPicture for the picture and the errors). Raises
// a cError 481 naming the file when the module cannot be loaded.
cPicture DecodeWithQt(const QtDecodeRequest& request);

// The module's one entry point, as the module exports it.
extern "C" void PixoluneDecodeWithQt(const QtDecodeRequest& request, cPicture& picture);

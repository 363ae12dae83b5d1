#pragma once
// The picture loader: reads an image file of any format the platform knows
// (BMP in all its variants, PNG, JPEG, GIF, ICO, ...) into a picture.
//
// Needs no QCoreApplication or QGuiApplication: Qt finds its image plugins
// (GIF, ICO, JPEG, ...) without one. Several threads may load at once.

#include "LoaderErrors.h"
#include "cPicture.h"

#include <cstdint>
#include <span>
#include <string>

// An empty path gives the empty picture (Type None). An unreadable file or an
// unknown format raises a cError whose description names the file and the
// reason: 53 missing, 70 no permission, 75 not a regular file (folder, named
// pipe, socket, device: refused without opening), 7 too large (a header that
// claims more than maxPixels pixels, whatever the file holds: refused before
// any memory is spent on the picture), 57 a read that failed, 481 data that
// does not decode, that ends before all the pixels (a truncated file never
// loads as a partial picture), that a decoder reports missing, or a file that
// changed while it was read. Alpha is composited over white.
//
// Each file is read once: the checks that it is all there and the decoding
// work on the same bytes.
//
// The picture holds the decoded image itself (no copy): 1 bpp (MSB first) or
// 8 bpp with a colour table of 2^BPP entries, or 32 bpp (Blue, Green, Red,
// unused); rows top-down, or bottom-up (BottomUp, packed 32 bpp, as cDIB
// keeps them) for the BMP files the native reader reads. The colours are the
// file's own, with no colour-space or gamma conversion and no EXIF rotation.
// Pixels a file legitimately leaves unset read as 0.
cPicture LoadPicture(const std::string& path, int64_t maxPixels = kMaxPicturePixels);

// The same for a file's contents already in memory (standard input, say);
// name stands for the file in the errors' descriptions.
cPicture LoadPictureFromMemory(std::span<const uint8_t> file, const std::string& name,
                               int64_t maxPixels = kMaxPicturePixels);

// What is known of a picture file before any of its pixels is read.
struct PictureHead {
    uint64_t FileBytes = 0;
    // The picture's size, from a BMP file's header; 0 x 0 for every other
    // format, whose size only its decoder can tell.
    int64_t Width = 0;
    int64_t Height = 0;
};

// Opens the file as LoadPicture does and reads its headers, raising what
// LoadPicture raises before it reads any pixel: a path that cannot be opened
// or names no regular file, and a BMP header that cannot be measured against
// the file, that claims more than maxPixels pixels, or more uncompressed
// pixel data than the file holds.
PictureHead ReadPictureHead(const std::string& path, int64_t maxPixels = kMaxPicturePixels);

// The same for a file's contents in memory.
PictureHead PictureHeadInMemory(std::span<const uint8_t> file, const std::string& name,
                                int64_t maxPixels = kMaxPicturePixels);

// For tests: called at each stage of loading a file (path as given), where a
// test may change the file on disk. nullptr, the default, calls nothing.
enum class LoadStage {
    HeadRead,  // its first bytes read and its size taken, the rest not yet read
    Checked,   // found whole (in memory, or a native BMP by its headers), not yet decoded
};
using LoadHook = void (*)(LoadStage stage, const std::string& path);
void SetLoadHookForTesting(LoadHook hook);
// Calls the hook, if any: for each reader of the loader's files.
void ReachedLoadStage(LoadStage stage, const std::string& path);

#pragma once
// The picture loader: reads an image file of any format the platform knows
// (BMP in all its variants, PNG, JPEG, GIF, ICO, ...) into a picture.
//
// Needs no QCoreApplication or QGuiApplication: Qt finds its image plugins
// (GIF, ICO, JPEG, ...) without one. Several threads may load at once.

#include "cPicture.h"

#include <string>

// An empty path gives the empty picture (Type None). An unreadable file or an
// unknown format raises a cError whose description names the file and the
// reason: 53 missing, 70 no permission, 75 not a regular file (folder, named
// pipe, socket, device: refused without opening), 7 too large (a header that
// claims more than 8 GB of 32-bit pixels, whatever the file holds), 57 a read
// that failed, 481 data that does not decode or that ends before all the
// pixels (a truncated file never loads as a partial picture). Alpha is
// composited over white.
//
// The picture holds the decoded image itself (no copy): 1 bpp (MSB first) or
// 8 bpp with a colour table of 2^BPP entries, or 32 bpp (Blue, Green, Red,
// unused); rows top-down, or bottom-up (BottomUp, packed 32 bpp, as cDIB
// keeps them) for the BMP files the native reader reads. The colours are the
// file's own, with no colour-space or gamma conversion and no EXIF rotation.
// Pixels a file legitimately leaves unset read as 0.
cPicture LoadPicture(const std::string& path);

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
// pipe, socket, device: refused without opening), 7 too large, 481 data that
// does not decode. Alpha is composited over white.
//
// The picture holds the decoded image itself (no copy): 1 bpp (MSB first) or
// 8 bpp with a colour table of 2^BPP entries, or 32 bpp (Blue, Green, Red,
// unused); rows top-down. The colours are the file's own, with no colour-space
// or gamma conversion and no EXIF rotation.
cPicture LoadPicture(const std::string& path);

// Sets the reader up and loads Qt's image plugins on the calling thread. A
// program that loads on threads it starts and ends itself calls it first, on
// its main thread: Qt ties each plugin to the thread that loaded it, and one
// tied to a thread that has ended is torn down on freed memory at exit.
void PrepareLoader();

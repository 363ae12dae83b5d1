#pragma once
// The picture loader: reads an image file of any format the platform knows
// (BMP in all its variants, PNG, JPEG, GIF, ICO, ...) into a picture.

#include "cPicture.h"

#include <string>

// An empty path gives the empty picture (Type None). An unreadable file or an
// unknown format raises a cError whose description names the file and the
// reason. Alpha is composited over white.
cPicture LoadPicture(const std::string& path);

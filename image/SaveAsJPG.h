#pragma once
// JPEG export of a reduced image.

#include "JpegEncoder.h"

#include <cstdint>
#include <string>

class cDIB;

// Encodes the image (any depth the image holds; the program passes the 8-bpp
// result) as a 24-bit colour JPEG with 4:2:0 chroma subsampling at the given
// quality (1..100, passed to the encoder unchanged); WriteJPG then writes it
// to filename, so a caller knows the file's size before anything is written.
// Any failure raises error 5, "Cannot save the image. GDI+ Error:" + status.
cJPGBytes EncodeJPG(const cDIB& Image, uint8_t quality);
void WriteJPG(const cJPGBytes& jpeg, const std::string& filename);
// Writes the encoded file to an open descriptor (standard output, say).
void WriteJPGTo(const cJPGBytes& jpeg, int fd);

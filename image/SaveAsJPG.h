#pragma once
// JPEG export of a reduced image.

#include <cstdint>
#include <string>

class cDIB;

// Encodes the image (any depth the image holds; the program passes the 8-bpp
// result) as a 24-bit colour JPEG with 4:2:0 chroma subsampling at the given
// quality (1..100, passed to the encoder unchanged) and writes it to filename.
// Any failure raises error 5, "Cannot save the image. GDI+ Error:" + status.
void SaveJPG(const cDIB& Image, const std::string& filename, uint8_t quality);

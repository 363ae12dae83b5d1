#pragma once
// What the loader asks of a BMP file before its pixels are read, and the
// errors of the native reader, for the whole-picture read and the banded one.

#include "BmpHeader.h"
#include "BmpReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The headers of a BMP file from the start of its contents (or of the whole
// file), nothing for another file.
std::optional<BmpHeader> BmpHeaderOf(std::span<const uint8_t> head);

// A file that starts as a BMP file goes to a BMP decoder whatever else it
// holds; so its header must be one whose pixel data can be measured against
// the file, or the decoder would make up the pixels the file lacks.
void RequireMeasurableBmp(std::span<const uint8_t> head, const std::optional<BmpHeader>& bmp,
                          const std::string& path);

// Refuses a BMP file whose header claims more pixels than may be loaded, or
// whose uncompressed pixel data the file does not hold.
void RequireBmpFits(const BmpHeader& header, uint64_t fileSize, int64_t maxPixels,
                    const std::string& path);

// Raises the loader's error for what the native reader found (nothing for
// Read); error is errno's value for a failed read.
void RequireRead(BmpReadStatus status, int error, const std::string& path);

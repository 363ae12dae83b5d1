#pragma once
// The loader's errors and size guard, shared by the native reader's side and
// the general decoder.

#include "FileExtent.h"

#include <cstdint>
#include <string>

// Qt refuses images above 128 MB by default; photographs of 30000 x 30000
// pixels need 3.4 GB at 32 bpp (6.7 GB for a 16-bit-per-channel PNG).
inline constexpr int kAllocationLimitMB = 8192;

[[noreturn]] void RaiseDeviceError(int error, const std::string& path);
[[noreturn]] void RaiseTruncated(const std::string& path);

[[noreturn]] void RaiseTooLarge(int64_t width, int64_t height, const std::string& path);

// Refuses sizes that cannot be decoded before anything is allocated; a header
// may claim any size. Sizes are positive.
void RequireLoadableSize(int64_t width, int64_t height, int64_t bytesPerPixel,
                         const std::string& path);

// Raises for a file that FileExtent found cut short or could not read.
void RequireWhole(FileExtent extent, const std::string& path);

#pragma once
// The loader's errors and size guard, shared by the native reader's side and
// the general decoder. Every error the loader raises comes from here: its
// number, and a description that starts with the number's text and the file.

#include "FileExtent.h"
#include "cDIB.h"

#include <cstdint>
#include <string>

// The most pixels a picture may have: what an image holds at 32 bpp. Larger
// ones are refused before any memory is spent on them.
inline constexpr int64_t kMaxPicturePixels = kMaxImagePixels;

// Qt's own limit on one decoded image, in MB (Qt refuses images above 128 MB
// by default): the largest picture in the widest form a decoder gives, 8
// bytes a pixel for 16 bits a channel.
inline constexpr int kAllocationLimitMB = int((kMaxPicturePixels * 8 + (1 << 20) - 1) >> 20);

// For an errno of opening or reading the file: 53 missing, 70 no permission,
// 76 a folder on the path that is not one, 75 anything else.
[[noreturn]] void RaiseOpenError(int error, const std::string& path);

// 75: a path that names something other than a regular file ("a folder").
[[noreturn]] void RaiseNotAFile(const std::string& path, const std::string& kind);

// 57: a read that failed (errno), or a device that says why in words.
[[noreturn]] void RaiseDeviceError(int error, const std::string& path);

// 7: no memory for the file or its picture; detail, when given, says more.
[[noreturn]] void RaiseNoMemory(const std::string& path, const std::string& detail = "");

// 481: the file ends before its pixel data does.
[[noreturn]] void RaiseTruncated(const std::string& path);

// 481: a file whose contents are not a picture this program reads, for a
// reason given in words ("the file changed while it was read").
[[noreturn]] void RaiseInvalid(const std::string& path, const std::string& reason);

// 7: a picture of more than maxPixels pixels.
[[noreturn]] void RaiseTooLarge(int64_t width, int64_t height, int64_t maxPixels,
                                const std::string& path);

// Refuses a picture of more than maxPixels pixels before anything is
// allocated; a header may claim any size. Sizes are positive.
void RequireLoadableSize(int64_t width, int64_t height, int64_t maxPixels, const std::string& path);

// Raises for a file that FileExtent found cut short.
void RequireWhole(FileExtent extent, const std::string& path);

#include "LoaderErrors.h"

#include "cError.h"

#include <cerrno>
#include <cstring>

void RaiseDeviceError(int error, const std::string& path) {
    throw cError(ErrorNumber::DeviceIO,
                 "Device I/O error: " + path + " (" + std::strerror(error) + ")");
}

void RaiseInvalid(const std::string& path, const std::string& reason) {
    throw cError(ErrorNumber::InvalidPicture, "Invalid picture: " + path + " (" + reason + ")");
}

void RaiseTruncated(const std::string& path) {
    RaiseInvalid(path, "the file ends before its pixel data does");
}

void RaiseTooLarge(int64_t width, int64_t height, int64_t maxPixels, const std::string& path) {
    throw cError(ErrorNumber::OutOfMemory, "Out of memory: " + path + " is too large to load (" +
                                               std::to_string(width) + " x " +
                                               std::to_string(height) + " pixels, more than the " +
                                               std::to_string(maxPixels) + " a picture may have)");
}

void RequireLoadableSize(int64_t width, int64_t height, int64_t maxPixels,
                         const std::string& path) {
    if (width * height > maxPixels)  // width x height < 2^62: no overflow
        RaiseTooLarge(width, height, maxPixels, path);
}

// Qt's JPEG and GIF decoders make a picture of whatever part of the file
// they get (the rest grey or background) and call it a success.
void RequireWhole(FileExtent extent, const std::string& path) {
    if (extent == FileExtent::Truncated) RaiseTruncated(path);
}

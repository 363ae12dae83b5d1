#include "LoaderErrors.h"

#include "cError.h"

#include <cerrno>
#include <cstring>

void RaiseDeviceError(int error, const std::string& path) {
    throw cError(ErrorNumber::DeviceIO,
                 "Device I/O error: " + path + " (" + std::strerror(error) + ")");
}

void RaiseTruncated(const std::string& path) {
    throw cError(ErrorNumber::InvalidPicture,
                 "Invalid picture: " + path + " (the file ends before its pixel data does)");
}

void RaiseTooLarge(int64_t width, int64_t height, const std::string& path) {
    throw cError(ErrorNumber::OutOfMemory, "Out of memory: " + path + " is too large to load (" +
                                               std::to_string(width) + " x " +
                                               std::to_string(height) + " pixels)");
}

void RequireLoadableSize(int64_t width, int64_t height, int64_t bytesPerPixel,
                         const std::string& path) {
    const int64_t limit = int64_t(kAllocationLimitMB) * 1024 * 1024;
    if (width * height > limit / bytesPerPixel)  // width x height < 2^62: no overflow
        RaiseTooLarge(width, height, path);
}

// Qt's JPEG and GIF decoders make a picture of whatever part of the file
// they get (the rest grey or background) and call it a success.
void RequireWhole(FileExtent extent, const std::string& path) {
    switch (extent) {
    case FileExtent::Truncated:
        RaiseTruncated(path);
    case FileExtent::ReadError:
        RaiseDeviceError(errno, path);
    default:
        return;
    }
}

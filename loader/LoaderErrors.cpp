#include "LoaderErrors.h"

#include "Messages.h"
#include "cError.h"

#include <cerrno>
#include <cstring>

namespace {

// description: what + ": " + path + detail; reason: the same without the path,
// for a command line that names the file itself.
[[noreturn]] void Raise(ErrorNumber number, const char* what, const std::string& path,
                        const std::string& detail, const std::string& reason) {
    throw cError(number, std::string(what) + ": " + path + detail, reason);
}

std::string InBrackets(const std::string& reason) { return " (" + reason + ")"; }

}  // namespace

void RaiseOpenError(int error, const std::string& path) {
    const std::string reason = std::strerror(error);
    switch (error) {
    case ENOENT:
        Raise(ErrorNumber::FileNotFound, "File not found", path, "", reason);
    case EACCES:
    case EPERM:
        Raise(ErrorNumber::PermissionDenied, "Permission denied", path, "", reason);
    case ENOTDIR:
        Raise(ErrorNumber::PathNotFound, "Path not found", path, "", reason);
    default:
        Raise(ErrorNumber::PathFileAccess, "Path/File access error", path, InBrackets(reason),
              reason);
    }
}

void RaiseNotAFile(const std::string& path, const std::string& kind) {
    Raise(ErrorNumber::PathFileAccess, "Path/File access error", path,
          " is " + kind + ", not a picture file", kind + ", not a picture file");
}

void RaiseDeviceError(int error, const std::string& path) {
    const std::string reason = std::strerror(error);
    Raise(ErrorNumber::DeviceIO, "Device I/O error", path, InBrackets(reason), reason);
}

void RaiseNoMemory(const std::string& path, const std::string& detail) {
    Raise(ErrorNumber::OutOfMemory, kOutOfMemory, path, detail, "out of memory" + detail);
}

void RaiseInvalid(const std::string& path, const std::string& reason) {
    Raise(ErrorNumber::InvalidPicture, kInvalidPicture, path, InBrackets(reason), reason);
}

void RaiseTruncated(const std::string& path) {
    RaiseInvalid(path, "the file ends before its pixel data does");
}

void RaiseTooLarge(int64_t width, int64_t height, int64_t maxPixels, const std::string& path) {
    const std::string reason = "too large to load (" + std::to_string(width) + " x " +
                               std::to_string(height) + " pixels, more than the " +
                               std::to_string(maxPixels) + " a picture may have)";
    Raise(ErrorNumber::OutOfMemory, kOutOfMemory, path, " is " + reason, reason);
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

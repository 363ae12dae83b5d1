#include "BmpFile.h"

#include "cError.h"

#include <cerrno>
#include <system_error>

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// What went wrong, as the caller's error numbers tell it.
ErrorNumber NumberFor(int error, bool writing) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ErrorNumber::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return ErrorNumber::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
        return ErrorNumber::DeviceIO;
    default:
        return writing ? ErrorNumber::DeviceIO : ErrorNumber::PathFileAccess;
    }
}

}  // namespace

BITMAPINFOHEADER BmpInfoHeader(int32_t width, int32_t height, int32_t bpp) {
    BITMAPINFOHEADER info;
    info.biSize = sizeof(BITMAPINFOHEADER);
    info.biPlanes = 1;
    info.biBitCount = static_cast<uint16_t>(bpp);
    info.biWidth = width;
    info.biHeight = height;
    return info;
}

std::vector<uint8_t> BmpFileHead(const BITMAPINFOHEADER& info, std::span<const uint8_t> colourTable,
                                 uint64_t pixelBytes) {
    const uint64_t offBits = kBmpHeadersBytes + colourTable.size();
    std::vector<uint8_t> head;
    head.reserve(static_cast<size_t>(offBits));
    head.push_back('B');
    head.push_back('M');
    Put32(head, static_cast<uint32_t>(offBits + pixelBytes));
    Put16(head, 0);
    Put16(head, 0);
    Put32(head, static_cast<uint32_t>(offBits));

    Put32(head, info.biSize);
    Put32(head, static_cast<uint32_t>(info.biWidth));
    Put32(head, static_cast<uint32_t>(info.biHeight));
    Put16(head, info.biPlanes);
    Put16(head, info.biBitCount);
    Put32(head, info.biCompression);
    Put32(head, info.biSizeImage);
    Put32(head, static_cast<uint32_t>(info.biXPelsPerMeter));
    Put32(head, static_cast<uint32_t>(info.biYPelsPerMeter));
    Put32(head, info.biClrUsed);
    Put32(head, info.biClrImportant);

    head.insert(head.end(), colourTable.begin(), colourTable.end());
    return head;
}

void RaiseFileError(const std::string& path, int error, bool writing) {
    const std::string reason = std::generic_category().message(error);
    throw cError(NumberFor(error, writing), "Cannot write " + path + ": " + reason, reason);
}

cBmpFileWriter::cBmpFileWriter(const std::string& path, std::span<const uint8_t> head)
    : path_(path), file_(path) {
    if (path.empty())
        throw cError(ErrorNumber::PathFileAccess, "Cannot write a file without a name");
    if (const int error = file_.Open()) RaiseFileError(path_, error, false);
    Write(head.data(), head.size());
}

void cBmpFileWriter::Write(const uint8_t* rows, std::size_t bytes) {
    if (const int error = file_.Write(rows, bytes)) RaiseFileError(path_, error, true);
}

void cBmpFileWriter::WriteAt(const uint8_t* rows, std::size_t bytes, uint64_t offset) {
    if (const int error = file_.WriteAt(rows, bytes, offset)) RaiseFileError(path_, error, true);
}

void cBmpFileWriter::Commit() {
    if (const int error = file_.Commit()) RaiseFileError(path_, error, true);
}

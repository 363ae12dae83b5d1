// cDIB::Save: the image as an uncompressed BMP file, byte for byte as it is
// held in memory (file header, info header, colour table, pixel rows
// bottom-up with their padding).
//
// The file replaces an earlier one only once it is complete (cReplacementFile).

#include "cDIB.h"

#include "Arithmetic.h"
#include "DescriptorWrite.h"
#include "ReplacementFile.h"

#include <cerrno>
#include <system_error>

namespace {

constexpr int32_t FileHeaderBytes = 14;
constexpr int32_t HeadersBytes = FileHeaderBytes + static_cast<int32_t>(sizeof(BITMAPINFOHEADER));

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

[[noreturn]] void RaiseFileError(const std::string& filename, int error, bool writing) {
    const std::string reason = std::generic_category().message(error);
    throw cError(NumberFor(error, writing), "Cannot write " + filename + ": " + reason, reason);
}

int32_t PaletteBytes(int32_t bpp) { return bpp <= 8 ? 4 * (1 << bpp) : 0; }

}  // namespace

int32_t cDIB::SavedFileSize() const {
    if (!hDIB_) return 0;
    return CheckedAdd(HeadersBytes + PaletteBytes(BPP_), Size_);
}

// The file's bytes before the pixel rows: file header, info header, colour table.
std::vector<uint8_t> cDIB::SavedHead() const {
    const int32_t paletteBytes = PaletteBytes(BPP_);
    const int32_t bfOffBits = HeadersBytes + paletteBytes;
    const int32_t bfSize = SavedFileSize();

    std::vector<uint8_t> head;
    head.reserve(static_cast<size_t>(bfOffBits));
    head.push_back('B');
    head.push_back('M');
    Put32(head, static_cast<uint32_t>(bfSize));
    Put16(head, 0);
    Put16(head, 0);
    Put32(head, static_cast<uint32_t>(bfOffBits));

    const BITMAPINFOHEADER& info = infoHeader_;
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

    if (paletteBytes > 0) {
        std::vector<uint8_t> palette;
        GetPalette(palette);
        head.insert(head.end(), palette.begin(), palette.end());
    }
    return head;
}

void cDIB::Save(const std::string& filename) const {
    if (!hDIB_) return;
    const std::vector<uint8_t> head = SavedHead();
    if (filename.empty()) {
        throw cError(ErrorNumber::PathFileAccess, "Cannot write a file without a name");
    }

    cReplacementFile file(filename);
    if (const int error = file.Open()) RaiseFileError(filename, error, false);
    int error = file.Write(head.data(), head.size());
    if (error == 0) error = file.Write(lpBits_, static_cast<size_t>(Size_));
    if (error == 0) error = file.Commit();
    if (error != 0) RaiseFileError(filename, error, true);
}

void cDIB::SaveTo(int fd, const std::string& name) const {
    if (!hDIB_) return;
    const std::vector<uint8_t> head = SavedHead();
    int error = WriteAll(fd, head.data(), head.size());
    if (error == 0) error = WriteAll(fd, lpBits_, static_cast<size_t>(Size_));
    if (error != 0) RaiseFileError(name, error, true);
}

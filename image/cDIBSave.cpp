// cDIB::Save: the image as an uncompressed BMP file, byte for byte as it is
// held in memory (file header, info header, colour table, pixel rows
// bottom-up with their padding).
//
// The file replaces an earlier one only once it is complete (cBmpFileWriter).

#include "cDIB.h"

#include "Arithmetic.h"
#include "DescriptorWrite.h"

namespace {

int32_t PaletteBytes(int32_t bpp) { return bpp <= 8 ? 4 * (1 << bpp) : 0; }

}  // namespace

int32_t cDIB::SavedFileSize() const {
    if (!hDIB_) return 0;
    return CheckedAdd(kBmpHeadersBytes + PaletteBytes(BPP_), Size_);
}

std::vector<uint8_t> cDIB::SavedHead() const {
    SavedFileSize();  // raises for a file longer than its header can say
    std::vector<uint8_t> palette;
    GetPalette(palette);
    return BmpFileHead(infoHeader_, palette, static_cast<uint64_t>(Size_));
}

void cDIB::Save(const std::string& filename) const {
    if (!hDIB_) return;
    cBmpFileWriter file(filename, SavedHead());
    file.Write(lpBits_, static_cast<size_t>(Size_));
    file.Commit();
}

void cDIB::SaveTo(int fd, const std::string& name) const {
    if (!hDIB_) return;
    const std::vector<uint8_t> head = SavedHead();
    int error = WriteAll(fd, head.data(), head.size());
    if (error == 0) error = WriteAll(fd, lpBits_, static_cast<size_t>(Size_));
    if (error != 0) RaiseFileError(name, error, true);
}

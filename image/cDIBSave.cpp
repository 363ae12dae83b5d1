// cDIB::Save: the image as an uncompressed BMP file, byte for byte as it is
// held in memory (file header, info header, colour table, pixel rows
// bottom-up with their padding).
//
// The file is written under a temporary name in the target's folder and then
// renamed over the target, so a failed write never leaves a half-written file
// and never costs the output of an earlier run. Renaming also replaces a
// symbolic or hard link at the target instead of writing through it.

#include "cDIB.h"

#include "Arithmetic.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <system_error>
#include <unistd.h>

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
    throw cError(NumberFor(error, writing),
                 "Cannot write " + filename + ": " + std::generic_category().message(error));
}

// A new file beside the target, removed again unless Keep() is called.
class cTemporaryFile {
public:
    explicit cTemporaryFile(const std::string& target) {
        const size_t slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        // Hidden while it is being written; the name is cut so that the suffix
        // still fits within a file name's length limit.
        const std::string stem = folder + "." + name.substr(0, 200) + ".";

        static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device seed;
        std::minstd_rand random(seed());
        std::uniform_int_distribution<size_t> pick(0, sizeof(Letters) - 2);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = stem;
            for (int i = 0; i < 6; ++i) candidate += Letters[pick(random)];
            // O_EXCL: never an existing file or link. Mode 0666: the umask
            // applies, as for any file the user's programs create.
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = std::move(candidate);
                return;
            }
            if (errno != EEXIST) RaiseFileError(target, errno, false);
        }
        RaiseFileError(target, EEXIST, false);
    }

    ~cTemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!kept_) ::unlink(path_.c_str());
    }

    cTemporaryFile(const cTemporaryFile&) = delete;
    cTemporaryFile& operator=(const cTemporaryFile&) = delete;

    // Writes all bytes or returns the failure's errno (0 on success).
    int Write(const uint8_t* data, size_t length) {
        while (length > 0) {
            const ssize_t written = ::write(fd_, data, length);
            if (written < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            data += written;
            length -= static_cast<size_t>(written);
        }
        return 0;
    }

    // Closes the file; returns the failure's errno (0 on success).
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

    const std::string& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    int fd_ = -1;
    std::string path_;
    bool kept_ = false;
};

}  // namespace

void cDIB::Save(const std::string& filename) const {
    if (!hDIB_) return;

    const int32_t paletteBytes = BPP_ <= 8 ? 4 * (1 << BPP_) : 0;
    const int32_t bfOffBits = HeadersBytes + paletteBytes;
    const int32_t bfSize = CheckedAdd(bfOffBits, Size_);

    if (filename.empty()) {
        throw cError(ErrorNumber::PathFileAccess, "Cannot write a file without a name");
    }

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

    cTemporaryFile file(filename);
    int error = file.Write(head.data(), head.size());
    if (error == 0) error = file.Write(lpBits_, static_cast<size_t>(Size_));
    if (error == 0) error = file.Close();
    if (error != 0) RaiseFileError(filename, error, true);

    if (::rename(file.Path().c_str(), filename.c_str()) != 0) RaiseFileError(filename, errno, false);
    file.Keep();
}

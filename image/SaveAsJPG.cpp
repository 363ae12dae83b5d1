// SaveJPG: the reduced image as a baseline JPEG file (24-bit colour, 4:2:0
// chroma subsampling) through libturbojpeg.
//
// The encoded bytes go to a temporary file in the target's folder that is then
// renamed over the target, so a failed save never leaves a truncated JPEG, an
// earlier file of that name survives any failure, and a symbolic link at the
// target is replaced rather than written through.
//
// Every failure is error 5, "Cannot save the image. GDI+ Error:" followed by a
// status number:
//   below 1000  the errno of the file operation that failed, for example
//               2 (ENOENT: the folder does not exist), 13 (EACCES: no write
//               rights), 21 (EISDIR: the target is a folder), 27 (EFBIG),
//               28 (ENOSPC: the disk is full), 30 (EROFS)
//   1001        the encoder could not be started
//   1002        the encoder refused or failed to encode the image
//   1003        the image is empty or has a depth that cannot be exported
//   1004        the quality is above 100

#include "SaveAsJPG.h"

#include "cDIB.h"
#include "cError.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <random>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

namespace JpegStatus {
constexpr int EncoderStart = 1001;
constexpr int Encoding = 1002;
constexpr int Unsupported = 1003;
constexpr int Quality = 1004;
}  // namespace JpegStatus

[[noreturn]] void RaiseSaveError(int status) {
    throw cError(ErrorNumber::InvalidCall,
                 "Cannot save the image. GDI+ Error:" + std::to_string(status));
}

struct EncoderCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};

struct EncodedBytesFree {
    void operator()(unsigned char* bytes) const { tjFree(bytes); }
};

using EncodedBytes = std::unique_ptr<unsigned char, EncodedBytesFree>;

// Indexed pixels (1, 4 or 8 bpp) as top-down RGB rows through the colour table.
std::vector<unsigned char> ExpandIndexed(const cDIB& image) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t bpp = image.BPP();
    std::vector<uint8_t> table;
    image.GetPalette(table);
    table.resize(static_cast<size_t>(4) << bpp);  // a short table reads as black

    std::vector<unsigned char> rgb(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
    unsigned char* out = rgb.data();
    for (int32_t y = 0; y < height; ++y) {
        // Memory rows are bottom-up: picture row 0 is the last one in memory.
        const uint8_t* row = image.lpBits() + static_cast<size_t>(height - 1 - y) *
                                                  static_cast<size_t>(image.BytesPerScanline());
        for (int32_t x = 0; x < width; ++x) {
            unsigned index = 0;
            if (bpp == 8) {
                index = row[x];
            } else if (bpp == 4) {
                index = (row[x / 2] >> ((x % 2) ? 0 : 4)) & 0x0F;
            } else {
                index = (row[x / 8] >> (7 - x % 8)) & 0x01;
            }
            const uint8_t* entry = &table[static_cast<size_t>(index) * 4];
            *out++ = entry[2];
            *out++ = entry[1];
            *out++ = entry[0];
        }
    }
    return rgb;
}

// Encodes the image; the result is owned by the returned pointer.
EncodedBytes Encode(const cDIB& image, int quality, unsigned long& length) {
    const int32_t width = image.Width();
    const int32_t height = image.Height();
    const int32_t bpp = image.BPP();
    if (image.hDIB() == 0 || image.lpBits() == nullptr || width <= 0 || height <= 0) {
        RaiseSaveError(JpegStatus::Unsupported);
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 32) {
        RaiseSaveError(JpegStatus::Unsupported);
    }
    int rgbPitch = 0;
    if (__builtin_mul_overflow(width, 3, &rgbPitch)) {
        RaiseSaveError(JpegStatus::Unsupported);
    }

    std::unique_ptr<void, EncoderCloser> encoder(tjInitCompress());
    if (!encoder) {
        RaiseSaveError(JpegStatus::EncoderStart);
    }

    unsigned char* bytes = nullptr;
    int result = 0;
    if (bpp == 32) {
        // Blue, green, red, unused and bottom-up: the encoder reads that as it is.
        result = tjCompress2(encoder.get(), image.lpBits(), width, image.BytesPerScanline(), height,
                             TJPF_BGRX, &bytes, &length, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
    } else {
        const std::vector<unsigned char> rgb = ExpandIndexed(image);
        result = tjCompress2(encoder.get(), rgb.data(), width, rgbPitch, height, TJPF_RGB, &bytes,
                             &length, TJSAMP_420, quality, 0);
    }
    EncodedBytes encoded(bytes);
    if (result != 0 || !encoded || length == 0) {
        RaiseSaveError(JpegStatus::Encoding);
    }
    return encoded;
}

// A new file beside the target, removed again unless it was renamed over it.
class TemporaryJpegFile {
public:
    explicit TemporaryJpegFile(const std::string& target) {
        const size_t slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        // Hidden while written; cut so that the suffix still fits a name's limit.
        const std::string stem = folder + "." + name.substr(0, 200) + ".";

        static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device seed;
        std::minstd_rand random(seed());
        std::uniform_int_distribution<size_t> pick(0, sizeof(Letters) - 2);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = stem;
            for (int i = 0; i < 6; ++i) {
                candidate += Letters[pick(random)];
            }
            // O_EXCL: never an existing file or link; 0666 leaves the rest to the umask.
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = std::move(candidate);
                return;
            }
            if (errno != EEXIST) {
                RaiseSaveError(errno);
            }
        }
        RaiseSaveError(EEXIST);
    }

    ~TemporaryJpegFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!renamed_) {
            ::unlink(path_.c_str());
        }
    }

    TemporaryJpegFile(const TemporaryJpegFile&) = delete;
    TemporaryJpegFile& operator=(const TemporaryJpegFile&) = delete;

    void Write(const unsigned char* data, size_t length) {
        while (length > 0) {
            const ssize_t written = ::write(fd_, data, length);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                RaiseSaveError(errno);
            }
            data += written;
            length -= static_cast<size_t>(written);
        }
    }

    void RenameOver(const std::string& target) {
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) {
            RaiseSaveError(errno);
        }
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            RaiseSaveError(errno);
        }
        renamed_ = true;
    }

private:
    int fd_ = -1;
    std::string path_;
    bool renamed_ = false;
};

}  // namespace

void SaveJPG(const cDIB& Image, const std::string& filename, uint8_t quality) {
    if (quality > 100) {
        RaiseSaveError(JpegStatus::Quality);
    }
    if (filename.empty() || filename.back() == '/') {
        RaiseSaveError(filename.empty() ? ENOENT : EISDIR);
    }
    unsigned long length = 0;
    const EncodedBytes encoded = Encode(Image, quality, length);

    TemporaryJpegFile file(filename);
    file.Write(encoded.get(), length);
    file.RenameOver(filename);
}

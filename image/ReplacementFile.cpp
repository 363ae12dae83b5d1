#include "ReplacementFile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <unistd.h>

cReplacementFile::cReplacementFile(std::string target) : target_(std::move(target)) {}

cReplacementFile::~cReplacementFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty() && !committed_) ::unlink(path_.c_str());
}

int cReplacementFile::Open() {
    const size_t slash = target_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
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
        // O_EXCL: never an existing file or link. Mode 0666: the umask applies,
        // as for any file the user's programs create.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            path_ = std::move(candidate);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int cReplacementFile::Write(const void* data, size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd_, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return 0;
}

int cReplacementFile::Commit() {
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) return errno;
    if (::rename(path_.c_str(), target_.c_str()) != 0) return errno;
    committed_ = true;
    return 0;
}

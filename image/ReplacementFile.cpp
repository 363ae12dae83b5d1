#include "ReplacementFile.h"

#include <cerrno>
#include <mutex>
#include <random>
#include <set>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Temporary files that exist now. Creating, renaming and removing one happen
// under the lock, so AbandonAll sees each file either before it exists or
// while it still has its temporary name.
struct Registry {
    std::mutex Lock;
    std::set<std::string> Live;
    bool Abandoned = false;
};

Registry& Temporaries() {
    static Registry* registry = new Registry;  // never destroyed: writers may outlive main
    return *registry;
}

}  // namespace

cReplacementFile::cReplacementFile(std::string target) : target_(std::move(target)) {}

cReplacementFile::~cReplacementFile() {
    if (fd_ >= 0) ::close(fd_);
    if (path_.empty() || committed_) return;
    Registry& registry = Temporaries();
    std::lock_guard lock(registry.Lock);
    if (registry.Live.erase(path_) > 0) ::unlink(path_.c_str());
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
    Registry& registry = Temporaries();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem;
        for (int i = 0; i < 6; ++i) candidate += Letters[pick(random)];
        std::lock_guard lock(registry.Lock);
        if (registry.Abandoned) return ECANCELED;
        // O_EXCL: never an existing file or link. Mode 0666: the umask applies,
        // as for any file the user's programs create.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            registry.Live.insert(candidate);
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
    Registry& registry = Temporaries();
    std::lock_guard lock(registry.Lock);
    if (registry.Abandoned) return ECANCELED;
    if (::rename(path_.c_str(), target_.c_str()) != 0) return errno;
    registry.Live.erase(path_);
    committed_ = true;
    return 0;
}

void cReplacementFile::AbandonAll() {
    Registry& registry = Temporaries();
    std::lock_guard lock(registry.Lock);
    registry.Abandoned = true;
    for (const std::string& path : registry.Live) ::unlink(path.c_str());
    registry.Live.clear();
}

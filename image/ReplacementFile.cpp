#include "ReplacementFile.h"

#include "DescriptorWrite.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Temporary names that exist now. Creating, renaming and removing one happen
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

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kRandomLetters = 6;

std::string FolderOf(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    return slash == std::string::npos ? "" : target.substr(0, slash + 1);
}

// ".NAME." for a target NAME, beside it. The name is cut so that the
// suffix still fits within a file name's length limit.
std::string HiddenStem(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return FolderOf(target) + "." + name.substr(0, 200) + ".";
}

std::string RandomName(const std::string& stem) {
    static thread_local std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
    std::string name = stem;
    for (std::size_t i = 0; i < kRandomLetters; ++i) name += kLetters[pick(random)];
    return name;
}

// Whether a file name is one this writer gives its temporaries: ".NAME.XXXXXX"
// with NAME ending in .bmp or .jpg.
bool IsTemporaryName(const std::string& name) {
    const std::size_t tail = kRandomLetters + 1;
    if (name.size() < 1 + 4 + tail || name[0] != '.' || name[name.size() - tail] != '.')
        return false;
    for (std::size_t i = name.size() - kRandomLetters; i < name.size(); ++i)
        if (std::strchr(kLetters, name[i]) == nullptr) return false;
    const std::string target = name.substr(1, name.size() - 1 - tail);
    return target.ends_with(".bmp") || target.ends_with(".jpg");
}

// Unnamed files are linked in through their /proc path (which needs no
// privilege, unlike AT_EMPTY_PATH): without /proc they are not used.
bool CanLinkUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
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
    Registry& registry = Temporaries();
    if (CanLinkUnnamedFiles()) {
        const std::string folder = FolderOf(target_);
        std::lock_guard lock(registry.Lock);
        if (registry.Abandoned) return ECANCELED;
        // Mode 0666: the umask applies, as for any file the user's programs create.
        fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            unnamed_ = true;
            return 0;
        }
        // Not on this file system (EOPNOTSUPP, EISDIR, ...): a named one below,
        // which reports its own error where the folder itself is the trouble.
    }
    const std::string stem = HiddenStem(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = RandomName(stem);
        std::lock_guard lock(registry.Lock);
        if (registry.Abandoned) return ECANCELED;
        // O_EXCL: never an existing file or link.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            registry.Live.insert(candidate);
            path_ = std::move(candidate);
            // Held until the file is closed or the process ends: a later run
            // that finds the lock taken knows a writer is still at work.
            ::flock(fd_, LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int cReplacementFile::Write(const void* data, size_t length) { return WriteAll(fd_, data, length); }

int cReplacementFile::WriteAt(const void* data, size_t length, unsigned long long offset) {
    return WriteAllAt(fd_, data, length, offset);
}

// Under the registry's lock. A link cannot replace an existing file, so the
// complete file is linked in under a temporary name and then renamed.
int cReplacementFile::LinkHidden() {
    const std::string source = "/proc/self/fd/" + std::to_string(fd_);
    const std::string stem = HiddenStem(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = RandomName(stem);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            Temporaries().Live.insert(candidate);
            path_ = std::move(candidate);
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int cReplacementFile::Commit() {
    Registry& registry = Temporaries();
    std::unique_lock lock(registry.Lock);
    if (registry.Abandoned) return ECANCELED;
    if (unnamed_) {
        if (const int linked = LinkHidden(); linked != 0) return linked;
    }
    lock.unlock();
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) return errno;
    lock.lock();
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

int cReplacementFile::RemoveStaleTemporaries(const std::string& folder, time_t writtenBefore) {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
    if (!listing) return 0;
    const int folderFd = ::dirfd(listing.get());
    int removed = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (!IsTemporaryName(name)) continue;
        const int fd =
            ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                           st.st_mtime < writtenBefore && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale && ::unlinkat(folderFd, name.c_str(), 0) == 0) ++removed;
        ::close(fd);
    }
    return removed;
}

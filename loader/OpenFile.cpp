#include "OpenFile.h"

#include "LoaderErrors.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Only regular files are read: a folder, a named pipe (whose open would block
// until a writer comes), a socket or a device is refused by its mode alone.
void RequireRegularFile(mode_t mode, const std::string& path) {
    if (S_ISREG(mode)) return;
    const char* kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a named pipe"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "not a regular file";
    RaiseNotAFile(path, kind);
}

}  // namespace

cOpenFile::~cOpenFile() {
    if (Fd >= 0) ::close(Fd);
}

// O_NONBLOCK keeps even a path replaced by a named pipe from blocking.
void OpenRegularFile(const std::string& path, cOpenFile& file) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) RaiseOpenError(errno, path);
    RequireRegularFile(st.st_mode, path);

    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) RaiseOpenError(errno, path);
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        RaiseOpenError(error, path);
    }
    if (!S_ISREG(st.st_mode)) {  // replaced by something else since the stat
        ::close(fd);
        RequireRegularFile(st.st_mode, path);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.Fd = fd;
    file.Opened = st;
}

void RequireUnchanged(const cOpenFile& file, const std::string& path) {
    struct stat now {};
    if (::fstat(file.Fd, &now) != 0) RaiseDeviceError(errno, path);
    const auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    if (now.st_size != file.Opened.st_size || !same(now.st_mtim, file.Opened.st_mtim) ||
        !same(now.st_ctim, file.Opened.st_ctim))
        RaiseInvalid(path, "the file changed while it was read");
}

#include "FileBytes.h"

#include <cerrno>

#include <unistd.h>

std::ptrdiff_t ReadAt(int fd, void* to, std::size_t size, uint64_t offset) {
    auto* out = static_cast<uint8_t*>(to);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;  // the end of the file
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::ptrdiff_t>(done);
}

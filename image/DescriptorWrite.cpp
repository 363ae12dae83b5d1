#include "DescriptorWrite.h"

#include <cerrno>

#include <unistd.h>

int WriteAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

int WriteAllAt(int fd, const void* data, std::size_t length, unsigned long long offset) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t written = ::pwrite(fd, bytes, length, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += written;
        offset += static_cast<unsigned long long>(written);
        length -= static_cast<std::size_t>(written);
    }
    return 0;
}

#include "NameList.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

int ReadNameList(const std::string& list, bool nulSeparated, std::vector<std::string>& names) {
    const bool standardInput = list == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(list.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const char end = nulSeparated ? '\0' : '\n';
    std::string name;
    int error = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != end) {
                name.push_back(buffer[i]);
            } else if (!name.empty()) {
                names.push_back(std::move(name));
                name.clear();
            }
        }
    }
    if (!name.empty() && error == 0) names.push_back(std::move(name));
    if (!standardInput) ::close(fd);
    return error;
}

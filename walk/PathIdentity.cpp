#include "PathIdentity.h"

#include <cstdlib>
#include <memory>

#include <sys/stat.h>

namespace {

std::string DeviceAndInode(const struct stat& st) {
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

}  // namespace

std::string EntryIdentity(const std::string& path) {
    // end: the length of the folder part tried, the rest follows it.
    std::string::size_type end = path.size();
    for (;;) {
        const std::string::size_type slash =
            end == 0 ? std::string::npos : path.rfind('/', end - 1);
        const std::string folder = slash == std::string::npos ? std::string(".")
                                   : slash == 0               ? std::string("/")
                                                              : path.substr(0, slash);
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            const std::string::size_type rest = slash == std::string::npos ? 0 : slash + 1;
            return DeviceAndInode(st) + "/" + path.substr(rest);
        }
        if (slash == std::string::npos || slash == 0) return "?" + path;  // nothing of it exists
        end = slash;
    }
}

std::string FileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return DeviceAndInode(st);
    return EntryIdentity(path);
}

std::string ResolvedEntry(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? EntryIdentity(resolved.get()) : std::string();
}

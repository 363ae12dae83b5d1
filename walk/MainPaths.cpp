#include "MainPaths.h"

#include <string_view>
#include <sys/stat.h>

namespace {

// One left-to-right pass: each "//" becomes "/", so "///" becomes "//".
std::string CollapsePairs(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        out += path[i];
        if (path[i] == '/' && i + 1 < path.size() && path[i + 1] == '/') {
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string FileNameFromPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CollapseBackslashes(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return CollapsePairs(path);
    }
    const size_t start = path.find_first_not_of('/');
    if (start == std::string::npos) {
        return "/";
    }
    std::string collapsed(1, '/');
    collapsed += CollapsePairs(std::string_view(path).substr(start));
    return collapsed;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetShortFilename(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return {};
    }
    return path;
}

std::string WithoutTrailingSlashes(const std::string& path) {
    const std::string::size_type last = path.find_last_not_of('/');
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

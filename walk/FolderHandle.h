#pragma once
// An open folder listing, closed on every way out.

#include <dirent.h>

#include <memory>
#include <string>

struct FolderCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using FolderHandle = std::unique_ptr<DIR, FolderCloser>;

// Empty when the folder cannot be opened; errno tells why.
inline FolderHandle OpenFolder(const std::string& path) {
    return FolderHandle(opendir(path.c_str()));
}

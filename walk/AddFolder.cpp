#include "AddFolder.h"

#include "FolderHandle.h"
#include "FolderWalk.h"
#include "MainPaths.h"
#include "Utf8Decode.h"
#include "WildcardMatch.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsHiddenName(const std::string& name) {
    return name.size() > 1 && name[0] == '.' && name != "..";
}

}  // namespace

int32_t GetAttr(const std::string& path) {
    // Without its trailing separators: lstat of "link/" would follow the link.
    const std::string trimmed = WithoutTrailingSlashes(path);
    const std::string p = trimmed.empty() && !path.empty() ? std::string("/") : trimmed;
    struct stat link {};
    struct stat target {};
    if (p.empty() || lstat(p.c_str(), &link) != 0 || stat(p.c_str(), &target) != 0) {
        return -1;
    }
    int32_t attr = 0;
    if (S_ISDIR(target.st_mode)) {
        attr |= FileAttribute::Directory;
    } else if (S_ISREG(target.st_mode)) {
        attr |= FileAttribute::Archive;
    }
    if (S_ISLNK(link.st_mode)) {
        attr |= FileAttribute::ReparsePoint;
    }
    if (IsHiddenName(FileNameFromPath(p))) {
        attr |= FileAttribute::Hidden;
    }
    // access() alone says "writable" to root for everything, so a file that
    // grants nobody the write bit counts as read-only as well.
    if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(p.c_str(), W_OK) != 0) {
        attr |= FileAttribute::ReadOnly;
    }
    return attr;
}

void GetSubDirectories2016(std::vector<std::string>& folders, bool recurse,
                           const WalkHooks& hooks) {
    WalkSubDirectories(folders, recurse, hooks, FolderSystem{});
}

bool IsExistingFile(const std::string& path) {
    // Only regular files are ever opened: opening a FIFO could block, and a
    // device is no image.
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // The path may have been replaced between the two calls.
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular;
}

// Names are UTF-8 here, the system's own character set, so every valid
// character can be represented; only bytes that are not UTF-8 read as "?".
// Control characters (C0, DEL and C1) and "?" itself are refused.
bool HasInvalidNameChars(const std::string& name) {
    const std::optional<std::u32string> chars = DecodeUtf8(name);
    if (!chars) {
        return true;
    }
    return std::any_of(chars->begin(), chars->end(),
                       [](char32_t c) { return c < 32 || c == U'?' || (c >= 127 && c <= 159); });
}

std::vector<std::string> ListFolderFiles(const std::string& folder, const std::string& pattern) {
    std::string dirPath = folder;
    if (dirPath.empty() || dirPath.back() != '/') {
        dirPath += '/';
    }
    std::vector<std::string> names;
    FolderHandle dir = OpenFolder(dirPath);
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir.get())) {
        names.emplace_back(entry->d_name);
    }
    dir.reset();
    std::sort(names.begin(), names.end());

    std::vector<std::string> files;
    for (std::string& name : names) {
        if (MatchesWildcard(name, pattern) && IsExistingFile(dirPath + name)) {
            files.push_back(std::move(name));
        }
    }
    return files;
}

std::vector<std::string> CollectFolderFiles(const std::string& folder, const std::string& pattern,
                                            const WalkHooks& hooks) {
    // A writable hidden file: what editors and tools leave behind, not a picture.
    constexpr int32_t kHiddenArchive = FileAttribute::Hidden | FileAttribute::Archive;

    std::vector<std::string> folders{folder + "/"};
    GetSubDirectories2016(folders, true, hooks);
    std::vector<std::string> files;
    for (const std::string& f : folders) {
        const std::string parent = f.substr(0, f.size() - 1);
        for (const std::string& name : ListFolderFiles(parent, pattern)) {
            if (name.starts_with('~')) {
                continue;
            }
            const std::string p = parent + "/" + name;
            // ListFolderFiles took only files; -1: gone since.
            const int32_t attr = GetAttr(p);
            if (attr >= 0 && attr != kHiddenArchive) {
                files.push_back(CollapseBackslashes(p));
            }
        }
    }
    return files;
}

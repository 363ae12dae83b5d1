#include "FolderWalk.h"

#include "FolderHandle.h"
#include "MainPaths.h"
#include "Messages.h"
#include "cError.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const char* const kWalkLocation = "in Dotwane2021/08/31.AddFolder.GetSubDirectories2016 ";
// Step quoted when listing a folder fails for a reason other than missing
// rights or a vanished folder.
constexpr int kListingStep = 108;

// Attribute values of system folders the walk keeps out: directory + system +
// hidden, with or without the reparse-point bit. Linux never sets the system
// bit, so only a substituted FolderSystem shows them.
bool IsRefusedAttr(int32_t attr) {
    constexpr int32_t kSystemFolder =
        FileAttribute::Directory | FileAttribute::System | FileAttribute::Hidden;
    return attr == kSystemFolder || attr == (kSystemFolder | FileAttribute::ReparsePoint);
}

bool IsSubFolderNameAccepted(const std::string& name) {
    return name.size() <= NAME_MAX && !HasInvalidNameChars(name) &&
           name.find('?') == std::string::npos;
}

// Missing rights, or the folder went away: the folder leaves the list.
bool IsDenial(int err) { return err == EACCES || err == EPERM || err == ENOENT || err == ENOTDIR; }
bool WentAway(int err) { return err == ENOENT || err == ENOTDIR; }

cError ListingError(int err) {
    switch (err) {
    case EIO:
        return {ErrorNumber::DeviceIO, "Device I/O error"};
    case ENOMEM:
        return {ErrorNumber::OutOfMemory, kOutOfMemory};
    default:
        return {ErrorNumber::PathFileAccess, "Path/File access error"};
    }
}

void Yield(const WalkHooks& hooks) {
    if (hooks.Yield) {
        hooks.Yield();
    }
}

void Missed(const WalkHooks& hooks, const std::string& folder, int err) {
    if (hooks.FolderMissed) {
        hooks.FolderMissed(folder, err);
    }
}

struct WalkState {
    const WalkHooks& hooks;
    const FolderSystem& fs;
    std::set<FolderId> entered;  // folders whose sub-folders were listed
    std::set<FolderId> seen;     // folders already in the list, entered or not
};

// Lists the sub-folders of every entry of level and returns them, parents in
// list order. Entries that cannot be listed for lack of rights are removed
// from level. A folder met again (a symbolic-link loop, two links to one
// folder) is not taken twice, which is what keeps a looping tree finite.
std::vector<std::string> ExpandLevel(std::vector<std::string>& level, WalkState& state) {
    std::vector<std::string> children;
    const std::vector<std::string> entries = level;  // level loses entries below
    for (const std::string& v : entries) {
        if (!state.fs.FolderExists(v)) {
            continue;
        }
        if (v.size() >= PATH_MAX) {
            Missed(state.hooks, v, ENAMETOOLONG);
            continue;
        }
        Yield(state.hooks);
        if (!state.fs.IsDriveRoot(v) && IsRefusedAttr(state.fs.GetAttr(v))) {
            continue;
        }
        const std::optional<FolderId> id = state.fs.Identity(v);
        if (!id || !state.entered.insert(*id).second) {
            continue;
        }
        std::vector<std::string> names;
        const int err = state.fs.ListSubFolders(v, names);
        if (IsDenial(err)) {
            if (auto it = std::find(level.begin(), level.end(), v); it != level.end()) {
                level.erase(it);
            }
            if (!WentAway(err)) {
                Missed(state.hooks, v, err);
            }
            continue;
        }
        for (const std::string& name : names) {
            Yield(state.hooks);
            if (name == "." || name == "..") {
                continue;
            }
            if (!IsSubFolderNameAccepted(name)) {
                Missed(state.hooks, v + name + "/", 0);
                continue;
            }
            std::string child = v + name + "/";
            const std::optional<FolderId> childId = state.fs.Identity(child);
            if (childId && state.seen.insert(*childId).second) {
                children.push_back(std::move(child));
            }
        }
        if (err != 0) {
            if (state.hooks.ReportError) {
                state.hooks.ReportError(ListingError(err), kWalkLocation, kListingStep);
            }
            Missed(state.hooks, v, err);
        }
    }
    return children;
}

}  // namespace

bool FolderSystem::FolderExists(const std::string& path) const { return ::FolderExists(path); }

int32_t FolderSystem::GetAttr(const std::string& path) const { return ::GetAttr(path); }

bool FolderSystem::IsDriveRoot(const std::string& path) const {
    const std::optional<FolderId> id = Identity(path);
    return id && id == Identity("/");
}

std::optional<FolderId> FolderSystem::Identity(const std::string& path) const {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FolderId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

int FolderSystem::ListSubFolders(const std::string& folder, std::vector<std::string>& names) const {
    const FolderHandle dir = OpenFolder(folder);
    if (!dir) {
        return errno;
    }
    const int fd = dirfd(dir.get());
    int err = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            err = errno;
            break;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder) {
            names.emplace_back(entry->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    return err;
}

// Kept iterative, one level of the tree at a time, so that a deep tree cannot
// exhaust the stack; the result is the same breadth-first order.
void WalkSubDirectories(std::vector<std::string>& folders, bool recurse, const WalkHooks& hooks,
                        const FolderSystem& fileSystem) {
    WalkState state{hooks, fileSystem, {}, {}};
    for (const std::string& v : folders) {
        if (const std::optional<FolderId> id = fileSystem.Identity(v)) {
            state.seen.insert(*id);
        }
    }
    std::vector<std::string> below;
    std::vector<std::string> level = ExpandLevel(folders, state);
    while (!level.empty()) {
        std::vector<std::string> next;
        if (recurse) {
            next = ExpandLevel(level, state);
        }
        for (std::string& v : level) {
            if (!fileSystem.FolderExists(v)) {
                continue;
            }
            Yield(hooks);
            if (fileSystem.IsDriveRoot(v) || !IsRefusedAttr(fileSystem.GetAttr(v))) {
                below.push_back(std::move(v));
            }
        }
        level = std::move(next);
    }
    folders.insert(folders.end(), std::make_move_iterator(below.begin()),
                   std::make_move_iterator(below.end()));
}

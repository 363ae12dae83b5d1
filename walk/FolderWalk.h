#pragma once
// The breadth-first folder walk behind GetSubDirectories2016, over a file
// system seen through FolderSystem so that tests can present attribute values
// and listing failures that a real Linux tree cannot produce (a system
// attribute, or a folder root cannot list).

#include "AddFolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Device and inode: the same folder reached by two paths has one identity.
using FolderId = std::pair<uint64_t, uint64_t>;

class FolderSystem {
public:
    virtual ~FolderSystem() = default;

    virtual bool FolderExists(const std::string& path) const;
    virtual int32_t GetAttr(const std::string& path) const;
    virtual bool IsDriveRoot(const std::string& path) const;
    virtual std::optional<FolderId> Identity(const std::string& path) const;

    // Names of the entries of folder that are folders (also through a
    // symbolic link), "." and ".." included, sorted by byte value. Returns 0,
    // or the errno of the failure with the names read before it.
    virtual int ListSubFolders(const std::string& folder, std::vector<std::string>& names) const;
};

// The walk itself; GetSubDirectories2016 runs it on the real file system.
void WalkSubDirectories(std::vector<std::string>& folders, bool recurse, const WalkHooks& hooks,
                        const FolderSystem& fileSystem);

#pragma once
// The folder walk and file listing behind folder drops, the folder import and
// pixolune-cli's folder arguments. No window: yielding to the event loop and
// reporting errors are callbacks the caller supplies.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class cError;

// File attribute values, with their usual meaning, mapped from the file system.
namespace FileAttribute {
inline constexpr int32_t ReadOnly = 1;
inline constexpr int32_t Hidden = 2;  // names beginning with "."
inline constexpr int32_t System = 4;  // never set here
inline constexpr int32_t Directory = 16;
inline constexpr int32_t Archive = 32;         // every regular file
inline constexpr int32_t ReparsePoint = 1024;  // symbolic links
}  // namespace FileAttribute

struct WalkHooks {
    std::function<void()> Yield;  // lets pending window events run
    // Shows an unexpected failure of the walk; the walk then goes on.
    std::function<void(const cError& error, const std::string& location, int step)> ReportError;
    // A folder (ending with "/") whose tree the walk could not take whole:
    // error is the errno of a listing refused or cut short, 0 for a folder
    // name the walk refuses. A folder that went away is not missed.
    std::function<void(const std::string& folder, int error)> FolderMissed;
};

// Attribute value of a path (the sum of the values above), or -1 when it cannot be read.
int32_t GetAttr(const std::string& path);

// Expands folders (each ending with "/") in place with every folder below
// them, breadth first. Folders that cannot be listed for lack of rights are
// removed; refused names and attributes leave a folder out with its subtree
// (hooks.FolderMissed hears of each but the refused attributes').
void GetSubDirectories2016(std::vector<std::string>& folders, bool recurse,
                           const WalkHooks& hooks = {});

// Names (no folder part) of the files in folder matching a wildcard pattern
// (case-insensitive "*" and "?"; "*.*" matches every name), sorted by byte value.
std::vector<std::string> ListFolderFiles(const std::string& folder, const std::string& pattern);

// True when path names an existing file that can be opened (never a folder,
// FIFO, socket or device).
bool IsExistingFile(const std::string& path);

// True when a folder name holds a character the walk refuses.
bool HasInvalidNameChars(const std::string& name);

// Every file of the tree below folder whose name matches pattern, folder by
// folder in walk order, without names beginning with "~" or files whose
// attribute value is exactly hidden + archive: what a folder drop or a folder
// import appends to the list.
std::vector<std::string> CollectFolderFiles(const std::string& folder, const std::string& pattern,
                                            const WalkHooks& hooks = {});

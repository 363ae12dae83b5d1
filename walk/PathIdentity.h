#pragma once
// Which file or directory entry a path names, whatever its spelling: "a.bmp",
// "./a.bmp" and "link-to-folder/a.bmp" give one identity. Used to tell when two
// paths would read or write the same file.

#include <string>

// The entry a path names: the device and inode of the nearest folder on its
// way that exists, and the rest of the path below it. The entry itself need
// not exist, and a link at the end is the entry, not what it points to.
std::string EntryIdentity(const std::string& path);

// The file a path names: its device and inode when it exists, so hard and
// symbolic links to one file are one file; else the entry it would be.
std::string FileIdentity(const std::string& path);

// The entry a path finally resolves to through its links ("" when it does not
// resolve): writing over that entry changes what the path reads.
std::string ResolvedEntry(const std::string& path);

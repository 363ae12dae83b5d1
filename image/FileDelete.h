#pragma once
// File deletion beside the writers. Nothing in the program calls these yet:
// the writers replace a file only once the new one is complete, and the JPEG
// is encoded in memory, so no earlier or intermediate file needs deleting.

#include <string>

// Deletes a file and never reports: a missing file is no error, a read-only
// file is deleted too.
void DeleteFileSafe(const std::string& path);

// Deletes a file, read-only or not; raises a cError when it cannot.
void ForceDeleteFile(const std::string& path);

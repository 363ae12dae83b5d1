#pragma once
// File deletion shared by the writers and the reduction run.

#include <string>

// Deletes a file and never reports: a missing file is no error, a read-only
// file is deleted too. Lets pending window events run first.
void DeleteFileSafe(const std::string& path);

// Deletes a file, read-only or not; raises a cError when it cannot.
void ForceDeleteFile(const std::string& path);

#pragma once
// Sizes and savings as pixolune-cli prints them.

#include <cstdint>
#include <string>

// "512 bytes", "12.3 KB", "4.5 MB", "1.2 GB" (powers of 1024).
std::string ByteCount(uint64_t bytes);

// "67.3% saved" or "12.0% larger": the change from bytesIn to bytesOut.
std::string ShareSaved(uint64_t bytesIn, uint64_t bytesOut);

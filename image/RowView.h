#pragma once
// Where each row of a picture starts in its pixel memory: row 0 is the top row
// of the picture whichever order memory keeps the rows in (a BMP file and
// cDIB keep the bottom row first).

#include <cstddef>
#include <cstdint>

template <typename Byte>  // uint8_t, or const uint8_t for a view that only reads
struct RowView {
    Byte* Bits = nullptr;       // first byte of memory row 0
    std::ptrdiff_t Stride = 0;  // bytes from one memory row to the next
    int32_t Height = 0;
    bool BottomUp = false;  // memory row 0 is the bottom row of the picture

    // Row i in memory order (0: the first in memory).
    Byte* MemoryRow(int32_t i) const { return Bits + static_cast<std::ptrdiff_t>(i) * Stride; }
    // Row y of the picture (0: the top row).
    Byte* Row(int32_t y) const { return MemoryRow(BottomUp ? Height - 1 - y : y); }
};

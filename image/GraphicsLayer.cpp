#include "GraphicsLayer.h"

#include <algorithm>
#include <cstring>
#include <vector>

// Both blits share one copier: a plain copy is a scaled copy whose source and
// destination rectangles have the same size (the column and row maps are then
// the identity).
//
// Clipping: destination pixels outside the selected bitmap are not drawn, and
// destination pixels whose source pixel lies outside the source bitmap are left
// as they were. Source memory outside the bitmap is never read.

namespace {

void SetPixelIndex(uint8_t* row, int32_t x, int32_t bpp, uint8_t index) {
    switch (bpp) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                    : static_cast<uint8_t>((b & 0x0F) | (index << 4));
        break;
    }
    default: {
        uint8_t& b = row[x >> 3];
        const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        b = (index & 1) ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
        break;
    }
    }
}

// Writes one destination row from one source row along the column map.
// Columns [first, first + count) of the destination take source columns
// columnMap[0 .. count).
void CopyRow(const cBitmapBits& src, const uint8_t* srcRow, const cBitmapBits& dst, uint8_t* dstRow,
             int32_t first, const int32_t* columnMap, int32_t count, bool contiguous) {
    if (dst.BPP == 32 && src.BPP == 32) {
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(first) * 4;
        if (contiguous) {
            std::memcpy(out, srcRow + static_cast<std::ptrdiff_t>(columnMap[0]) * 4,
                        static_cast<size_t>(count) * 4);
            return;
        }
        for (int32_t i = 0; i < count; ++i)
            std::memcpy(out + i * 4, srcRow + static_cast<std::ptrdiff_t>(columnMap[i]) * 4, 4);
        return;
    }
    if (dst.BPP == 32) {  // indexed source: colours through the table, unused byte 0
        uint8_t* out = dstRow + static_cast<std::ptrdiff_t>(first) * 4;
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t index = PixelIndex(srcRow, columnMap[i], src.BPP);
            if (src.ColorTable) {
                std::memcpy(out + i * 4, src.ColorTable + index * 4, 3);
            } else {
                std::memset(out + i * 4, 0, 3);
            }
            out[i * 4 + 3] = 0;
        }
        return;
    }
    if (dst.BPP == 8) {  // 8 -> 8: the indices themselves
        if (contiguous) {
            std::memcpy(dstRow + first, srcRow + columnMap[0], static_cast<size_t>(count));
            return;
        }
        for (int32_t i = 0; i < count; ++i) dstRow[first + i] = srcRow[columnMap[i]];
        return;
    }
    for (int32_t i = 0; i < count; ++i)  // 1 -> 1, 4 -> 4
        SetPixelIndex(dstRow, first + i, dst.BPP, PixelIndex(srcRow, columnMap[i], src.BPP));
}

// The one copier behind both blits. Sizes must be >= 0.
int32_t ScaledCopy(const cBitmapBits* dst, int32_t x, int32_t y, int32_t w, int32_t h,
                   const cBitmapBits& src, int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) {
    if (dst == nullptr || dst->Bits == nullptr || src.Bits == nullptr) return 0;
    if (w < 0 || h < 0 || wSrc < 0 || hSrc < 0) return 0;
    if (!IsSupportedDepth(src.BPP) || !IsSupportedDepth(dst->BPP)) return 0;
    // Indexed destinations take only their own depth: matching colours into a
    // table is not something this program ever needs.
    if (dst->BPP != 32 && dst->BPP != src.BPP) return 0;
    if (w == 0 || h == 0) return 1;  // nothing to draw
    if (wSrc == 0 || hSrc == 0) return 0;

    // Destination columns and rows that fall inside the selected bitmap.
    const int64_t dx0 = std::max<int64_t>(0, -static_cast<int64_t>(x));
    const int64_t dx1 = std::min<int64_t>(w, static_cast<int64_t>(dst->Width) - x);
    const int64_t dy0 = std::max<int64_t>(0, -static_cast<int64_t>(y));
    const int64_t dy1 = std::min<int64_t>(h, static_cast<int64_t>(dst->Height) - y);
    if (dx0 >= dx1 || dy0 >= dy1) return 1;

    // The column map is nondecreasing, so the columns whose source lies inside
    // the source bitmap form one unbroken run.
    std::vector<int32_t> columnMap;
    columnMap.reserve(static_cast<size_t>(dx1 - dx0));
    int64_t firstColumn = -1;
    for (int64_t dx = dx0; dx < dx1; ++dx) {
        const int64_t sx = xSrc + NearestSourceOffset(dx, w, wSrc);
        if (sx < 0) continue;
        if (sx >= src.Width) break;
        if (firstColumn < 0) firstColumn = dx;
        columnMap.push_back(static_cast<int32_t>(sx));
    }
    if (columnMap.empty()) return 1;
    const int32_t count = static_cast<int32_t>(columnMap.size());
    const bool contiguous = (w == wSrc);
    const int32_t first = static_cast<int32_t>(x + firstColumn);

    for (int64_t dy = dy0; dy < dy1; ++dy) {
        const int64_t sy = ySrc + NearestSourceOffset(dy, h, hSrc);
        if (sy < 0) continue;
        if (sy >= src.Height) break;
        CopyRow(src, src.Row(static_cast<int32_t>(sy)), *dst,
                dst->Row(static_cast<int32_t>(y + dy)), first, columnMap.data(), count, contiguous);
    }
    return 1;
}

}  // namespace

int32_t cMemoryDC::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                          int32_t xSrc, int32_t ySrc) {
    return ScaledCopy(selected_, x, y, w, h, src, xSrc, ySrc, w, h);
}

int32_t cMemoryDC::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                              int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) {
    return ScaledCopy(selected_, x, y, w, h, src, xSrc, ySrc, wSrc, hSrc);
}

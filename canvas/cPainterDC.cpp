#include "cPainterDC.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Colour of picture pixel (x, y) as 0xAARRGGBB, opaque.
QRgb PixelColour(const cBitmapBits& src, int32_t x, int32_t y) {
    const uint8_t* row = src.Row(y);
    if (src.BPP == 32) {
        const uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
        return qRgb(p[2], p[1], p[0]);
    }
    if (src.ColorTable == nullptr || (src.BPP != 1 && src.BPP != 4 && src.BPP != 8))
        return qRgb(0, 0, 0);
    const uint8_t* entry =
        src.ColorTable + static_cast<std::ptrdiff_t>(PixelIndex(row, x, src.BPP)) * 4;
    return qRgb(entry[2], entry[1], entry[0]);
}

}  // namespace

int32_t cPainterDC::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                           int32_t xSrc, int32_t ySrc) {
    return StretchBlt(x, y, w, h, src, xSrc, ySrc, w, h);
}

// Only the part of the destination that lies on the surface is computed, and
// destination pixels whose source lies outside the bitmap are left as they
// are: a scrolled canvas asks for a source rectangle a little past the image
// edge and a destination a little past its own edge.
int32_t cPainterDC::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                               int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) {
    if (w <= 0 || h <= 0 || wSrc <= 0 || hSrc <= 0 || src.Bits == nullptr) return 0;

    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + w, surface_.width());
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + h, surface_.height());
    if (left >= right || top >= bottom) return 1;  // nothing visible: done

    const int32_t outW = static_cast<int32_t>(right - left);
    const int32_t outH = static_cast<int32_t>(bottom - top);
    QImage out(outW, outH, QImage::Format_ARGB32);
    out.fill(Qt::transparent);

    std::vector<int32_t> columns(outW);
    for (int32_t i = 0; i < outW; ++i)
        columns[i] = static_cast<int32_t>(xSrc + NearestSourceOffset(left - x + i, w, wSrc));

    for (int32_t j = 0; j < outH; ++j) {
        const int32_t sy = static_cast<int32_t>(ySrc + NearestSourceOffset(top - y + j, h, hSrc));
        if (sy < 0 || sy >= src.Height) continue;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
        for (int32_t i = 0; i < outW; ++i) {
            const int32_t sx = columns[i];
            if (sx >= 0 && sx < src.Width) line[i] = PixelColour(src, sx, sy);
        }
    }
    painter_.drawImage(QPoint(static_cast<int>(left), static_cast<int>(top)), out);
    return 1;
}

#pragma once
// A drawing context over a QPainter: what a canvas hands to cDIB::Stretch so
// the image draws itself onto the widget with nearest-pixel scaling.

#include "GraphicsLayer.h"

#include <QSize>

class QPainter;

class cPainterDC final : public cDC {
public:
    // surface: the size of the painted device; nothing is drawn outside it.
    cPainterDC(QPainter& painter, QSize surface) : painter_(painter), surface_(surface) {}

    int32_t BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src, int32_t xSrc,
                   int32_t ySrc) override;
    int32_t StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const cBitmapBits& src,
                       int32_t xSrc, int32_t ySrc, int32_t wSrc, int32_t hSrc) override;
    const cBitmapBits* SelectedBitmap() const override { return nullptr; }

private:
    QPainter& painter_;
    QSize surface_;
};

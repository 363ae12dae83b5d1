#pragma once
// Builds canvases and test images for the canvas tests.

#include "ucCanvas.h"

#include <QApplication>
#include <QMouseEvent>

#include <memory>

// A shown canvas of the given size with an empty image.
inline std::unique_ptr<ucCanvas> MakeCanvas(int width, int height) {
    auto canvas = std::make_unique<ucCanvas>();
    canvas->resize(width, height);
    canvas->show();
    QApplication::processEvents();
    return canvas;
}

// A 32-bpp image whose pixel (x, y) is Blue x % 256, Green y % 256, Red x / 256.
inline void FillCoordinateImage(cDIB& dib, int32_t width, int32_t height) {
    dib.Create(width, height, 32);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = dib.lpBits() + static_cast<ptrdiff_t>(height - 1 - y) * dib.BytesPerScanline();
        for (int32_t x = 0; x < width; ++x) {
            row[4 * x] = static_cast<uint8_t>(x % 256);
            row[4 * x + 1] = static_cast<uint8_t>(y % 256);
            row[4 * x + 2] = static_cast<uint8_t>(x / 256);
            row[4 * x + 3] = 0;
        }
    }
}

// Loads a width x height coordinate image into the canvas and lays it out.
inline void ShowImage(ucCanvas& canvas, int32_t width, int32_t height) {
    FillCoordinateImage(*canvas.DIB, width, height);
    canvas.Resize();
}

inline void SendMouse(ucCanvas& canvas, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, canvas.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&canvas, &event);
}

// A drag with one button from one point to another, in a single move.
inline void Drag(ucCanvas& canvas, QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(canvas, QEvent::MouseButtonPress, from, button, button);
    SendMouse(canvas, QEvent::MouseMove, to, Qt::NoButton, button);
    SendMouse(canvas, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

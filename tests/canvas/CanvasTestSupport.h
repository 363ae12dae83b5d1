#pragma once
// Canvases on screen, images whose pixels name their own coordinates, and mouse input.

#include "ucCanvas.h"

#include <QApplication>
#include <QMouseEvent>

#include <array>
#include <memory>

// A shown canvas of the given size with an empty image.
inline std::unique_ptr<ucCanvas> MakeCanvas(int width = 200, int height = 148) {
    auto canvas = std::make_unique<ucCanvas>();
    canvas->resize(width, height);
    canvas->show();
    QApplication::processEvents();
    return canvas;
}

// The colour of picture pixel (x, y) in a coordinate image.
inline QColor CoordinateColour(int x, int y) { return QColor(x / 256, y % 256, x % 256); }

// Loads a width x height 32-bpp coordinate image into the canvas and lays it out.
inline void ShowImage(ucCanvas& canvas, int32_t width, int32_t height) {
    cDIB& dib = *canvas.DIB;
    dib.Create(width, height, 32);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = dib.Rows().Row(y);
        for (int32_t x = 0; x < width; ++x) {
            const QColor colour = CoordinateColour(x, y);
            row[4 * x] = colour.blue();
            row[4 * x + 1] = colour.green();
            row[4 * x + 2] = colour.red();
            row[4 * x + 3] = 0;
        }
    }
    canvas.Resize();
}

// ViewX, ViewY, ViewW, ViewH, ScrollMaxX, ScrollMaxY, ScrollX, ScrollY.
inline std::array<int32_t, 8> Layout(const ucCanvas& c) {
    return {c.ViewX(),      c.ViewY(),      c.ViewW(),   c.ViewH(),
            c.ScrollMaxX(), c.ScrollMaxY(), c.ScrollX(), c.ScrollY()};
}

inline void SendMouse(ucCanvas& canvas, QEvent::Type type, QPointF at,
                      Qt::MouseButton button = Qt::LeftButton,
                      Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent event(type, at, canvas.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&canvas, &event);
}

// A drag with one button from one point to another, in a single move.
inline void Drag(ucCanvas& canvas, QPointF from, QPointF to,
                 Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(canvas, QEvent::MouseButtonPress, from, button, button);
    SendMouse(canvas, QEvent::MouseMove, to, Qt::NoButton, button);
    SendMouse(canvas, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

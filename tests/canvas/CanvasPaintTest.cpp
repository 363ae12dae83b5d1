// What the canvas paints: image pixels at their places, nearest-pixel zoom,
// and the workspace grey around the image.

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

namespace {

// The colour FillCoordinateImage gives picture pixel (x, y).
QColor CoordinateColour(int x, int y) { return QColor(x / 256, y % 256, x % 256); }

QImage Shot(ucCanvas& canvas) {
    canvas.Repaint();
    return canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(CanvasPaint, CentredImageOverWorkspaceGrey) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 100, 80);
    const QImage shot = Shot(*canvas);
    EXPECT_EQ(shot.pixelColor(50, 34), CoordinateColour(0, 0));
    EXPECT_EQ(shot.pixelColor(149, 113), CoordinateColour(99, 79));
    EXPECT_EQ(shot.pixelColor(77, 40), CoordinateColour(27, 6));
    EXPECT_EQ(shot.pixelColor(49, 34), ucCanvas::BackgroundColor());
    EXPECT_EQ(shot.pixelColor(150, 34), ucCanvas::BackgroundColor());
    EXPECT_EQ(shot.pixelColor(50, 33), ucCanvas::BackgroundColor());
    EXPECT_EQ(shot.pixelColor(0, 0), ucCanvas::BackgroundColor());
}

TEST(CanvasPaint, ScrolledViewShowsThePartAtTheScrollPosition) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);  // centred: scroll 220, 166
    const QImage shot = Shot(*canvas);
    EXPECT_EQ(shot.pixelColor(0, 0), CoordinateColour(220, 166));
    EXPECT_EQ(shot.pixelColor(199, 147), CoordinateColour(419, 313));
}

TEST(CanvasPaint, ZoomRepeatsPixelsInBlocks) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetZoom(3);
    ShowImage(*canvas, 640, 480);
    canvas->SetScrollPos(10, 20);
    const QImage shot = Shot(*canvas);
    // Canvas column 0 shows the last two thirds of image column 3, then 4 follows.
    EXPECT_EQ(shot.pixelColor(0, 0), CoordinateColour(3, 6));
    EXPECT_EQ(shot.pixelColor(1, 0), CoordinateColour(3, 6));
    EXPECT_EQ(shot.pixelColor(2, 0), CoordinateColour(4, 6));
    EXPECT_EQ(shot.pixelColor(4, 0), CoordinateColour(4, 6));
    EXPECT_EQ(shot.pixelColor(5, 1), CoordinateColour(5, 7));
    EXPECT_EQ(shot.pixelColor(199, 147), CoordinateColour(69, 55));
}

TEST(CanvasPaint, FitModeShrinksByDroppingPixels) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetFitMode(true);
    ShowImage(*canvas, 400, 100);
    const QImage shot = Shot(*canvas);
    EXPECT_EQ(shot.pixelColor(0, 49), CoordinateColour(1, 1));   // centre of a 2 x 2 block
    EXPECT_EQ(shot.pixelColor(199, 98), CoordinateColour(399, 99));
    EXPECT_EQ(shot.pixelColor(100, 48), ucCanvas::BackgroundColor());
    EXPECT_EQ(shot.pixelColor(100, 99), ucCanvas::BackgroundColor());
}

TEST(CanvasPaint, IndexedImageShowsItsTableColours) {
    auto canvas = MakeCanvas(40, 40);
    ASSERT_TRUE(canvas->DIB->Create(4, 4, 8));
    std::vector<uint8_t> table(1024, 0);
    table[4 * 1 + 0] = 200;  // entry 1: blue 200
    table[4 * 2 + 2] = 150;  // entry 2: red 150
    canvas->DIB->SetPalette(table);
    uint8_t* bits = canvas->DIB->lpBits();
    bits[3 * canvas->DIB->BytesPerScanline() + 0] = 1;  // picture row 0, column 0
    bits[0 * canvas->DIB->BytesPerScanline() + 3] = 2;  // picture row 3, column 3
    canvas->Resize();
    const QImage shot = Shot(*canvas);
    EXPECT_EQ(shot.pixelColor(18, 18), QColor(0, 0, 200));
    EXPECT_EQ(shot.pixelColor(21, 21), QColor(150, 0, 0));
    EXPECT_EQ(shot.pixelColor(19, 18), QColor(0, 0, 0));
}

TEST(CanvasPaint, EmptiedImageLeavesOnlyTheBackground) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 100, 80);
    canvas->DIB->Destroy();
    canvas->Resize();
    const QImage shot = Shot(*canvas);
    for (const QPoint p : {QPoint(0, 0), QPoint(60, 40), QPoint(100, 74), QPoint(199, 147)})
        EXPECT_EQ(shot.pixelColor(p), ucCanvas::BackgroundColor()) << p.x() << "," << p.y();
}

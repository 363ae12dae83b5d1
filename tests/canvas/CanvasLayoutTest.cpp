// Layout of the canvas: centring, scroll ranges, carry-over on resize, fit
// mode, the paint rectangles of a zoomed and scrolled view.

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

TEST(CanvasLayout, SmallImageIsCentredWithoutScrolling) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 100, 80);
    EXPECT_EQ(canvas->ViewX(), 50);
    EXPECT_EQ(canvas->ViewY(), 34);
    EXPECT_EQ(canvas->ViewW(), 100);
    EXPECT_EQ(canvas->ViewH(), 80);
    EXPECT_EQ(canvas->ScrollMaxX(), 0);
    EXPECT_EQ(canvas->ScrollMaxY(), 0);
    EXPECT_EQ(canvas->ScrollX(), 0);
    EXPECT_EQ(canvas->ScrollY(), 0);
}

TEST(CanvasLayout, LargeImageStartsCentredAndKeepsItsPlaceWhenWidened) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    EXPECT_EQ(canvas->ScrollMaxX(), 440);
    EXPECT_EQ(canvas->ScrollMaxY(), 332);
    EXPECT_EQ(canvas->ScrollX(), 220);
    EXPECT_EQ(canvas->ScrollY(), 166);
    EXPECT_EQ(canvas->ViewX(), 0);
    EXPECT_EQ(canvas->ViewY(), 0);
    EXPECT_EQ(canvas->ViewW(), 200);
    EXPECT_EQ(canvas->ViewH(), 148);

    int resized = 0;
    QObject::connect(canvas.get(), &ucCanvas::Resized, [&] { ++resized; });
    canvas->resize(300, 148);  // a size change lays out by itself
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(canvas->ScrollMaxX(), 340);
    EXPECT_EQ(canvas->ScrollX(), 170);  // 220 * 340 \ 440
    EXPECT_EQ(canvas->ScrollY(), 166);
    EXPECT_EQ(canvas->ViewW(), 300);
}

TEST(CanvasLayout, ZoomedScrolledViewDrawsOnlyTheVisiblePartPlusEdges) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetZoom(3);
    ShowImage(*canvas, 640, 480);
    ASSERT_EQ(canvas->ViewW(), 200);
    canvas->SetScrollPos(10, 20);
    const ucCanvas::PaintRects r = canvas->ImageRects();
    EXPECT_EQ(r.DstX, -1);
    EXPECT_EQ(r.SrcX, 3);
    EXPECT_EQ(r.SrcW, 68);
    EXPECT_EQ(r.DstW, 204);
    EXPECT_EQ(r.DstY, -2);       // 0 - 20 mod 3
    EXPECT_EQ(r.SrcY, 6);        // 20 \ 3
    EXPECT_EQ(r.SrcH, 51);       // 148 \ 3 + 2
    EXPECT_EQ(r.DstH, 3 * 49 + 6);
}

TEST(CanvasLayout, FitModeShrinksKeepingAspectAndMapsTheMouse) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetFitMode(true);
    ShowImage(*canvas, 400, 100);
    EXPECT_EQ(canvas->ViewX(), 0);
    EXPECT_EQ(canvas->ViewY(), 49);
    EXPECT_EQ(canvas->ViewW(), 200);
    EXPECT_EQ(canvas->ViewH(), 50);
    EXPECT_EQ(canvas->ScreenToImageX(100), 200);
    EXPECT_EQ(canvas->ScreenToImageY(60), 22);

    int32_t x = -1, y = -1;
    QObject::connect(canvas.get(), &ucCanvas::MouseDown, [&](int16_t, int16_t, int32_t ix, int32_t iy) {
        x = ix;
        y = iy;
    });
    SendMouse(*canvas, QEvent::MouseButtonPress, {100, 60}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 22);
}

TEST(CanvasLayout, FitModeNeverEnlarges) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetFitMode(true);
    ShowImage(*canvas, 50, 20);
    EXPECT_EQ(canvas->ViewW(), 50);
    EXPECT_EQ(canvas->ViewH(), 20);
    EXPECT_EQ(canvas->ViewX(), 75);
    EXPECT_EQ(canvas->ViewY(), 64);
}

TEST(CanvasLayout, ZoomBelowOneReadsBackAsOne) {
    ucCanvas canvas;
    EXPECT_EQ(canvas.Zoom(), 1);
    canvas.SetZoom(0);
    EXPECT_EQ(canvas.Zoom(), 1);
    canvas.SetZoom(-4);
    EXPECT_EQ(canvas.Zoom(), 1);
    canvas.SetZoom(5);
    EXPECT_EQ(canvas.Zoom(), 5);
}

TEST(CanvasLayout, ZoomedImageCoordinatesFollowTheScroll) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetZoom(2);
    ShowImage(*canvas, 640, 480);
    canvas->SetScrollPos(11, 0);
    EXPECT_EQ(canvas->ScreenToImageX(0), 5);   // (0 + 11) / 2
    EXPECT_EQ(canvas->ScreenToImageX(3), 7);
}

TEST(CanvasLayout, EmptiedImageThenNewImageStartsAtZeroAfterAScrollableOne) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    canvas->DIB->Destroy();
    canvas->Resize();
    EXPECT_EQ(canvas->ViewW(), 0);
    EXPECT_EQ(canvas->ViewH(), 0);
    EXPECT_EQ(canvas->ScrollMaxX(), 0);
    EXPECT_EQ(canvas->ScreenToImageX(50), 0);  // no image: coordinates 0

    ShowImage(*canvas, 640, 480);
    EXPECT_EQ(canvas->ScrollX(), 0);  // the remembered range was not 0
    EXPECT_EQ(canvas->ScrollY(), 0);
}

TEST(CanvasLayout, NewImageAfterAnUnscrollableOneStartsCentred) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 100, 80);
    ShowImage(*canvas, 640, 480);
    EXPECT_EQ(canvas->ScrollX(), 220);
    EXPECT_EQ(canvas->ScrollY(), 166);
}

TEST(CanvasLayout, NullImageLaysOutAndReportsZero) {
    auto canvas = MakeCanvas(200, 148);
    canvas->DIB = nullptr;
    canvas->Resize();
    canvas->Repaint();
    EXPECT_EQ(canvas->ViewW(), 0);
    EXPECT_EQ(canvas->ScreenToImageY(70), 0);
    const QImage shot = canvas->grab().toImage();
    EXPECT_EQ(shot.pixelColor(100, 70), ucCanvas::BackgroundColor());
}

TEST(CanvasLayout, SetScrollPosIsTakenAsGiven) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    canvas->SetScrollPos(1000, -50);
    int32_t x = 0, y = 0;
    canvas->GetScrollPos(x, y);
    EXPECT_EQ(x, 1000);
    EXPECT_EQ(y, -50);
    EXPECT_EQ(canvas->LastScrollX(), 220.0f);  // untouched
}

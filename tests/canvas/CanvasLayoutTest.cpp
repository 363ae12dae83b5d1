// What the canvas shows where: centring, scroll ranges, carry-over on resize,
// fit mode, zoom, the image coordinates under the mouse, and the painted pixels.

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Probe {
    QPoint at;
    QColor colour;
};

// Paints the canvas and checks the colours at the probes.
void ExpectPainted(ucCanvas& canvas, const std::vector<Probe>& probes) {
    canvas.Repaint();
    const QImage shot = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (const Probe& probe : probes)
        EXPECT_EQ(shot.pixelColor(probe.at), probe.colour) << probe.at.x() << "," << probe.at.y();
}

QColor Grey() { return ucCanvas::BackgroundColor(); }
QColor C(int x, int y) { return CoordinateColour(x, y); }

}  // namespace

// On a 200 x 148 canvas at zoom 1, as laid out for the first image.
TEST(CanvasLayout, FirstLayoutCentresScrollsOrFits) {
    struct Case {
        bool fit;
        int32_t width, height;
        std::array<int32_t, 8> layout;  // as Layout() lists it
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {false,
         100,
         80,
         {50, 34, 100, 80, 0, 0, 0, 0},
         {{{50, 34}, C(0, 0)},
          {{149, 113}, C(99, 79)},
          {{77, 40}, C(27, 6)},
          {{49, 34}, Grey()},
          {{150, 34}, Grey()},
          {{50, 33}, Grey()},
          {{0, 0}, Grey()}}},
        {false,
         640,
         480,
         {0, 0, 200, 148, 440, 332, 220, 166},  // the view starts centred
         {{{0, 0}, C(220, 166)}, {{199, 147}, C(419, 313)}}},
        {true,
         400,
         100,
         {0, 49, 200, 50, 0, 0, 0, 0},  // shrunk by dropping pixels
         {{{0, 49}, C(1, 1)}, {{199, 98}, C(399, 99)}, {{100, 48}, Grey()}, {{100, 99}, Grey()}}},
        {true, 50, 20, {75, 64, 50, 20, 0, 0, 0, 0}, {{{75, 64}, C(0, 0)}}},  // never enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + (c.fit ? " wide, fit" : " wide"));
        auto canvas = MakeCanvas();
        canvas->SetFitMode(c.fit);
        ShowImage(*canvas, c.width, c.height);
        EXPECT_EQ(Layout(*canvas), c.layout);
        ExpectPainted(*canvas, c.probes);
    }
}

TEST(CanvasLayout, AResizeKeepsTheRelativeScrollPosition) {
    auto canvas = MakeCanvas();
    ShowImage(*canvas, 640, 480);
    int resized = 0;
    QObject::connect(canvas.get(), &ucCanvas::Resized, [&] { ++resized; });
    canvas->resize(300, 148);  // lays out by itself; ScrollX 220 * 340 \ 440
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(Layout(*canvas), (std::array<int32_t, 8>{0, 0, 300, 148, 340, 332, 170, 166}));
    Drag(*canvas, {100, 70}, {130, 70});  // off the centre: 140
    canvas->resize(200, 148);             // 140 * 440 \ 340
    EXPECT_EQ(Layout(*canvas), (std::array<int32_t, 8>{0, 0, 200, 148, 440, 332, 181, 166}));
}

TEST(CanvasLayout, ANewImageStartsAtZeroAfterAScrollableOneCentredOtherwise) {
    auto canvas = MakeCanvas();
    ShowImage(*canvas, 640, 480);
    canvas->DIB->Destroy();
    canvas->Resize();
    EXPECT_EQ(Layout(*canvas), (std::array<int32_t, 8>{0, 0, 0, 0, 0, 0, 220, 166}));
    EXPECT_EQ(canvas->ScreenToImageX(50), 0);  // no image: coordinates 0
    ExpectPainted(
        *canvas, {{{0, 0}, Grey()}, {{60, 40}, Grey()}, {{100, 74}, Grey()}, {{199, 147}, Grey()}});
    ShowImage(*canvas, 640, 480);
    // The remembered range was not 0.
    EXPECT_EQ(std::pair(canvas->ScrollX(), canvas->ScrollY()), std::pair(0, 0));

    canvas = MakeCanvas();
    ShowImage(*canvas, 100, 80);
    ShowImage(*canvas, 640, 480);
    EXPECT_EQ(std::pair(canvas->ScrollX(), canvas->ScrollY()), std::pair(220, 166));

    canvas->DIB = nullptr;  // no image at all: the same as an empty one
    canvas->Resize();
    EXPECT_EQ(canvas->ViewW(), 0);
    EXPECT_EQ(canvas->ScreenToImageY(70), 0);
    ExpectPainted(*canvas, {{{100, 70}, Grey()}});
}

TEST(CanvasLayout, ZoomBelowOneReadsBackAsOne) {
    ucCanvas canvas;
    EXPECT_EQ(canvas.Zoom(), 1);
    for (const auto& [set, read] : {std::pair{0, 1}, {-4, 1}, {5, 5}}) {
        canvas.SetZoom(set);
        EXPECT_EQ(canvas.Zoom(), read) << set;
    }
}

TEST(CanvasLayout, ZoomedScrolledViewDrawsOnlyTheVisiblePartPlusEdges) {
    auto canvas = MakeCanvas();
    canvas->SetZoom(3);
    ShowImage(*canvas, 640, 480);
    canvas->SetScrollPos(10, 20);
    const ucCanvas::PaintRects r = canvas->ImageRects();
    EXPECT_EQ((std::array{r.DstX, r.SrcX, r.SrcW, r.DstW}), (std::array{-1, 3, 68, 204}));
    // 0 - 20 mod 3, 20 \ 3, 148 \ 3 + 2, 3 * (148 \ 3) + 2 * 3
    EXPECT_EQ((std::array{r.DstY, r.SrcY, r.SrcH, r.DstH}), (std::array{-2, 6, 51, 153}));
    // Canvas column 0 shows the last two thirds of image column 3, then 4 follows.
    ExpectPainted(*canvas, {{{0, 0}, C(3, 6)},
                            {{1, 0}, C(3, 6)},
                            {{2, 0}, C(4, 6)},
                            {{4, 0}, C(4, 6)},
                            {{5, 1}, C(5, 7)},
                            {{199, 147}, C(69, 55)}});
    EXPECT_EQ(canvas->ScreenToImageX(0), 3);  // (x + 10) \ 3
    EXPECT_EQ(canvas->ScreenToImageX(5), 5);
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
    ExpectPainted(*canvas, {{{18, 18}, QColor(0, 0, 200)},
                            {{21, 21}, QColor(150, 0, 0)},
                            {{19, 18}, QColor(0, 0, 0)}});
}

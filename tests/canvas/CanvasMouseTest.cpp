// Panning with the mouse, the hand cursors, and the events raised to the host.

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorder {
    int scrolls = 0;
    std::vector<char> events;  // 'd' down, 'm' move, 'u' up

    explicit Recorder(ucCanvas& canvas) {
        QObject::connect(&canvas, &ucCanvas::Scroll, [this] { ++scrolls; });
        QObject::connect(&canvas, &ucCanvas::MouseDown, [this](int16_t, int16_t, int32_t, int32_t) { events.push_back('d'); });
        QObject::connect(&canvas, &ucCanvas::MouseMove, [this](int16_t, int16_t, int32_t, int32_t) { events.push_back('m'); });
        QObject::connect(&canvas, &ucCanvas::MouseUp, [this](int16_t, int16_t, int32_t, int32_t) { events.push_back('u'); });
    }
};

}  // namespace

TEST(CanvasPan, DraggingRightMovesTheViewLeftAndStopsAtZero) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    Recorder recorder(*canvas);

    Drag(*canvas, {100, 70}, {130, 70});
    EXPECT_EQ(canvas->ScrollX(), 190);
    EXPECT_EQ(canvas->ScrollY(), 166);
    EXPECT_EQ(recorder.scrolls, 1);

    Drag(*canvas, {0, 70}, {199, 70});  // 199 to the right: clamped
    EXPECT_EQ(canvas->ScrollX(), 0);
    EXPECT_EQ(recorder.scrolls, 2);

    Drag(*canvas, {10, 70}, {150, 70});  // already at the edge: nothing moves
    EXPECT_EQ(canvas->ScrollX(), 0);
    EXPECT_EQ(recorder.scrolls, 2);
}

TEST(CanvasPan, DragPastTheRangeStopsAtTheMaximum) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    SendMouse(*canvas, QEvent::MouseButtonPress, {190, 140}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(*canvas, QEvent::MouseMove, {-400, -400}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(canvas->ScrollX(), 440);
    EXPECT_EQ(canvas->ScrollY(), 332);
    SendMouse(*canvas, QEvent::MouseMove, {-300, -300}, Qt::NoButton, Qt::LeftButton);  // back 100 from there
    EXPECT_EQ(canvas->ScrollX(), 340);
    EXPECT_EQ(canvas->ScrollY(), 232);
}

TEST(CanvasPan, HandCursorsOnlyWhenThereIsSomethingToPan) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    EXPECT_FALSE(canvas->UserIcon().has_value());  // a layout drops any hand
    SendMouse(*canvas, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(canvas->UserIcon().has_value());
    EXPECT_EQ(canvas->UserIcon()->shape(), Qt::ClosedHandCursor);
    SendMouse(*canvas, QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(canvas->UserIcon().has_value());
    EXPECT_EQ(canvas->UserIcon()->shape(), Qt::OpenHandCursor);

    auto small = MakeCanvas(200, 148);
    ShowImage(*small, 100, 80);
    Drag(*small, {80, 60}, {120, 60});
    EXPECT_FALSE(small->UserIcon().has_value());
    EXPECT_EQ(small->ScrollX(), 0);
}

TEST(CanvasPan, RightButtonDoesNotPan) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    Recorder recorder(*canvas);
    Drag(*canvas, {100, 70}, {150, 90}, Qt::RightButton);
    EXPECT_EQ(canvas->ScrollX(), 220);
    EXPECT_EQ(canvas->ScrollY(), 166);
    EXPECT_EQ(recorder.scrolls, 0);
    EXPECT_FALSE(canvas->Dragging());
}

TEST(CanvasPan, PointerModeDoesNotPanButRaisesTheThreeEvents) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetWorkMode(1);
    ShowImage(*canvas, 640, 480);
    Recorder recorder(*canvas);
    Drag(*canvas, {100, 70}, {150, 90});
    EXPECT_EQ(canvas->ScrollX(), 220);
    EXPECT_EQ(recorder.scrolls, 0);
    EXPECT_EQ(recorder.events, (std::vector<char>{'d', 'm', 'u'}));
    EXPECT_FALSE(canvas->UserIcon().has_value());  // no hands in pointer mode
}

TEST(CanvasPan, BeyondRangeScrollPositionIsClampedByTheNextPanStep) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);
    canvas->SetScrollPos(1000, -50);
    SendMouse(*canvas, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(*canvas, QEvent::MouseMove, {50, 50}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(canvas->ScrollX(), 440);
    EXPECT_EQ(canvas->ScrollY(), 0);
}

TEST(CanvasPan, MouseEventsCarryImageCoordinatesAndButtons) {
    auto canvas = MakeCanvas(200, 148);
    ShowImage(*canvas, 640, 480);  // scrolled to 220, 166
    int16_t button = 0;
    int32_t x = 0, y = 0;
    QObject::connect(canvas.get(), &ucCanvas::MouseUp, [&](int16_t b, int16_t, int32_t ix, int32_t iy) {
        button = b;
        x = ix;
        y = iy;
    });
    SendMouse(*canvas, QEvent::MouseButtonPress, {10, 20}, Qt::RightButton, Qt::RightButton);
    SendMouse(*canvas, QEvent::MouseButtonRelease, {10, 20}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(button, 2);
    EXPECT_EQ(x, 230);
    EXPECT_EQ(y, 186);
}

TEST(CanvasPointer, UserIconShowsOnlyInPointerMode) {
    auto canvas = MakeCanvas(200, 148);
    canvas->SetUserIcon(QCursor(Qt::CrossCursor));
    EXPECT_FALSE(canvas->UserIcon().has_value());
    canvas->SetWorkMode(1);
    ASSERT_TRUE(canvas->UserIcon().has_value());
    EXPECT_EQ(canvas->UserIcon()->shape(), Qt::CrossCursor);
    ShowImage(*canvas, 640, 480);  // layouts keep the user icon in pointer mode
    ASSERT_TRUE(canvas->UserIcon().has_value());
    EXPECT_EQ(canvas->UserIcon()->shape(), Qt::CrossCursor);
}


// Panning with the mouse, the hand cursors, and the events raised to the host.

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What a canvas raises: "d", "m", "u" with the button and image coordinates, "s" for Scroll.
struct Recorder {
    std::string events;

    explicit Recorder(ucCanvas& canvas) {
        const auto record = [this](char kind) {
            return [this, kind](int16_t button, int16_t, int32_t x, int32_t y) {
                events += kind + std::to_string(button) + "@" + std::to_string(x) + ",";
                events += std::to_string(y) + " ";
            };
        };
        QObject::connect(&canvas, &ucCanvas::MouseDown, record('d'));
        QObject::connect(&canvas, &ucCanvas::MouseMove, record('m'));
        QObject::connect(&canvas, &ucCanvas::MouseUp, record('u'));
        QObject::connect(&canvas, &ucCanvas::Scroll, [this] { events += "s "; });
    }
    size_t Scrolls() const { return std::count(events.begin(), events.end(), 's'); }
};

// The hand or user pointer the canvas shows, or the arrow for none.
Qt::CursorShape Pointer(const ucCanvas& canvas) {
    return canvas.UserIcon().value_or(QCursor(Qt::ArrowCursor)).shape();
}

}  // namespace

// A 640 x 480 image on a 200 x 148 canvas starts scrolled to 220, 166 of 440, 332.
class CanvasPan : public ::testing::Test {
protected:
    std::unique_ptr<ucCanvas> canvas = MakeCanvas();
    void SetUp() override { ShowImage(*canvas, 640, 480); }
    std::pair<int32_t, int32_t> Scroll() const { return {canvas->ScrollX(), canvas->ScrollY()}; }
};

TEST_F(CanvasPan, TheImageFollowsTheMouseWithinItsRange) {
    Recorder recorder(*canvas);
    Drag(*canvas, {100, 70}, {130, 70});
    EXPECT_EQ(Scroll(), std::pair(190, 166));
    EXPECT_EQ(recorder.Scrolls(), 1u);
    Drag(*canvas, {0, 70}, {199, 70});  // 199 to the right: clamped
    EXPECT_EQ(Scroll(), std::pair(0, 166));
    Drag(*canvas, {10, 70}, {150, 70});  // already at the edge: nothing moves, no Scroll
    EXPECT_EQ(Scroll(), std::pair(0, 166));
    EXPECT_EQ(recorder.Scrolls(), 2u);

    SendMouse(*canvas, QEvent::MouseButtonPress, {190, 140});
    SendMouse(*canvas, QEvent::MouseMove, {-400, -400}, Qt::NoButton);
    EXPECT_EQ(Scroll(), std::pair(440, 332));  // past the range: the maximum
    SendMouse(*canvas, QEvent::MouseMove, {-300, -300}, Qt::NoButton);
    EXPECT_EQ(Scroll(), std::pair(340, 232));  // back 100 from there
}

TEST_F(CanvasPan, AScrollPositionBeyondTheRangeIsTakenAsGivenUntilThePanStepClampsIt) {
    canvas->SetScrollPos(1000, -50);
    EXPECT_EQ(Scroll(), std::pair(1000, -50));
    EXPECT_EQ(canvas->LastScrollX(), 220.0f);  // untouched
    SendMouse(*canvas, QEvent::MouseButtonPress, {50, 50});
    SendMouse(*canvas, QEvent::MouseMove, {50, 50}, Qt::NoButton);
    EXPECT_EQ(Scroll(), std::pair(440, 0));
}

TEST_F(CanvasPan, RightButtonAndPointerModeDoNotPanButEventsCarryImageCoordinates) {
    Recorder recorder(*canvas);
    Drag(*canvas, {10, 20}, {150, 90}, Qt::RightButton);
    EXPECT_EQ(Scroll(), std::pair(220, 166));
    EXPECT_FALSE(canvas->Dragging());
    EXPECT_EQ(recorder.events, "d2@230,186 m2@370,256 u2@370,256 ");

    auto pointer = MakeCanvas();
    pointer->SetWorkMode(1);
    ShowImage(*pointer, 640, 480);
    Recorder pointerRecorder(*pointer);
    Drag(*pointer, {100, 70}, {150, 90});
    EXPECT_EQ(pointer->ScrollX(), 220);
    EXPECT_EQ(pointerRecorder.events, "d1@320,236 m1@370,256 u1@370,256 ");
    EXPECT_EQ(Pointer(*pointer), Qt::ArrowCursor);  // no hands in pointer mode

    auto fit = MakeCanvas();
    fit->SetFitMode(true);
    ShowImage(*fit, 400, 100);  // at 200 x 50 from (0, 49)
    Recorder fitRecorder(*fit);
    SendMouse(*fit, QEvent::MouseButtonPress, {100, 60});
    EXPECT_EQ(fitRecorder.events, "d1@200,22 ");
}

TEST_F(CanvasPan, HandCursorsOnlyWhenThereIsSomethingToPan) {
    EXPECT_FALSE(canvas->UserIcon().has_value());  // a layout drops any hand
    SendMouse(*canvas, QEvent::MouseButtonPress, {50, 50});
    EXPECT_EQ(Pointer(*canvas), Qt::ClosedHandCursor);
    SendMouse(*canvas, QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(Pointer(*canvas), Qt::OpenHandCursor);
    canvas->Resize();
    EXPECT_FALSE(canvas->UserIcon().has_value());  // the next layout drops the hand again

    auto small = MakeCanvas();
    ShowImage(*small, 100, 80);
    Drag(*small, {80, 60}, {120, 60});
    EXPECT_FALSE(small->UserIcon().has_value());
    EXPECT_EQ(small->ScrollX(), 0);

    auto pointer = MakeCanvas();  // the user icon shows only in pointer mode, also after layouts
    pointer->SetUserIcon(QCursor(Qt::CrossCursor));
    EXPECT_FALSE(pointer->UserIcon().has_value());
    pointer->SetWorkMode(1);
    EXPECT_EQ(Pointer(*pointer), Qt::CrossCursor);
    ShowImage(*pointer, 640, 480);
    EXPECT_EQ(Pointer(*pointer), Qt::CrossCursor);
}

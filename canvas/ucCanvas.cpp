#include "ucCanvas.h"

#include "Arithmetic.h"
#include "cPainterDC.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {

int16_t ButtonCode(Qt::MouseButtons buttons) {
    int16_t code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

int16_t ShiftCode(Qt::KeyboardModifiers modifiers) {
    int16_t code = 0;
    if (modifiers & Qt::ShiftModifier) code |= 1;
    if (modifiers & Qt::ControlModifier) code |= 2;
    if (modifiers & Qt::AltModifier) code |= 4;
    return code;
}

// One axis of the zoom-mode layout: how much of the zoomed image the canvas
// shows, how far it can scroll, and where the shown part starts.
void LayoutAxis(int32_t imageSize, int32_t zoom, double scale, int32_t& view, int32_t& scrollMax,
                int32_t& viewPos) {
    const int32_t zoomed = CheckedMul(imageSize, zoom);
    if (scale >= zoomed) {
        scrollMax = 0;
        view = zoomed;
    } else {
        scrollMax = RoundHalfEven(zoomed - scale);
        view = RoundHalfEven(scale);
    }
    viewPos = RoundHalfEven(scale - view) / 2;
}

// Keeps the view at the same relative place when the canvas or the image
// changes size; the first scrollable layout starts centred.
void CarryScroll(int32_t& scroll, int32_t scrollMax, float& lastScroll, float& lastMax) {
    if (lastMax != 0)
        scroll =
            RoundHalfEven(static_cast<double>(lastScroll) * scrollMax) / RoundHalfEven(lastMax);
    else
        scroll = scrollMax / 2;
    lastScroll = static_cast<float>(scroll);
    lastMax = static_cast<float>(scrollMax);
}

// One axis of the paint rectangles.
void PaintAxis(bool whole, int32_t viewPos, int32_t view, int32_t scroll, int32_t zoom,
               int32_t imageSize, int32_t& dst, int32_t& dstSize, int32_t& src, int32_t& srcSize) {
    if (whole) {
        dst = viewPos;
        dstSize = view;
        src = 0;
        srcSize = imageSize;
    } else {
        // Two extra source pixels cover the partly visible pixels at both
        // edges; the window clips what runs past the canvas.
        dst = CheckedSub(viewPos, scroll % zoom);
        src = scroll / zoom;
        srcSize = CheckedAdd(view / zoom, 2);
        dstSize = CheckedAdd(CheckedMul(zoom, view / zoom), CheckedMul(2, zoom));
    }
}

}  // namespace

ucCanvas::ucCanvas(QWidget* parent) : QWidget(parent), DIB(std::make_shared<cDIB>()) {
    setMouseTracking(true);                 // MouseMove is raised without a button held, too
    setAttribute(Qt::WA_OpaquePaintEvent);  // the image area is never erased, so no flicker
}

ucCanvas::~ucCanvas() = default;

QColor ucCanvas::BackgroundColor() { return QColor(0xAB, 0xAB, 0xAB); }

void ucCanvas::Repaint() { PaintDIB(); }

void ucCanvas::Resize() { UpdateLayout(); }

void ucCanvas::GetScrollPos(int32_t& x, int32_t& y) const {
    x = ScrollX_;
    y = ScrollY_;
}

void ucCanvas::SetScrollPos(int32_t x, int32_t y) {
    ScrollX_ = x;
    ScrollY_ = y;
}

bool ucCanvas::Enabled() const { return isEnabled(); }

void ucCanvas::SetEnabled(bool New_Enabled) { setEnabled(New_Enabled); }

// The pointer image in use is kept here rather than read back from Qt, which
// goes on reporting a cursor as set on a top-level widget after unsetCursor().
std::optional<QCursor> ucCanvas::UserIcon() const { return MouseIcon_; }

void ucCanvas::SetMouseIcon(std::optional<QCursor> icon) {
    MouseIcon_ = std::move(icon);
    if (MouseIcon_)
        setCursor(*MouseIcon_);
    else
        unsetCursor();
}

void ucCanvas::SetUserIcon(std::optional<QCursor> New_MouseIcon) {
    UserIcon_ = std::move(New_MouseIcon);
    UpdateMouseIcon();
}

void ucCanvas::SetWorkMode(int32_t New_WorkMode) {
    WorkMode_ = New_WorkMode;
    UpdateMouseIcon();
}

// One axis of the mapping from canvas to image coordinates. The result may lie
// outside the image when the mouse is over the background.
int32_t ucCanvas::ScreenToImage(int32_t position, int32_t view, int32_t viewSize, int32_t imageSize,
                                int32_t scroll) const {
    if (!HasImage()) return 0;
    if (FitMode_) {
        if (viewSize == 0) return 0;
        return static_cast<int32_t>(
            std::floor((position - view) / (static_cast<double>(viewSize) / imageSize)));
    }
    return static_cast<int32_t>(
        std::floor((static_cast<double>(position) + scroll - view) / Zoom_));
}

int32_t ucCanvas::ScreenToImageX(int32_t x) const {
    return ScreenToImage(x, ViewX_, ViewW_, HasImage() ? DIB->Width() : 0, ScrollX_);
}

int32_t ucCanvas::ScreenToImageY(int32_t y) const {
    return ScreenToImage(y, ViewY_, ViewH_, HasImage() ? DIB->Height() : 0, ScrollY_);
}

void ucCanvas::UpdateLayout() {
    const double scaleWidth = width();
    const double scaleHeight = height();
    if (!HasImage()) {
        // ViewX/ViewY, the scroll position and the remembered ranges stay:
        // the next image starts from them.
        ViewW_ = ViewH_ = 0;
        ScrollMaxX_ = ScrollMaxY_ = 0;
        LastScrollX_ = LastScrollY_ = 0;
    } else {
        if (FitMode_) {
            DIB->GetBestFitInfo(RoundHalfEven(scaleWidth), RoundHalfEven(scaleHeight), ViewX_,
                                ViewY_, ViewW_, ViewH_, false);
        } else {
            LayoutAxis(DIB->Width(), Zoom_, scaleWidth, ViewW_, ScrollMaxX_, ViewX_);
            LayoutAxis(DIB->Height(), Zoom_, scaleHeight, ViewH_, ScrollMaxY_, ViewY_);
        }
        CarryScroll(ScrollX_, ScrollMaxX_, LastScrollX_, LastMaxX_);
        CarryScroll(ScrollY_, ScrollMaxY_, LastScrollY_, LastMaxY_);
    }
    UpdateMouseIcon();
}

ucCanvas::PaintRects ucCanvas::ImageRects() const {
    PaintRects r;
    if (!HasImage()) return r;
    PaintAxis(FitMode_ || ScrollMaxX_ == 0, ViewX_, ViewW_, ScrollX_, Zoom_, DIB->Width(), r.DstX,
              r.DstW, r.SrcX, r.SrcW);
    PaintAxis(FitMode_ || ScrollMaxY_ == 0, ViewY_, ViewH_, ScrollY_, Zoom_, DIB->Height(), r.DstY,
              r.DstH, r.SrcY, r.SrcH);
    return r;
}

void ucCanvas::PaintDIB() {
    if (!isVisible()) return;
    repaint();
}

void ucCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    try {
        DrawDIB(painter);
    } catch (const std::exception&) {
        // A layout that overflowed cannot be drawn; show the background only.
        painter.fillRect(rect(), BackgroundColor());
    }
}

void ucCanvas::DrawDIB(QPainter& painter) {
    if (!HasImage()) {
        EraseBackground(painter);
        return;
    }
    const PaintRects r = ImageRects();
    EraseBackground(painter);
    cPainterDC dc(painter, size());
    DIB->Stretch(&dc, r.DstX, r.DstY, r.DstW, r.DstH, r.SrcX, r.SrcY, r.SrcW, r.SrcH, SRCCOPY);
}

void ucCanvas::EraseBackground(QPainter& painter) {
    const QRegion canvas(0, 0, width(), height());
    const QRegion background = canvas.subtracted(QRegion(ViewX_, ViewY_, ViewW_, ViewH_));
    for (const QRect& part : background) painter.fillRect(part, BackgroundColor());
}

void ucCanvas::UpdateMouseIcon() { SetMouseIcon(WorkMode_ != 0 ? UserIcon_ : std::nullopt); }

bool ucCanvas::CanPan() const {
    return WorkMode_ == 0 && !FitMode_ && (ScrollMaxX_ != 0 || ScrollMaxY_ != 0);
}

void ucCanvas::resizeEvent(QResizeEvent*) {
    try {
        UpdateLayout();
    } catch (const std::exception&) {
        // Nobody to tell: the window system resized us. The paint shows the background.
    }
    PaintDIB();
    emit Resized();
}

void ucCanvas::mousePressEvent(QMouseEvent* event) {
    const int16_t button = ButtonCode(event->button());
    const QPointF pos = event->position();
    Dragging_ = button == 1;
    LastMouseX_ = RoundHalfEven(static_cast<float>(pos.x()));
    LastMouseY_ = RoundHalfEven(static_cast<float>(pos.y()));
    if (Dragging_ && CanPan()) SetMouseIcon(QCursor(Qt::ClosedHandCursor));  // CURSOR_HANDCATCH
    emit MouseDown(button, ShiftCode(event->modifiers()), ScreenToImageX(LastMouseX_),
                   ScreenToImageY(LastMouseY_));
}

void ucCanvas::mouseMoveEvent(QMouseEvent* event) {
    const double x = static_cast<float>(event->position().x());
    const double y = static_cast<float>(event->position().y());
    if (Dragging_ && WorkMode_ == 0) {
        // The image follows the mouse.
        ScrollX_ = std::clamp(RoundHalfEven(LastMouseX_ - x + ScrollX_), 0, ScrollMaxX_);
        ScrollY_ = std::clamp(RoundHalfEven(LastMouseY_ - y + ScrollY_), 0, ScrollMaxY_);
        LastMouseX_ = RoundHalfEven(x);
        LastMouseY_ = RoundHalfEven(y);
        if (ScrollX_ != LastScrollX_ || ScrollY_ != LastScrollY_) {
            PaintDIB();
            emit Scroll();
        }
        LastScrollX_ = static_cast<float>(ScrollX_);
        LastScrollY_ = static_cast<float>(ScrollY_);
    }
    emit MouseMove(ButtonCode(event->buttons()), ShiftCode(event->modifiers()),
                   ScreenToImageX(RoundHalfEven(x)), ScreenToImageY(RoundHalfEven(y)));
}

void ucCanvas::mouseReleaseEvent(QMouseEvent* event) {
    Dragging_ = false;
    if (CanPan()) SetMouseIcon(QCursor(Qt::OpenHandCursor));  // CURSOR_HANDOVER
    const QPointF pos = event->position();
    emit MouseUp(ButtonCode(event->button()), ShiftCode(event->modifiers()),
                 ScreenToImageX(RoundHalfEven(static_cast<float>(pos.x()))),
                 ScreenToImageY(RoundHalfEven(static_cast<float>(pos.y()))));
}

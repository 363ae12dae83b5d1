#pragma once
// ucCanvas: a control that shows one cDIB and lets the user look around in it.
//
// Zoom mode (the default) draws every image pixel as a Zoom x Zoom block; an
// image smaller than the canvas is centred, a larger one is shown in part and
// panned by dragging with the left button. Fit mode shrinks the image, keeping
// its aspect ratio, until it fits, and centres it; it never enlarges. The rest
// of the canvas shows the application-workspace grey.
//
// The host works on DIB directly and then calls Resize (layout) and Repaint.
// Mouse events carry the image column and row under the pointer, not canvas
// coordinates.

#include "cDIB.h"

#include <QCursor>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QPainter;

class ucCanvas : public QWidget {
    Q_OBJECT

public:
    explicit ucCanvas(QWidget* parent = nullptr);
    ~ucCanvas() override;

    // The image shown; may be replaced or set to null (then only the
    // background is painted and mouse events carry image coordinates 0).
    std::shared_ptr<cDIB> DIB;

    void Repaint();
    // Lays out only; hosts call Repaint afterwards.
    void Resize();
    void GetScrollPos(int32_t& x, int32_t& y) const;
    // Taken as given: no clamping, no repaint; the next pan step clamps.
    void SetScrollPos(int32_t x, int32_t y);

    // The window sets only WorkMode; the other properties have no caller in the program yet.
    bool Enabled() const;
    void SetEnabled(bool New_Enabled);
    bool FitMode() const { return FitMode_; }
    void SetFitMode(bool New_FitMode) { FitMode_ = New_FitMode; }  // effective at the next Resize
    // The pointer image the canvas currently uses (the user icon, a hand, or none).
    std::optional<QCursor> UserIcon() const;
    void SetUserIcon(std::optional<QCursor> New_MouseIcon);
    // 0: pan mode (dragging scrolls); anything else: pointer mode (UserIcon shown).
    int32_t WorkMode() const { return WorkMode_; }
    void SetWorkMode(int32_t New_WorkMode);
    int32_t Zoom() const { return Zoom_; }
    // Effective at the next Resize; below 1 counts as 1.
    void SetZoom(int32_t New_Zoom) { Zoom_ = New_Zoom < 1 ? 1 : New_Zoom; }

    // Whether DIB holds an image.
    bool HasImage() const { return DIB && DIB->hDIB() != 0; }

    // Image column / row under canvas position x / y; may lie outside the image.
    int32_t ScreenToImageX(int32_t x) const;
    int32_t ScreenToImageY(int32_t y) const;

    // Where a paint puts the image: the destination rectangle on the canvas
    // and the source rectangle of the image (only its visible part).
    struct PaintRects {
        int32_t DstX = 0, DstY = 0, DstW = 0, DstH = 0;
        int32_t SrcX = 0, SrcY = 0, SrcW = 0, SrcH = 0;
    };
    PaintRects ImageRects() const;

    // The layout state, read only.
    int32_t ViewX() const { return ViewX_; }
    int32_t ViewY() const { return ViewY_; }
    int32_t ViewW() const { return ViewW_; }
    int32_t ViewH() const { return ViewH_; }
    int32_t ScrollX() const { return ScrollX_; }
    int32_t ScrollY() const { return ScrollY_; }
    int32_t ScrollMaxX() const { return ScrollMaxX_; }
    int32_t ScrollMaxY() const { return ScrollMaxY_; }
    float LastScrollX() const { return LastScrollX_; }
    float LastScrollY() const { return LastScrollY_; }
    float LastMaxX() const { return LastMaxX_; }
    float LastMaxY() const { return LastMaxY_; }
    bool Dragging() const { return Dragging_; }

    // The application-workspace colour behind the image.
    static QColor BackgroundColor();

signals:
    // The window connects none of these yet.
    // Button and Shift as the window system reports them: 1 left, 2 right,
    // 4 middle; 1 Shift, 2 Ctrl, 4 Alt.
    void MouseDown(int16_t Button, int16_t Shift, int32_t x, int32_t y);
    void MouseMove(int16_t Button, int16_t Shift, int32_t x, int32_t y);
    void MouseUp(int16_t Button, int16_t Shift, int32_t x, int32_t y);
    void Scroll();
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateLayout();
    void PaintDIB();
    void DrawDIB(QPainter& painter);
    void EraseBackground(QPainter& painter);
    int32_t ScreenToImage(int32_t position, int32_t view, int32_t viewSize, int32_t imageSize,
                          int32_t scroll) const;
    void UpdateMouseIcon();
    void SetMouseIcon(std::optional<QCursor> icon);
    bool CanPan() const;

    int32_t Zoom_ = 1;
    bool FitMode_ = false;
    int32_t WorkMode_ = 0;
    std::optional<QCursor> UserIcon_;
    std::optional<QCursor> MouseIcon_;  // the pointer image in use: UserIcon_, a hand, or none

    int32_t ViewW_ = 0, ViewH_ = 0;
    int32_t ViewX_ = 0, ViewY_ = 0;
    int32_t ScrollX_ = 0, ScrollMaxX_ = 0;
    int32_t ScrollY_ = 0, ScrollMaxY_ = 0;
    float LastScrollX_ = 0, LastScrollY_ = 0;
    float LastMaxX_ = 0, LastMaxY_ = 0;
    bool Dragging_ = false;
    int32_t LastMouseX_ = 0, LastMouseY_ = 0;
};

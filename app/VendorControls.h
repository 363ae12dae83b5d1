#pragma once
// The window's own kinds of control: push buttons, frames, a progress bar with
// an inner text, and the skin component.

#include <QElapsedTimer>
#include <QGroupBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <map>
#include <string>

// A push button that also reports mouse moves over it (the window changes its
// pointer there).
class PushButton : public QPushButton {
    Q_OBJECT

public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

signals:
    void MouseMove();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

// A frame whose caption sits across its top border line, so the controls
// inside it keep their designed places clear of the caption.
class Frame : public QGroupBox {
    Q_OBJECT

public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr)
        : QGroupBox(caption, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A progress bar whose inner text is set as it is: no "%p"-style
// placeholders, so any file name shows unchanged.
//
// A run sets a new text for every file while the bar itself changes once in
// many files, and drawing the bar (the style's striped chunk) costs several
// times the text: the bar is kept as drawn and only the text drawn anew. Its
// place in the bar is asked of the style once per text.
//
// Small files come faster than a screen shows them, and drawing each one's
// name cost the window about a tenth of its run: a text is drawn at the
// next pass of the event loop when the last drawing is a frame old, else once
// that frame is over (the last text set by then). Whatever the text, the
// bar's state, text() included, is the one set.
class ProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr);

    static constexpr int kFrameMs = 16;  // a frame at 60 Hz

    QString text() const override { return text_; }
    void SetText(const QString& text);
    // QProgressBar::setValue draws the bar there and then; this one leaves it
    // to the next pass of the event loop, together with a text set meanwhile.
    void SetValue(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What the groove and chunk look like depends on (besides the style's
    // rules, whose change drops the drawing); the text is drawn on top.
    struct BarLook {
        QSize Size;
        qreal PixelRatio = 0;
        int Minimum = 0, Maximum = 0, Value = 0;
        int State = 0;
        Qt::LayoutDirection Direction = Qt::LeftToRight;
        qint64 Palette = 0;
        const QStyle* Style = nullptr;
        bool Inverted = false;
        int Alignment = 0;
        bool TextVisible = false;
        // A label beside the bar rather than across it takes room from the
        // groove, as wide as its text.
        QString Beside;
        bool operator==(const BarLook&) const = default;
    };
    BarLook LookOf(const QStyleOptionProgressBar& option) const;
    void DrawBar(const QStyleOptionProgressBar& option, const BarLook& look);

    QString text_;
    BarLook barLook_;
    QPixmap bar_;  // groove and chunk as the style drew them for barLook_
    // Where the style puts text_ over barLook_'s bar; empty until asked.
    QRect label_;

    QElapsedTimer sinceDrawn_;
    QTimer frameEnd_;  // draws a text set during the frame
};

// The skin component: a skin file is a Qt style sheet, applied to a window
// and everything in it.
class cSkinFramework {
public:
    // Reads the skin file; iniFile names a variant and is not used here.
    void LoadSkin(const std::string& skinFile, const std::string& iniFile);
    // The options are taken and kept as given: a style sheet has none they change.
    int32_t ApplyOptions() const { return applyOptions_; }
    void SetApplyOptions(int32_t options) { applyOptions_ = options; }
    bool Option(int32_t dispatchId) const;
    void SetOption(int32_t dispatchId, bool value) { options_[dispatchId] = value; }
    void ApplyWindow(QWidget& window) const;

    const QString& StyleSheet() const { return styleSheet_; }

private:
    QString styleSheet_;
    int32_t applyOptions_ = 0;
    std::map<int32_t, bool> options_;
};

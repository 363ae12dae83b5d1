#include "VendorControls.h"

#include "cError.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove();
    QPushButton::mouseMoveEvent(event);
    event->accept();  // a hover move is the button's own: the window behind must not see it
}

void Frame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRoundedRect(QRectF(0.5, lineY + 0.5, width() - 1.0, height() - lineY - 1.0), 3, 3);

    const QRect caption(7, 0, metrics.horizontalAdvance(title()) + 6, metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    frameEnd_.setSingleShot(true);
    connect(&frameEnd_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void ProgressBar::SetText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    label_ = QRect();
    const qint64 drawnAgo = sinceDrawn_.isValid() ? sinceDrawn_.elapsed() : kFrameMs;
    if (drawnAgo >= kFrameMs)
        update();
    else if (!frameEnd_.isActive())
        frameEnd_.start(static_cast<int>(kFrameMs - drawnAgo));
}

void ProgressBar::SetValue(int value) {
    if (value == this->value()) return;
    setUpdatesEnabled(false);  // repaint() does nothing while updates are off
    setValue(value);
    setUpdatesEnabled(true);  // and this asks for the drawing, with update()
}

void ProgressBar::changeEvent(QEvent* event) {
    // A style sheet can change the style's rules without changing the style.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
        bar_ = QPixmap();
        label_ = QRect();
    }
    QProgressBar::changeEvent(event);
}

ProgressBar::BarLook ProgressBar::LookOf(const QStyleOptionProgressBar& option) const {
    BarLook look;
    look.Size = size();
    look.PixelRatio = devicePixelRatioF();
    look.Minimum = option.minimum;
    look.Maximum = option.maximum;
    look.Value = option.progress;
    look.State = static_cast<int>(option.state);
    look.Direction = option.direction;
    look.Palette = option.palette.cacheKey();
    look.Style = style();
    look.Inverted = option.invertedAppearance;
    look.Alignment = static_cast<int>(option.textAlignment);
    look.TextVisible = option.textVisible;
    if (option.textVisible && !(option.textAlignment & Qt::AlignHCenter)) look.Beside = option.text;
    return look;
}

void ProgressBar::DrawBar(const QStyleOptionProgressBar& option, const BarLook& look) {
    const QStyle& style = *look.Style;
    bar_ = QPixmap(look.Size * look.PixelRatio);
    bar_.setDevicePixelRatio(look.PixelRatio);
    bar_.fill(Qt::transparent);
    QPainter painter(&bar_);
    QStyleOptionProgressBar part = option;
    part.rect = style.subElementRect(QStyle::SE_ProgressBarGroove, &option, this);
    style.drawControl(QStyle::CE_ProgressBarGroove, &part, &painter, this);
    part.rect = style.subElementRect(QStyle::SE_ProgressBarContents, &option, this);
    style.drawControl(QStyle::CE_ProgressBarContents, &part, &painter, this);
    barLook_ = look;
    label_ = QRect();
}

// What QProgressBar draws in one go (groove, chunk, label, as the common
// style lays them out), with the groove and chunk from the kept drawing
// while their look is unchanged.
void ProgressBar::paintEvent(QPaintEvent*) {
    sinceDrawn_.start();
    frameEnd_.stop();  // the text set is drawn now
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    const BarLook look = LookOf(option);
    if (bar_.isNull() || !(look == barLook_)) DrawBar(option, look);
    QPainter painter(this);
    painter.drawPixmap(0, 0, bar_);
    if (option.textVisible) {
        // Asking the style measures the text (twice, in the common style).
        if (label_.isNull())
            label_ = style()->subElementRect(QStyle::SE_ProgressBarLabel, &option, this);
        option.rect = label_;
        style()->drawControl(QStyle::CE_ProgressBarLabel, &option, &painter, this);
    }
}

void cSkinFramework::LoadSkin(const std::string& skinFile, const std::string&) {
    QFile file(QString::fromStdString(skinFile));
    if (!file.open(QIODevice::ReadOnly))
        throw cError(ErrorNumber::PathFileAccess, "Cannot read the skin file " + skinFile);
    styleSheet_ = QString::fromUtf8(file.readAll());
}

bool cSkinFramework::Option(int32_t dispatchId) const {
    const auto found = options_.find(dispatchId);
    return found != options_.end() && found->second;
}

void cSkinFramework::ApplyWindow(QWidget& window) const { window.setStyleSheet(styleSheet_); }

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
}

void ProgressBar::SetText(const QString& text) {
    text_ = text;
    update();
}

// What QProgressBar draws in one go (groove, chunk, label, as the common
// style lays them out), with the groove and chunk from the kept drawing
// while their look is unchanged.
void ProgressBar::paintEvent(QPaintEvent*) {
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    const QStyle& look = *style();
    BarLook now;
    now.Size = size();
    now.PixelRatio = devicePixelRatioF();
    now.Groove = look.subElementRect(QStyle::SE_ProgressBarGroove, &option, this);
    now.Contents = look.subElementRect(QStyle::SE_ProgressBarContents, &option, this);
    now.Minimum = option.minimum;
    now.Maximum = option.maximum;
    now.Value = option.progress;
    now.State = static_cast<int>(option.state);
    now.Direction = option.direction;
    now.Palette = option.palette.cacheKey();
    now.Style = &look;
    if (bar_.isNull() || !(now == barLook_)) {
        bar_ = QPixmap(now.Size * now.PixelRatio);
        bar_.setDevicePixelRatio(now.PixelRatio);
        bar_.fill(Qt::transparent);
        QPainter barPainter(&bar_);
        QStyleOptionProgressBar part = option;
        part.rect = now.Groove;
        look.drawControl(QStyle::CE_ProgressBarGroove, &part, &barPainter, this);
        part.rect = now.Contents;
        look.drawControl(QStyle::CE_ProgressBarContents, &part, &barPainter, this);
        barLook_ = now;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, bar_);
    if (option.textVisible) {
        option.rect = look.subElementRect(QStyle::SE_ProgressBarLabel, &option, this);
        look.drawControl(QStyle::CE_ProgressBarLabel, &option, &painter, this);
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

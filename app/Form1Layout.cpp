// Form1's controls at their designed places. Positions were designed in twips
// (15 to a pixel); the window's client area is 536 x 502 pixels.

#include "Form1.h"

#include "MainUtilities.h"
#include "Messages.h"
#include "ucCanvas.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

#include <chrono>
#include <random>

namespace {

constexpr int Twips(int twips) { return twips / 15; }

QRect TwipsRect(int left, int top, int width, int height) {
    return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

QFont ArialBold(double points) {
    QFont font;
    // Arial where installed; metric-compatible or condensed sans faces elsewhere,
    // so the designed captions fit their buttons.
    font.setFamilies({"Arial", "Liberation Sans", "Arimo", "Helvetica", "DejaVu Sans Condensed"});
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

template <class Widget>
Widget* Place(Widget* widget, const QRect& geometry) {
    widget->setGeometry(geometry);
    return widget;
}

}  // namespace

Form1::Form1(cDialogs& dialogs, QWidget* parent)
    : QWidget(parent), ProgramPath(ProgramFolder()), dialogs_(dialogs) {
    RandomPercent = [engine = std::mt19937(static_cast<uint32_t>(
                         std::chrono::system_clock::now().time_since_epoch().count()))]() mutable {
        return std::uniform_int_distribution<int32_t>(1, 100)(engine);
    };
    BuildControls();
    ConnectHandlers();
}

// The list's event filter would otherwise see the hide and destroy events of
// the widgets after this window's own members are gone.
Form1::~Form1() { delete listEvents_; }

void Form1::BuildControls() {
    setWindowTitle(kProductName);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Twips(8040), Twips(7530));
    setFont(ArialBold(9));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setMouseTracking(true);

    ListView1 = Place(new QTreeWidget(this), TwipsRect(120, 120, 7800, 2535));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setColumnCount(1);
    ListView1->setHeaderLabels({QString()});  // the column gets its title at start-up
    ListView1->header()->setStretchLastSection(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setToolTip(
        "Drag and drop files here. Double-click item to remove it. "
        "Move | line to right and out of window to reveal full names.");

    const QFont buttonFont = ArialBold(11.25);
    const auto button = [&](const char* caption, const QRect& geometry, QWidget* parent) {
        auto* b = Place(new PushButton(caption, parent), geometry);
        b->setFont(buttonFont);
        return b;
    };
    PushButton1 = button("Add BMP File(s)", TwipsRect(120, 2745, 3840, 405), this);
    PushButton3 = button("Add All BMP File(s) In Folder", TwipsRect(4080, 2745, 3840, 405), this);
    PushButton7 = button("Clear List", TwipsRect(120, 3255, 3840, 405), this);
    PushButton8 = button("Load Sample/Example Files", TwipsRect(4080, 3255, 3840, 405), this);

    Frame2 = Place(new Frame("Save Output Files As", this), TwipsRect(120, 3750, 7800, 1755));
    Option1 = Place(new QRadioButton("BMP", Frame2), TwipsRect(240, 300, 795, 255));
    Option2 = Place(new QRadioButton("JPG", Frame2), TwipsRect(240, 600, 675, 255));
    Option1->setChecked(true);
    Frame4 = Place(new Frame("JPG Quality", Frame2), TwipsRect(360, 870, 7080, 735));
    Slider2 = Place(new QSlider(Qt::Horizontal, Frame4), TwipsRect(120, 270, 6840, 270));
    Slider2->setRange(1, 100);
    Slider2->setTickPosition(QSlider::TicksBelow);
    Slider2->setTickInterval(10);
    Slider2->setValue(85);

    Frame1 =
        Place(new Frame("Save Image(s) To This Folder", this), TwipsRect(120, 5610, 7800, 795));
    Text1 = Place(new QLineEdit(Frame1), TwipsRect(240, 300, 6660, 345));
    PushButton4 = button("...", TwipsRect(6960, 300, 600, 345), Frame1);

    PushButton2 = button("Start Reducing", TwipsRect(120, 6525, 7800, 405), this);
    ProgressBar1 = Place(new ProgressBar(this), TwipsRect(120, 7035, 7800, 405));
    ProgressBar1->SetText(kProgressBarIdle);

    // The image holders of the run lie below the client area: never seen,
    // since the window cannot grow.
    ucCanvasSrc = Place(new ucCanvas(this), TwipsRect(120, 9195, 1680, 1455));
    ucCanvasTrg = Place(new ucCanvas(this), TwipsRect(2040, 9255, 1680, 1455));

    for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                       static_cast<QWidget*>(Frame4), static_cast<QWidget*>(Text1)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

// Wires Form1's controls to its handlers: the options, the slider, the
// folder text and the buttons' signals, the mouse moves that change the
// pointer, and the list's Qt events.
//
// Reordering is done with plain mouse events on the list's viewport, so it
// never meets Qt's drag and drop, which only carries files from outside.
// Presses, moves with a button held and releases are taken over entirely:
// the view's own drag selection and auto-scroll would fight the reordering.

#include "Form1.h"

#include "FileList.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace {

// Local paths of a drop in the order the drop lists them; other URLs are
// left out. Folders lose their trailing separator ("/" stays).
std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith('/')) path.chop(1);
        if (!path.isEmpty()) paths.push_back(path.toStdString());
    }
    return paths;
}

class cListView1Events final : public QObject {
public:
    cListView1Events(Form1& form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == form_.ListView1->viewport()) return ViewportEvent(event);
        if (watched == form_.ListView1 && event->type() == QEvent::KeyPress)
            form_.ListView1_KeyDown(static_cast<QKeyEvent*>(event)->key());
        return false;
    }

private:
    bool ViewportEvent(QEvent* event) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            form_.ListView1_OLEDragOver(*static_cast<QDragMoveEvent*>(event));
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> paths = DroppedPaths(drop->mimeData());
            if (drop->possibleActions() & Qt::CopyAction) drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // Walked once the drop is over, so the dragging program is not
            // kept waiting through a long folder walk.
            QTimer::singleShot(0, &form_,
                               [form = &form_, paths] { form->ListView1_OLEDragDrop(paths); });
            return true;
        }
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            form_.ListView1_MouseDown();
            // The click is reported on the press, before the moves that follow.
            if (QTreeWidgetItem* item = ItemInRow(*form_.ListView1, mouse->position().toPoint())) {
                form_.ListView1->setCurrentItem(item);
                form_.ListView1_ItemClick(item);
            }
            return true;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            form_.ListView1_MouseMove(mouse->position().toPoint());
            return mouse->buttons() != Qt::NoButton;
        }
        case QEvent::MouseButtonRelease:
            form_.ListView1_MouseUp();
            return true;
        case QEvent::MouseButtonDblClick:
            form_.ListView1_DblClick();
            return true;
        default:
            return false;
        }
    }

    Form1& form_;
};

}  // namespace

void Form1::ConnectListHandlers() {
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });

    ListView1->setAcceptDrops(true);
    ListView1->setDragEnabled(false);
    ListView1->setDragDropMode(QAbstractItemView::DropOnly);
    ListView1->viewport()->setMouseTracking(true);  // pointer handling on hover
    listEvents_ = new cListView1Events(*this);
    ListView1->installEventFilter(listEvents_);
    ListView1->viewport()->installEventFilter(listEvents_);
}

void Form1::ConnectHandlers() {
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Option1_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Option2_Click();
    });
    connect(Slider2, &QSlider::valueChanged, this, [this] { Slider2_Change(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });

    connect(PushButton1, &PushButton::MouseMove, this, &Form1::PushButton1_MouseMove);
    connect(PushButton2, &PushButton::MouseMove, this, &Form1::PushButton2_MouseMove);
    connect(PushButton3, &PushButton::MouseMove, this, &Form1::PushButton3_MouseMove);
    connect(PushButton4, &PushButton::MouseMove, this, &Form1::PushButton4_MouseMove);
    connect(PushButton7, &PushButton::MouseMove, this, &Form1::PushButton7_MouseMove);
    connect(PushButton8, &PushButton::MouseMove, this, &Form1::PushButton8_MouseMove);
    ConnectListHandlers();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == Frame1)
            Frame1_MouseMove();
        else if (watched == Frame2)
            Frame2_MouseMove();
        else if (watched == Frame4)
            Frame4_MouseMove();
        else if (watched == Text1)
            Text1_MouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

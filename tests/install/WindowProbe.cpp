// Loaded into an installed pixolune with LD_PRELOAD, so that the program under
// test is the packaged one as it is: once its window is up, presses "Load
// Sample/Example Files", answers the question No, prints what the list holds
// and ends the program. Exit status 3 when the window is not as expected.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "probe: %s\n", what);
    QCoreApplication::exit(3);
}

// Runs inside the question's own event loop.
void AnswerNo() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return Fail("no question shown");
    std::printf("question: %s\n", qPrintable(box->text()));
    box->button(QMessageBox::No)->click();
}

void PressLoadSamples() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        QAbstractButton* load = nullptr;
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
            if (button->text() == "Load Sample/Example Files") load = button;
        QTreeWidget* list = window->findChild<QTreeWidget*>();
        if (!load || !list || !window->isVisible()) continue;

        QTimer::singleShot(0, AnswerNo);
        load->click();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            std::printf("listed: %s\n", qPrintable(list->topLevelItem(i)->text(0)));
        std::fflush(stdout);
        QCoreApplication::exit(0);
        return;
    }
    Fail("no window with the sample button");
}

// The program's event loop starts after the window is shown.
void Start() { QTimer::singleShot(0, PressLoadSamples); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)

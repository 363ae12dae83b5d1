// Pixolune's desktop program: one window, Form1.

#include "Form1.h"
#include "QtDialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("pixolune");
    QApplication::setDesktopFileName("pixolune");

    cQtDialogs dialogs;
    Form1 form(dialogs);
    dialogs.SetOwner(&form);
    form.Form_Load();

    // Files handed over by the desktop (Open With) start the list.
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        form.AppendListItem(QFileInfo(arguments[i]).absoluteFilePath().toStdString());

    if (const QScreen* screen = form.screen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();
    return app.exec();
}

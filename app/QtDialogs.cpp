#include "QtDialogs.h"

#include "MainUtilities.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

// Message texts use CR LF and lone CRs as line breaks; a label shows only LF.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    shown.replace('\r', '\n');
    return shown;
}

}  // namespace

void ConfigureMessageBox(QMessageBox& box, const std::string& text, const std::string& caption,
                         MsgButtons buttons, MsgIcon icon) {
    box.setIcon(icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(DisplayText(text));
    box.setStandardButtons(buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                        : QMessageBox::Ok);
    box.setWindowTitle(QString::fromStdString(caption));
    // A box waits for its answer: nothing to minimise or maximise. Window
    // managers that follow the hint leave that room to the caption.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint);
    // Qt sizes a box to its text and allows the caption only its own width;
    // a window manager draws an icon and buttons beside it, and a box as
    // narrow as "Done." would show no caption at all.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

MsgAnswer cQtDialogs::MsgBox(const std::string& text, const std::string& caption,
                             MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(owner_);
    ConfigureMessageBox(box, text, caption, buttons, icon);
    const int answer = box.exec();
    if (buttons == MsgButtons::OK) return MsgAnswer::OK;
    return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

std::optional<std::string> cQtDialogs::InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(owner_, QString::fromStdString(title), DisplayText(prompt),
                              QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
    if (!ok) return std::nullopt;
    return answer.toStdString();
}

std::string cQtDialogs::BrowseForFolder(const std::string& title, const std::string& start) {
    return ::BrowseForFolder(owner_, title, start);
}

void ConfigureOpenFilesDialog(QFileDialog& dialog, const std::string& title,
                              const std::string& filter) {
    dialog.setWindowTitle(QString::fromStdString(title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(QString::fromStdString(filter));
}

std::vector<std::string> cQtDialogs::GetOpenFileNames(const std::string& title,
                                                      const std::string& filter) {
    QFileDialog dialog(owner_);
    ConfigureOpenFilesDialog(dialog, title, filter);
    std::vector<std::string> paths;
    if (dialog.exec() != QDialog::Accepted) return paths;
    const QStringList chosen = dialog.selectedFiles();
    paths.reserve(chosen.size());
    for (const QString& path : chosen) paths.push_back(path.toStdString());
    return paths;
}

void cQtDialogs::OpenUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

bool cQtDialogs::OpenFolder(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

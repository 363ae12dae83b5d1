#include "QtDialogs.h"

#include "MainUtilities.h"

#include <QDesktopServices>
#include <QFileDialog>
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

MsgAnswer cQtDialogs::MsgBox(const std::string& text, const std::string& caption,
                             MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(
        icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        QString::fromStdString(caption), DisplayText(text),
        buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        owner_);
    box.setTextFormat(Qt::PlainText);
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

void cQtDialogs::OpenFolder(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

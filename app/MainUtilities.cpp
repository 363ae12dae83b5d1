#include "MainUtilities.h"

#include "MainPaths.h"
#include "VendorControls.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTreeWidget>

#include <filesystem>

namespace {

std::string& StoredApplicationTitle() {
    static std::string title = kProductName;
    return title;
}

}  // namespace

std::string ProgramFolder() { return QCoreApplication::applicationDirPath().toStdString(); }

std::string DataFilePath(const std::string& programFolder, const std::string& name) {
    const std::string beside = programFolder + "/" + name;
    if (FileExists(beside)) return beside;
    const std::filesystem::path installed =
        (std::filesystem::path(programFolder) / PIXOLUNE_DATA_FROM_BIN / name).lexically_normal();
    return FileExists(installed.string()) ? installed.string() : beside;
}

std::string ApplicationTitleFrom(const std::string& productName) {
    std::string title = productName;
    size_t space = title.rfind(' ');
    if (space == std::string::npos) return title;
    do {
        title.erase(space);
        space = title.rfind(' ');
    } while (title.size() > 40 && space != std::string::npos);
    return title;
}

void SetApplicationTitle() { StoredApplicationTitle() = ApplicationTitleFrom(kProductName); }

const std::string& ApplicationTitle() { return StoredApplicationTitle(); }

MsgAnswer ShowMessage(cDialogs& dialogs, const std::string& text) {
    return dialogs.MsgBox(text, ApplicationTitle(), MsgButtons::OK, MsgIcon::None);
}

std::string GetDesktopFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const std::string folder = FolderChoiceResult(
        !desktop.isEmpty() && QDir(desktop).exists() ? desktop : QDir::homePath());
    return folder == "/" ? folder : folder + "/";
}

std::string FolderChoiceResult(const QString& chosen) {
    QString folder = chosen;
    while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
    return folder.toStdString();
}

std::string BrowseForFolder(QWidget* owner, const std::string& title, const std::string& start) {
    const QString startFolder = FolderExists(start) ? QString::fromStdString(start) : QString();
    return FolderChoiceResult(QFileDialog::getExistingDirectory(
        owner, QString::fromStdString(title), startFolder, QFileDialog::ShowDirsOnly));
}

void ApplySkin(QWidget& window, cSkinFramework& skin, const std::string& programFolder) {
    const std::string skinFile = DataFilePath(programFolder, "x/o.cjs");
    if (!FileExists(skinFile)) return;

    // The skin draws on button-face colours; white patches would show through.
    const QColor buttonFace = window.palette().color(QPalette::Button);
    const auto paintButtonFace = [&](QWidget* widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, buttonFace);
        widget->setPalette(palette);
    };
    paintButtonFace(&window);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            paintButtonFace(child);
    }

    skin.LoadSkin(skinFile, "");
    skin.SetApplyOptions(skin.ApplyOptions() | 1);
    skin.SetOption(5, true);
    skin.SetOption(10, true);
    skin.ApplyWindow(window);
}

bool ListContains(const QTreeWidget& list, const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        if (list.topLevelItem(i)->text(0) == wanted) return true;
    return false;
}

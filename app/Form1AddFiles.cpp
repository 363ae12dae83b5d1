// Adding files: "Add BMP File(s)" through the open dialog, and dropping files
// and folders on the list.

#include "Form1.h"

#include "Dialogs.h"
#include "ErrorReport.h"
#include "MainPaths.h"

#include <QDragMoveEvent>
#include <QMimeData>
#include <QUrl>

namespace {

constexpr const char* kAddFilesTitle = "Add File(s) - Hold Ctrl or Shift to select multiple files";
// The label the dialog shows, then the patterns Qt applies: Qt takes the
// patterns from the last parentheses, separated by spaces, and the dialog
// hides that part (QFileDialog::HideNameFilterDetails).
constexpr const char* kAddFilesFilter = "BMP Files (*.bmp;*.bmp) (*.bmp *.bmp)";

bool CarriesLocalFiles(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return true;
    return false;
}

}  // namespace

void Form1::PushButton1_Click() {
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton1_Click"));
    std::vector<std::string> chosen;
    guard.Step(100, [&] { chosen = dialogs_.GetOpenFileNames(kAddFilesTitle, kAddFilesFilter); });
    if (chosen.empty()) return;  // step 102: cancelled
    if (chosen.size() == 1) {
        guard.Step(104, [&] { AppendListItem(chosen.front()); });
        return;
    }
    // Several files: each joined path is normalised, one file is taken as given.
    for (const std::string& path : chosen)
        guard.Step(106, [&] { AppendListItem(CollapseBackslashes(path)); });
}

void Form1::ListView1_OLEDragOver(QDragMoveEvent& event) {
    if (!CarriesLocalFiles(event.mimeData())) {
        event.ignore();
        return;
    }
    // A copy, never a move: a file manager deletes the source of a move.
    if (event.possibleActions() & Qt::CopyAction)
        event.setDropAction(Qt::CopyAction);
    else
        event.setDropAction(event.proposedAction());
    event.accept();
}

// Files are appended exactly as given (any type, no existence test); each
// dropped folder contributes every file of its tree before the next dropped
// path is looked at. A drop does not make the window busy.
void Form1::ListView1_OLEDragDrop(const std::vector<std::string>& paths) {
    cStepGuard guard(dialogs_, LocationString("Form1", "ListView1_OLEDragDrop"));
    for (const std::string& path : paths) {
        if (bUnloaded_) return;
        if (FolderExists(path))
            guard.Step(102, [&] { AppendFolderFiles(path, "*.*"); });
        else
            guard.Step(104, [&] { AppendListItem(path); });
    }
}

// "Add All BMP File(s) In Folder": every file of a chosen folder tree whose
// name matches a typed extension is appended to the list. The folder walk is
// shared with dropped folders.

#include "Form1.h"

#include "AddFolder.h"
#include "AppSettings.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "MainUtilities.h"
#include "Messages.h"
#include "WildcardMatch.h"
#include "cError.h"

#include <QCoreApplication>

namespace {

// Thrown out of the walk's yield once the window has closed: the walk stops
// there instead of running on through a large tree for nobody. Not a
// std::exception, so no step guard reports it.
struct cWalkAbandoned {};

}  // namespace

// The walk lets pending events run once per folder and sub-folder, so the
// window stays responsive and further drops, imports or a run may start
// inside it; files arrive folder by folder once the tree is known.
void Form1::AppendFolderFiles(const std::string& folder, const std::string& pattern) {
    WalkHooks hooks;
    hooks.Yield = [this] {
        QCoreApplication::processEvents();
        if (bUnloaded_) throw cWalkAbandoned{};
    };
    hooks.ReportError = [this](const cError& error, const std::string& location, int step) {
        ShowErrorReport(dialogs_, error.Description(), location, step);
    };
    std::vector<std::string> files;
    try {
        files = CollectFolderFiles(folder, pattern, hooks);
    } catch (const cWalkAbandoned&) {
        return;
    }
    for (const std::string& file : files) AppendListItem(file);
}

void Form1::PushButton3_Click() {
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton3_Click"));
    std::optional<std::string> extension;
    guard.Step(100, [&] {
        extension = dialogs_.InputBox(kExtensionPrompt, ApplicationTitle(),
                                      cSettings::Text(Setting::Extension));
    });
    if (!extension || extension->empty()) return;  // step 102: cancelled or nothing typed
    // Kept before the folder is chosen: cancelling the folder keeps the new extension.
    guard.Step(104, [&] { cSettings::SetText(Setting::Extension, *extension); });

    std::string folder;
    guard.Step(106, [&] {
        folder = dialogs_.BrowseForFolder(kSelectFolder, cSettings::Text(Setting::LastFolder));
    });
    if (folder.empty()) return;  // step 108
    guard.Step(110, [&] { cSettings::SetText(Setting::LastFolder, folder); });

    guard.Step(112, [&] { SetMousePointer(PointerKind::Hourglass); });
    guard.Step(114, [&] { AppendFolderFiles(folder, ExtensionPattern(*extension)); });
    if (!bUnloaded_) guard.Step(116, [&] { SetMousePointer(PointerKind::Default); });
}

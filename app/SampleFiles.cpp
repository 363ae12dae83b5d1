#include "SampleFiles.h"

#include "AddFolder.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "FileList.h"
#include "Form1.h"
#include "MainPaths.h"
#include "MainUtilities.h"
#include "Messages.h"

void LoadSampleFiles(QTreeWidget& list, cDialogs& dialogs, const std::string& programFolder) {
    const std::string folder = DataFilePath(programFolder, "Samples");
    for (const std::string& name : ListFolderFiles(folder, "*.*")) {
        const std::string path = folder + "/" + name;
        if (FileExists(path) && !ListContains(list, path)) AppendListPath(list, path);
    }
    const MsgAnswer answer =
        dialogs.MsgBox(kOpenSamplesQuestion, ApplicationTitle(), MsgButtons::YesNo, MsgIcon::None);
    if (answer == MsgAnswer::Yes && !dialogs.OpenFolder(folder))
        ShowMessage(dialogs, kCannotOpenFolder + folder);
}

// A failure ends the loading and is reported as the button's.
void Form1::PushButton8_Click() {
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton8_Click"));
    guard.Step(100, [&] { LoadSampleFiles(*ListView1, dialogs_, ProgramPath); });
}

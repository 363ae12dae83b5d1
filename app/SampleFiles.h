#pragma once
// "Load Sample/Example Files": the sample images in the Samples folder beside
// the program.

#include <string>

class QTreeWidget;
class cDialogs;

// Appends the files of the Samples folder (beside the program, else the
// installed one: DataFilePath) that the list does not hold
// yet, in folder-listing order, then offers to open that folder in the file
// manager. The offer comes even when nothing was appended; when nothing can
// open the folder, a message says so and names it.
void LoadSampleFiles(QTreeWidget& list, cDialogs& dialogs, const std::string& programFolder);

#pragma once
// The window's shared utilities: the application title, plain messages, the
// desktop folder, the folder chooser, the optional skin and a list lookup.
// Path helpers that need no window live in MainPaths.h.

#include "Dialogs.h"

#include <string>

class QString;
class QTreeWidget;
class QWidget;
class cSkinFramework;

inline constexpr const char* kProductName = "Pixolune";

// The folder that holds the program file, without a trailing "/".
std::string ProgramFolder();

// Where an optional file of the program (the skin, the pointers, Samples) is:
// programFolder + "/" + name when that exists (the build tree keeps them
// beside the program), else the installed data folder (../share/pixolune
// from programFolder, as the install rules place it) when it holds name.
// Where neither does, the path beside the program, so that what is missing is
// looked for where it always was.
std::string DataFilePath(const std::string& programFolder, const std::string& name);

// Makes the title of plain message boxes from the product name (see
// ApplicationTitleFrom) and keeps it for ApplicationTitle.
void SetApplicationTitle();
const std::string& ApplicationTitle();
// A product name with spaces loses its last word, then further words while it
// is longer than 40 characters; a name without a space is kept whole.
std::string ApplicationTitleFrom(const std::string& productName);

// A plain message: OK button, no icon, the application title as caption.
MsgAnswer ShowMessage(cDialogs& dialogs, const std::string& text);

// The desktop folder with a trailing "/"; the home folder where there is no desktop folder.
std::string GetDesktopFolder();

// Qt's folder chooser opening on start (when it exists). Returns "/" with its
// separator, any other folder without a trailing one, "" when cancelled.
std::string BrowseForFolder(QWidget* owner, const std::string& title, const std::string& start);
// What the chooser's answer becomes: trailing separators dropped except for "/".
std::string FolderChoiceResult(const QString& chosen);

// Loads the optional skin x/o.cjs (a Qt style sheet; found by DataFilePath) onto
// the window. Without the file nothing changes and the skin is not called.
void ApplySkin(QWidget& window, cSkinFramework& skin, const std::string& programFolder);

// True when some item's text equals text exactly (case-sensitive).
bool ListContains(const QTreeWidget& list, const std::string& text);

#pragma once
// The real dialogs: Qt's message, input, file and folder dialogs and the
// desktop's URL handler.

#include "Dialogs.h"

#include <QPointer>
#include <QWidget>

class QFileDialog;
class QMessageBox;

class cQtDialogs final : public cDialogs {
public:
    // The window the dialogs are modal to (may be set later, or stay null).
    void SetOwner(QWidget* owner) { owner_ = owner; }

    MsgAnswer MsgBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                     MsgIcon icon) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::string BrowseForFolder(const std::string& title, const std::string& start) override;
    std::vector<std::string> GetOpenFileNames(const std::string& title,
                                              const std::string& filter) override;
    void OpenUrl(const std::string& url) override;
    bool OpenFolder(const std::string& path) override;

private:
    QPointer<QWidget> owner_;
};

// Room beside a box's caption for a window manager's icon and buttons, in pixels.
inline constexpr int kTitleBarRoom = 150;

// A message box as MsgBox shows it: plain text, the buttons and icon asked
// for, and at least as wide as the caption needs in a title bar.
void ConfigureMessageBox(QMessageBox& box, const std::string& text, const std::string& caption,
                         MsgButtons buttons, MsgIcon icon);

// The multi-select open dialog as GetOpenFileNames shows it. The filter's
// last parenthesised part holds the patterns Qt applies and is not shown.
void ConfigureOpenFilesDialog(QFileDialog& dialog, const std::string& title,
                              const std::string& filter);

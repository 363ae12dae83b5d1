#pragma once
// Every modal dialog and shell action of the window goes through cDialogs, so
// tests can install a fake that records what would be shown and answers it.
// cQtDialogs (QtDialogs.h) is the real one.

#include <optional>
#include <string>
#include <vector>

enum class MsgButtons { OK, YesNo };
enum class MsgIcon { None, Exclamation };
enum class MsgAnswer { OK, Yes, No };

class cDialogs {
public:
    virtual ~cDialogs() = default;

    // A modal message box; returns the button pressed.
    virtual MsgAnswer MsgBox(const std::string& text, const std::string& caption,
                             MsgButtons buttons, MsgIcon icon) = 0;
    // A one-line text prompt; nullopt when cancelled.
    virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
    // The folder chooser, opening on start: "/" keeps its separator, other
    // folders come without one; empty when cancelled.
    virtual std::string BrowseForFolder(const std::string& title, const std::string& start) = 0;
    // The multi-select open dialog; the chosen full paths, empty when cancelled.
    // filter is a Qt name filter: a label, then the patterns in the last
    // parentheses, which the dialog does not show.
    virtual std::vector<std::string> GetOpenFileNames(const std::string& title,
                                                      const std::string& filter) = 0;
    // Opens a web address in the browser.
    virtual void OpenUrl(const std::string& url) = 0;
    // Opens a folder in the file manager; false when no program could be
    // started to open it.
    virtual bool OpenFolder(const std::string& path) = 0;
};

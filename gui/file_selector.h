// CNewFileSelector: a modal dialog that asks for one file to open or a file
// name to save to. It runs the desktop's dialog program, zenity or else
// kdialog, as a child process (never through a shell) and reads the chosen
// path from its output, one line; with neither installed, when the user
// cancels, or when the answer has more than one line, nothing is chosen.
// Tests put a function of their own in place of the dialog with
// setDialogRunner.
#pragma once

#include "gui/reference.h"

#include <functional>
#include <string>
#include <vector>

class CFrame;
class CNewFileSelector : public CReferenceCounter {
public:
    enum Style {
        kSelectFile,     // a file to open
        kSelectSaveFile, // a file name to save to
    };

    // What the dialog is asked for.
    struct Request {
        Style style = kSelectFile;
        std::string title;
        std::string initialDirectory; // a leading "~" stands for the home folder
        bool allowMultiple = false;
    };
    // Shows the dialog and answers the chosen paths (none when cancelled).
    using DialogRunner = std::function<std::vector<std::string>(const Request&)>;

    // A selector for the window of `frame` (may be null); forget it when done.
    static CNewFileSelector* create(CFrame* frame = nullptr, Style style = kSelectFile);

    void setTitle(const char* title);
    void setInitialDirectory(const char* directory);
    void setAllowMultiFileSelection(bool state);

    // Runs the dialog and waits for it; true when at least one file was chosen.
    bool runModal();
    long getNumSelectedFiles() const { return static_cast<long>(selected.size()); }
    // The chosen path number `index`, or null when there is none.
    const char* getSelectedFile(long index) const;

    // Replaces the dialog for the whole process; an empty runner restores the desktop's.
    static void setDialogRunner(DialogRunner runner);
    // The desktop's dialog: zenity, else kdialog, else nothing chosen. A save
    // dialog asks before it answers the name of an existing file.
    static std::vector<std::string> runDesktopDialog(const Request& request);

protected:
    CNewFileSelector(CFrame* frame, Style style);

    CFrame* frame;
    Request request;
    std::vector<std::string> selected;
};

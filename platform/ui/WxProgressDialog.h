// The wxWidgets form of the progress window: a 370 x 68 dialog-unit modal
// frame without system menu holding the progress bar, the read-only status
// line and the Stop image button; OK, Cancel and Button1 exist hidden.
#pragma once
#include "platform/ui/UserInterface.h"

namespace ui {

// Starts the toolkit once per process; false when no display can be opened.
bool EnsureToolkit();
std::unique_ptr<CProgressWindow> CreateWxProgress(const std::u16string& title);
EAnswer WxMessageBox(const std::u16string& title, const std::u16string& text, EButtons buttons);
// The open-file dialog for a Notes database (WxFileChooser.cpp).
std::string WxChooseNotesDatabase();

// The four as one table: what a program that links them uses, and what
// the window module (libnsf2pst-wxui.so) hands over to the worker, which
// loads it only when it has a display, so that a worker without one never
// loads the toolkit and its libraries.
struct CWindowForms {
    bool (*ensureToolkit)();
    std::unique_ptr<CProgressWindow> (*createProgress)(const std::u16string& title);
    EAnswer (*messageBox)(const std::u16string& title, const std::u16string& text, EButtons buttons);
    std::string (*chooseNotesDatabase)();
};
const CWindowForms* WindowFormsTable();
constexpr const char* kWindowFormsEntry = "Nsf2pstWindowForms";

}  // namespace ui

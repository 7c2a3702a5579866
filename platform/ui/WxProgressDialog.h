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

}  // namespace ui

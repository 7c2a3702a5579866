// Message boxes of the wxWidgets windows: the window title, an information
// icon and OK or Yes/No. GTK's own message dialog no longer draws an icon,
// so the box is wxWidgets' generic one, which takes the icon from the
// theme through the art provider.
#pragma once
#include <wx/string.h>
#include <wx/window.h>

#include "platform/ui/UserInterface.h"

namespace ui {

EAnswer ShowInfoMessage(wxWindow* parent, const wxString& title, const wxString& text,
                        EButtons buttons = EButtons::Ok);

}  // namespace ui

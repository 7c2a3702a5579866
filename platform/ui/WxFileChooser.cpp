// The wxWidgets open-file dialog with which a program started without a
// database (from the desktop menu) asks for one.
#include <wx/filedlg.h>

#include "platform/ui/WxProgressDialog.h"

namespace ui {

std::string WxChooseNotesDatabase() {
    wxFileDialog dialog(nullptr, "Choose the Notes database to convert", wxEmptyString, wxEmptyString,
                        "Notes databases (*.nsf)|*.nsf;*.NSF|All files|*", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return {};
    return dialog.GetPath().utf8_string();
}

}  // namespace ui

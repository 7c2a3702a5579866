#include "platform/ui/WxFileChooser.h"

#include <wx/filedlg.h>

#include "platform/ui/WxProgressDialog.h"

namespace ui {

std::string ChooseNotesDatabase() {
    if (!EnsureToolkit()) return {};
    wxFileDialog dialog(nullptr, "Choose the Notes database to convert", wxEmptyString, wxEmptyString,
                        "Notes databases (*.nsf)|*.nsf;*.NSF|All files|*", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return {};
    return dialog.GetPath().utf8_string();
}

}  // namespace ui

#include "platform/ui/WxMessage.h"

#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>

namespace ui {

EAnswer ShowInfoMessage(wxWindow* parent, const wxString& title, const wxString& text, EButtons buttons) {
    const long style = wxICON_INFORMATION | wxCENTRE | (buttons == EButtons::YesNo ? wxYES_NO : wxOK);
    wxGenericMessageDialog box(parent, text, title, style);
    const int answer = box.ShowModal();
    if (buttons == EButtons::Ok) return EAnswer::Ok;
    return answer == wxID_YES ? EAnswer::Yes : EAnswer::No;
}

}  // namespace ui

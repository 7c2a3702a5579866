#include "viewer/wx/SysInfoAboutDlg.h"

#include <wx/button.h>
#include <wx/hyperlink.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>

#include "viewer/LotusNotesApp.h"
#include "viewer/wx/ViewerArt.h"

namespace {

wxFont StaticFont() {
    wxFont font(wxFontInfo(wxSize(0, 15)).FaceName("Arial"));
    font.SetNumericWeight(600);
    return font;
}

}  // namespace

wxRect CSysInfoAboutDlg::Dlu(int x, int y, int w, int h) {
    return wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h)));
}

CSysInfoAboutDlg::CSysInfoAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, viewerart::ToWx(viewerTitle)) {
    SetClientSize(ConvertDialogToPixels(wxSize(263, 167)));
    const wxString title = viewerart::ToWx(viewerTitle);
    const wxRect banner = Dlu(0, 0, 263, 52);
    new wxStaticBitmap(this, wxID_ANY, viewerart::Banner(banner.GetSize(), title), banner.GetPosition(),
                       banner.GetSize());
    const wxRect titleRect = Dlu(35, 64, 216, 12);
    auto* product = new wxStaticText(this, wxID_ANY, title, titleRect.GetPosition(), titleRect.GetSize());
    product->SetFont(StaticFont());

    struct Link {
        wxString label, url, tip;
        int y;
    };
    const Link links[] = {
        {"www.kelvro.example", kHomePageUrl, "Company website", 80},
        {kSupportMail, wxString("mailto:") + kSupportMail, "Support email address", 92},
        {kSalesMail, wxString("mailto:") + kSalesMail, "Sales email address", 104},
    };
    for (const Link& link : links) {
        const wxRect r = Dlu(35, link.y, 216, 10);
        auto* ctrl = new wxHyperlinkCtrl(this, wxID_ANY, link.label, link.url, r.GetPosition(), r.GetSize());
        ctrl->SetToolTip(link.tip);
    }
    const wxRect line = Dlu(3, 117, 257, 1);
    new wxStaticLine(this, wxID_ANY, line.GetPosition(), wxSize(line.width, 2));
    const wxRect second = Dlu(3, 121, 257, 15);
    auto* note = new wxStaticText(this, wxID_ANY, "Notes mail to Outlook folders, item by item.",
                                  second.GetPosition(), second.GetSize(), wxALIGN_CENTRE_HORIZONTAL);
    note->SetFont(StaticFont());
    const wxRect ok = Dlu(106, 145, 50, 14);
    auto* okButton = new wxButton(this, wxID_OK, "OK", ok.GetPosition(), ok.GetSize());
    okButton->SetDefault();
    okButton->SetFocus();
}

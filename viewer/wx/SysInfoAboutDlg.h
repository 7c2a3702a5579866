// The About dialog: banner, product title, links to the maker's web site and
// to the support and sales mail addresses, a second line of text and OK.
#pragma once
#include <wx/dialog.h>

// Addresses the viewer's help menu and About dialog point to.
inline constexpr char kHelpPageUrl[] = "https://www.kelvro.example/help/nsf-viewer";
inline constexpr char kHomePageUrl[] = "https://www.kelvro.example/";
inline constexpr char kSupportMail[] = "support@kelvro.example";
inline constexpr char kSalesMail[] = "sales@kelvro.example";

class CSysInfoAboutDlg : public wxDialog {
public:
    explicit CSysInfoAboutDlg(wxWindow* parent);

private:
    wxRect Dlu(int x, int y, int w, int h);
};

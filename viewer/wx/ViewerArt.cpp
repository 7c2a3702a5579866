#include "viewer/wx/ViewerArt.h"

#include <wx/artprov.h>
#include <wx/dcmemory.h>

namespace viewerart {

namespace {

constexpr int kImageSize = 16;
const wxColour kMask(255, 0, 255);

// A coloured badge per folder image, so the kinds can be told apart.
const wxColour kBadges[18] = {
    wxColour(40, 90, 170),  wxColour(200, 40, 40),  wxColour(120, 120, 120), wxColour(30, 130, 220),
    wxColour(150, 90, 30),  wxColour(230, 200, 40), wxColour(40, 160, 90),   wxColour(60, 170, 60),
    wxColour(160, 60, 160), wxColour(0, 0, 0),      wxColour(0, 0, 0),       wxColour(220, 120, 20),
    wxColour(0, 0, 0),      wxColour(0, 0, 0),      wxColour(190, 30, 30),   wxColour(90, 90, 200),
    wxColour(100, 100, 100), wxColour(240, 130, 0)};

wxBitmap OnMask(const wxBitmap& picture, const wxColour& badge, bool drawBadge) {
    wxBitmap cell(kImageSize, kImageSize, 24);
    wxMemoryDC dc(cell);
    dc.SetBackground(wxBrush(kMask));
    dc.Clear();
    if (picture.IsOk()) dc.DrawBitmap(picture, 0, 0, true);
    if (drawBadge) {
        dc.SetPen(wxPen(*wxWHITE));
        dc.SetBrush(wxBrush(badge));
        dc.DrawRectangle(9, 9, 7, 7);
    }
    dc.SelectObject(wxNullBitmap);
    return cell;
}

wxBitmap Art(const char* id) { return wxArtProvider::GetBitmap(id, wxART_OTHER, wxSize(kImageSize, kImageSize)); }

wxBitmap Clip() {
    wxBitmap cell(kImageSize, kImageSize, 24);
    wxMemoryDC dc(cell);
    dc.SetBackground(wxBrush(kMask));
    dc.Clear();
    dc.SetPen(wxPen(wxColour(60, 60, 60), 2));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRoundedRectangle(4, 1, 7, 14, 3);
    dc.DrawLine(7, 4, 7, 11);
    dc.SelectObject(wxNullBitmap);
    return cell;
}

}  // namespace

wxString ToWx(const std::u16string& text) {
    return wxString(reinterpret_cast<const char*>(text.data()), wxMBConvUTF16LE(), text.size() * 2);
}

wxBitmap Banner(const wxSize& size, const wxString& title) {
    wxBitmap banner(std::max(size.x, 1), std::max(size.y, 1), 24);
    wxMemoryDC dc(banner);
    dc.GradientFillLinear(wxRect(size), wxColour(16, 58, 120), wxColour(70, 140, 210), wxEAST);
    // The largest title that fits the banner.
    int points = std::max(size.y / 3, 8);
    wxSize extent;
    for (;; --points) {
        dc.SetFont(wxFont(wxFontInfo(points).Bold().FaceName("Arial")));
        extent = dc.GetTextExtent(title);
        if (points <= 8 || extent.x <= size.x - 32) break;
    }
    dc.SetTextForeground(*wxWHITE);
    dc.DrawText(title, 16, (size.y - extent.y) / 2);
    dc.SelectObject(wxNullBitmap);
    return banner;
}

wxImageList* FolderImages() {
    auto* images = new wxImageList(kImageSize, kImageSize, true, 18);
    const wxBitmap folder = Art(wxART_FOLDER);
    for (int i = 0; i < 18; ++i) {
        wxBitmap picture = i == 0 ? Art(wxART_HARDDISK) : folder;
        const bool plainFolder = i == 9 || i == 10 || i == 12 || i == 13;
        images->Add(OnMask(picture, kBadges[i], i != 0 && !plainFolder), kMask);
    }
    return images;
}

wxImageList* ItemImages() {
    auto* images = new wxImageList(kImageSize, kImageSize, true, 3);
    images->Add(Clip(), kMask);
    images->Add(OnMask(Art(wxART_NORMAL_FILE), *wxBLACK, false), kMask);
    images->Add(Clip(), kMask);
    return images;
}

wxBitmap ButtonIcon(const char* artId) { return wxArtProvider::GetBitmap(artId, wxART_BUTTON, wxSize(16, 16)); }

}  // namespace viewerart

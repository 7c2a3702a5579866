// The viewer's pictures, drawn at start from the desktop icon theme: the
// banner with the product title, the 18-image folder strip of the tree, the
// item images of the list (attachment clip), and the button icons.
#pragma once
#include <wx/bitmap.h>
#include <wx/imaglist.h>
#include <wx/string.h>

namespace viewerart {

wxString ToWx(const std::u16string& text);

// A banner of the given size with the title on a blue gradient.
wxBitmap Banner(const wxSize& size, const wxString& title);
// Images 0 (NSF file) to 17 of the folder tree, 16 x 16, magenta transparent.
wxImageList* FolderImages();
// The item list's small images: 0 the attachment clip; 2 the clip of the
// attachment column's header.
wxImageList* ItemImages();
wxBitmap ButtonIcon(const char* artId);

}  // namespace viewerart

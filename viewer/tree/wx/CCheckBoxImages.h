// The folder tree's state image list on wxWidgets: a strip of 17 cells of the
// check-box size, each drawn with the platform renderer in the look its cell
// stands for (unchecked, checked or mixed; normal, disabled or hot), blank
// cells left in the background colour.
#pragma once

#include <memory>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/imaglist.h>
#include <wx/window.h>

#include "viewer/tree/CheckBoxCells.h"

namespace tree {

// Renderer flags (wxCONTROL_*) for one cell; -1 for a blank cell.
int CheckBoxRendererFlags(const CheckBoxCell& cell);

// The strip itself: 17 × cellSize wide and cellSize high.
wxBitmap DrawCheckBoxStrip(wxWindow* window, int cellSize, const wxColour& background);

// The strip as an image list with magenta as mask colour.
std::unique_ptr<wxImageList> BuildCheckBoxImageList(wxWindow* window, int cellSize, const wxColour& background);

}  // namespace tree

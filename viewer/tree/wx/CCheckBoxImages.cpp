#include "viewer/tree/wx/CCheckBoxImages.h"

#include <wx/dcmemory.h>
#include <wx/renderer.h>

namespace tree {

int CheckBoxRendererFlags(const CheckBoxCell& cell) {
  int flags = 0;
  switch (cell.look) {
    case CheckLook::Blank: return -1;
    case CheckLook::Unchecked: break;
    case CheckLook::Checked: flags |= wxCONTROL_CHECKED; break;
    case CheckLook::Mixed: flags |= wxCONTROL_UNDETERMINED; break;
  }
  if (cell.disabled) flags |= wxCONTROL_DISABLED;
  if (cell.hot) flags |= wxCONTROL_CURRENT;
  return flags;
}

wxBitmap DrawCheckBoxStrip(wxWindow* window, int cellSize, const wxColour& background) {
  wxBitmap strip(kCheckBoxCellCount * cellSize, cellSize, 32);
  wxMemoryDC dc(strip);
  dc.SetBackground(wxBrush(background));
  dc.Clear();
  for (int i = 0; i < kCheckBoxCellCount && kCheckBoxCells[i].label; ++i) {
    const int flags = CheckBoxRendererFlags(kCheckBoxCells[i]);
    if (flags < 0) continue;
    const wxRect box(i * cellSize + 1, 1, cellSize - 2, cellSize - 2);
    wxRendererNative::Get().DrawCheckBox(window, dc, box, flags);
  }
  dc.SelectObject(wxNullBitmap);
  return strip;
}

std::unique_ptr<wxImageList> BuildCheckBoxImageList(wxWindow* window, int cellSize, const wxColour& background) {
  auto list = std::make_unique<wxImageList>(cellSize, cellSize, true, kCheckBoxCellCount);
  list->Add(DrawCheckBoxStrip(window, cellSize, background), wxColour(255, 0, 255));
  return list;
}

}  // namespace tree

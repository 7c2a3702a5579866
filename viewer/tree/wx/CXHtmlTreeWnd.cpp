#include "viewer/tree/wx/CXHtmlTreeWnd.h"

#include <algorithm>

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/thread.h>

#include "viewer/tree/wx/CCheckBoxImages.h"

namespace tree {

namespace {

wxColour ToWx(COLORREF c) { return wxColour(GetRValue(c), GetGValue(c), GetBValue(c)); }

COLORREF FromWx(const wxColour& c) { return RGB(c.Red(), c.Green(), c.Blue()); }

wxString ToWx(const std::u16string& text) {
  return wxString(reinterpret_cast<const char*>(text.data()), wxMBConvUTF16LE(), text.size() * 2);
}

wxRect ToWx(const TreeRect& r) { return wxRect(r.left, r.top, r.Width(), r.Height()); }

int VirtualKeyOf(int keyCode) {
  switch (keyCode) {
    case WXK_SPACE: return VK_SPACE;
    case WXK_LEFT: case WXK_NUMPAD_LEFT: return VK_LEFT;
    case WXK_RIGHT: case WXK_NUMPAD_RIGHT: return VK_RIGHT;
    case WXK_UP: case WXK_NUMPAD_UP: return VK_UP;
    case WXK_DOWN: case WXK_NUMPAD_DOWN: return VK_DOWN;
    case WXK_HOME: case WXK_NUMPAD_HOME: return VK_HOME;
    case WXK_END: case WXK_NUMPAD_END: return VK_END;
    case WXK_NUMPAD_MULTIPLY: return VK_MULTIPLY;
    case WXK_NUMPAD_ADD: return VK_ADD;
    case WXK_NUMPAD_SUBTRACT: return VK_SUBTRACT;
    default: return 0;
  }
}

}  // namespace

// ---- window thread -------------------------------------------------------------

bool CWxWindowThread::IsWindowThread() const { return wxThread::IsMain(); }

bool CWxWindowThread::IsOpen() const {
  std::lock_guard lock(guard);
  return target != nullptr;
}

void CWxWindowThread::Post(std::function<void()> task) {
  std::lock_guard lock(guard);
  if (target) target->CallAfter(std::move(task));
}

void CWxWindowThread::Detach() {
  std::lock_guard lock(guard);
  target = nullptr;
}

// ---- window --------------------------------------------------------------------

CXHtmlTreeWnd::CXHtmlTreeWnd(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                             std::uint32_t treeStyle)
    : wxScrolled<wxWindow>(parent, id, pos, size,
                           wxWANTS_CHARS | wxBORDER_THEME | wxHSCROLL | wxVSCROLL | wxFULL_REPAINT_ON_RESIZE),
      tree(this),
      windowThread(std::make_shared<CWxWindowThread>(this)) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  const int textHeight = GetCharHeight();
  tree.SetItemHeight(std::max(CXHtmlTree::kDefaultCheckImageSize, textHeight) + 2);
  tree.Attach(id, treeStyle);
  SetScrollRate(8, tree.GetItemHeight());
  Bind(wxEVT_PAINT, &CXHtmlTreeWnd::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CXHtmlTreeWnd::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CXHtmlTreeWnd::OnLeftDClick, this);
  Bind(wxEVT_RIGHT_DOWN, &CXHtmlTreeWnd::OnRightDown, this);
  Bind(wxEVT_KEY_DOWN, &CXHtmlTreeWnd::OnKeyDown, this);
  Bind(wxEVT_SYS_COLOUR_CHANGED, &CXHtmlTreeWnd::OnSysColourChanged, this);
  Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) { Refresh(); e.Skip(); });
  Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) { Refresh(); e.Skip(); });
}

CXHtmlTreeWnd::~CXHtmlTreeWnd() {
  // Calls queued by workers after this point are dropped unrun.
  windowThread->Detach();
}

void CXHtmlTreeWnd::AssignImageList(wxImageList* images) {
  normalImages.reset(images);
  int width = 0, height = 0;
  if (images) images->GetSize(0, width, height);
  tree.SetNormalImageSize(images ? width : 0);
}

// ---- ITreeHost -----------------------------------------------------------------

wxFont CXHtmlTreeWnd::LabelFont(bool bold) const {
  wxFont font = GetFont();
  font.SetWeight(bold ? wxFONTWEIGHT_BOLD : wxFONTWEIGHT_NORMAL);
  return font;
}

int CXHtmlTreeWnd::MeasureLabel(const std::u16string& text, bool bold) {
  auto& cache = labelWidths[bold ? 1 : 0];
  if (auto it = cache.find(text); it != cache.end()) return it->second;
  wxClientDC dc(this);
  dc.SetFont(LabelFont(bold));
  const int width = dc.GetTextExtent(ToWx(text)).GetWidth();
  cache.emplace(text, width);
  return width;
}

bool CXHtmlTreeWnd::SetFont(const wxFont& font) {
  if (!wxScrolled<wxWindow>::SetFont(font)) return false;
  labelWidths[0].clear();
  labelWidths[1].clear();
  tree.SetItemHeight(std::max(tree.GetCheckImageSize(), GetCharHeight()) + 2);
  SetScrollRate(8, tree.GetItemHeight());
  return true;
}

TreeColours CXHtmlTreeWnd::ReadSystemColours() {
  TreeColours c;
  c.background = FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
  c.text = FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
  c.disabledText = FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
  c.highlight = FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT));
  c.highlightText = FromWx(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT));
  return c;
}

void CXHtmlTreeWnd::BuildCheckBoxImages(int cellSize, const TreeColours& colours) {
  stateImages = BuildCheckBoxImageList(this, cellSize, ToWx(colours.background));
}

void CXHtmlTreeWnd::RemoveStateImages() { stateImages.reset(); }

void CXHtmlTreeWnd::Invalidate() {
  if (!wxThread::IsMain()) {
    // The model belongs to the window's thread; a change made elsewhere
    // only gets its repaint queued here.
    CallAfter([this] { Invalidate(); });
    return;
  }
  Refresh();
  if (layoutPending) return;
  layoutPending = true;
  // Scroll extents are brought up to date once the current change is done.
  CallAfter([this] { UpdateLayout(); });
}

void CXHtmlTreeWnd::UpdateLayout() {
  layoutPending = false;
  const TreeRect extent = tree.GetContentExtent();
  SetVirtualSize(extent.right + 2, extent.bottom);
  Refresh();
}

void CXHtmlTreeWnd::MakeVisible(const TreeRect& rect) {
  UpdateLayout();
  int unitX = 1, unitY = 1;
  GetScrollPixelsPerUnit(&unitX, &unitY);
  const wxPoint start = CalcUnscrolledPosition(wxPoint(0, 0));
  const wxSize client = GetClientSize();
  int y = start.y;
  if (rect.top < start.y) y = rect.top;
  else if (rect.bottom > start.y + client.GetHeight()) y = rect.bottom - client.GetHeight();
  if (y != start.y && unitY > 0) Scroll(-1, (y + unitY - 1) / unitY);
}

void CXHtmlTreeWnd::ScrollFarLeft() { Scroll(0, -1); }

TreePoint CXHtmlTreeWnd::ToTree(const wxPoint& p) const {
  const wxPoint logical = CalcUnscrolledPosition(p);
  return TreePoint{logical.x, logical.y};
}

// ---- painting ------------------------------------------------------------------

void CXHtmlTreeWnd::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  DoPrepareDC(dc);
  const wxColour background = ToWx(tree.GetColours().background);
  dc.SetBackground(wxBrush(background));
  dc.Clear();
  const wxPoint start = CalcUnscrolledPosition(wxPoint(0, 0));
  const wxSize client = GetClientSize();
  const int rowRight = std::max(GetVirtualSize().GetWidth(), start.x + client.GetWidth());
  for (const CTreeCtrl::RowLayout& row : tree.GetVisibleRows()) {
    if (row.row.bottom < start.y || row.row.top > start.y + client.GetHeight()) continue;
    DrawRow(dc, row, rowRight);
  }
}

void CXHtmlTreeWnd::DrawRow(wxDC& dc, const CTreeCtrl::RowLayout& row, int rowRight) {
  const int top = row.row.top;
  const int height = row.row.Height();
  if (tree.GetStyle() & TVS_HASLINES) DrawLines(dc, row);
  if (row.button.Width() > 0) {
    const int size = 9;
    const wxRect box(row.button.left + (row.button.Width() - size) / 2, top + (height - size) / 2, size, size);
    const int flags = tree.IsPlatformExpanded(row.item) ? static_cast<int>(wxCONTROL_EXPANDED) : 0;
    wxRendererNative::Get().DrawTreeItemButton(this, dc, box, flags);
  }
  const int cell = tree.GetCheckImageIndex(row.item);
  if (stateImages && tree.HasStateImages() && cell > 0 && cell < stateImages->GetImageCount()) {
    const int y = top + (height - tree.GetStateImageSize()) / 2;
    stateImages->Draw(cell, dc, row.stateIcon.left, y, wxIMAGELIST_DRAW_TRANSPARENT);
  }
  if (normalImages && row.icon.Width() > 0) {
    int image = 0, selected = 0;
    tree.GetItemImage(row.item, image, selected);
    if (tree.GetItemState(row.item, TVIS_SELECTED)) image = selected;
    int w = 0, h = 0;
    normalImages->GetSize(0, w, h);
    if (image >= 0 && image < normalImages->GetImageCount())
      normalImages->Draw(image, dc, row.icon.left, top + (height - h) / 2, wxIMAGELIST_DRAW_TRANSPARENT);
  }
  DrawLabel(dc, row, rowRight);
}

void CXHtmlTreeWnd::DrawLines(wxDC& dc, const CTreeCtrl::RowLayout& row) {
  const int indent = tree.GetIndent();
  const int rootLevel = (tree.GetStyle() & TVS_LINESATROOT) ? 1 : 0;
  const int level = row.depth + rootLevel;
  if (level == 0) return;
  dc.SetPen(wxPen(ToWx(tree.GetColours().disabledText), 1, wxPENSTYLE_DOT));
  const int top = row.row.top, bottom = row.row.bottom, mid = (top + bottom) / 2;
  const int x = (level - 1) * indent + indent / 2;
  const bool first = row.depth == 0 && tree.GetPrevSiblingItem(row.item) == kNoItem;
  dc.DrawLine(x, first ? mid : top, x, tree.GetNextSiblingItem(row.item) ? bottom : mid + 1);
  dc.DrawLine(x, mid, row.stateIcon.left, mid);
  // Lines of the ancestors that have further siblings below.
  HTREEITEM ancestor = tree.GetParentItem(row.item);
  for (int l = level - 1; ancestor != kNoItem && l >= 1; --l, ancestor = tree.GetParentItem(ancestor)) {
    if (tree.GetNextSiblingItem(ancestor) != kNoItem) {
      const int ax = (l - 1) * indent + indent / 2;
      dc.DrawLine(ax, top, ax, bottom);
    }
  }
}

void CXHtmlTreeWnd::DrawLabel(wxDC& dc, const CTreeCtrl::RowLayout& row, int rowRight) {
  const CXHtmlTree::LabelColours look = tree.GetLabelColours(row.item);
  const wxColour background = ToWx(tree.GetColours().background);
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(background));
  dc.DrawRectangle(row.label.left, row.row.top, rowRight - row.label.left, row.row.Height());
  dc.SetFont(LabelFont(tree.GetItemBold(row.item)));
  if (ToWx(look.background) != background) {
    dc.SetBrush(wxBrush(ToWx(look.background)));
    dc.DrawRectangle(ToWx(row.label));
  }
  if (HasFocus() && tree.GetSelectedItem() == row.item) {
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(ToWx(look.text), 1, wxPENSTYLE_DOT));
    dc.DrawRectangle(ToWx(row.label));
  }
  dc.SetTextForeground(ToWx(look.text));
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  const wxString text = ToWx(tree.GetItemText(row.item));
  const int textHeight = dc.GetTextExtent(text.empty() ? wxString("Ag") : text).GetHeight();
  dc.DrawText(text, row.label.left + CTreeCtrl::kLabelPadding, row.row.top + (row.row.Height() - textHeight) / 2);
}

// ---- input -------------------------------------------------------------------

void CXHtmlTreeWnd::OnLeftDown(wxMouseEvent& event) {
  SetFocus();
  tree.OnLButtonDown(ToTree(event.GetPosition()));
}

void CXHtmlTreeWnd::OnLeftDClick(wxMouseEvent& event) { tree.OnLButtonDblClk(ToTree(event.GetPosition())); }

void CXHtmlTreeWnd::OnRightDown(wxMouseEvent& event) {
  tree.OnRButtonDown(ToTree(event.GetPosition()));
  event.Skip();
}

void CXHtmlTreeWnd::OnKeyDown(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_TAB) {
    Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward : wxNavigationKeyEvent::IsForward);
    return;
  }
  const int key = VirtualKeyOf(event.GetKeyCode());
  if (key == 0 || event.HasAnyModifiers() || !tree.OnKeyDown(key)) event.Skip();
}

void CXHtmlTreeWnd::OnSysColourChanged(wxSysColourChangedEvent& event) {
  tree.OnSysColorChange();
  event.Skip();
}

}  // namespace tree

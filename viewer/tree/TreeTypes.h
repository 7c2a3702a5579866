// Handles, styles, item states, hit-test flags, expand codes, key codes and
// colours of the tree-view control, with the values the viewer's folder tree
// and its parent window exchange.
#pragma once

#include <cstdint>

namespace tree {

// Item handle; 0 is "none". Handles are never reused while the control lives,
// so a stale handle finds nothing instead of another item.
using HTREEITEM = std::uint32_t;
inline constexpr HTREEITEM kNoItem = 0;
inline constexpr HTREEITEM TVI_ROOT = 0xFFFF0000u;
inline constexpr HTREEITEM TVI_FIRST = 0xFFFF0001u;
inline constexpr HTREEITEM TVI_LAST = 0xFFFF0002u;

// Window styles of the tree.
inline constexpr std::uint32_t TVS_HASBUTTONS = 0x0001;
inline constexpr std::uint32_t TVS_HASLINES = 0x0002;
inline constexpr std::uint32_t TVS_LINESATROOT = 0x0004;
inline constexpr std::uint32_t TVS_DISABLEDRAGDROP = 0x0010;
inline constexpr std::uint32_t TVS_SHOWSELALWAYS = 0x0020;
inline constexpr std::uint32_t TVS_CHECKBOXES = 0x0100;
inline constexpr std::uint32_t TVS_NOTOOLTIPS = 0x0080;
inline constexpr std::uint32_t TVS_INFOTIP = 0x0800;
inline constexpr std::uint32_t TVS_FULLROWSELECT = 0x1000;

// Item state bits.
inline constexpr std::uint32_t TVIS_SELECTED = 0x0002;
inline constexpr std::uint32_t TVIS_DROPHILITED = 0x0008;
inline constexpr std::uint32_t TVIS_EXPANDED = 0x0020;
inline constexpr std::uint32_t TVIS_STATEIMAGEMASK = 0xF000;
constexpr std::uint32_t INDEXTOSTATEIMAGEMASK(int i) { return static_cast<std::uint32_t>(i) << 12; }
constexpr int STATEIMAGEMASKTOINDEX(std::uint32_t state) { return static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12); }

// Hit-test flags.
inline constexpr std::uint32_t TVHT_NOWHERE = 0x0001;
inline constexpr std::uint32_t TVHT_ONITEMICON = 0x0002;
inline constexpr std::uint32_t TVHT_ONITEMLABEL = 0x0004;
inline constexpr std::uint32_t TVHT_ONITEMINDENT = 0x0008;
inline constexpr std::uint32_t TVHT_ONITEMBUTTON = 0x0010;
inline constexpr std::uint32_t TVHT_ONITEMRIGHT = 0x0020;
inline constexpr std::uint32_t TVHT_ONITEMSTATEICON = 0x0040;
inline constexpr std::uint32_t TVHT_ABOVE = 0x0100;
inline constexpr std::uint32_t TVHT_BELOW = 0x0200;
inline constexpr std::uint32_t TVHT_TORIGHT = 0x0400;
inline constexpr std::uint32_t TVHT_TOLEFT = 0x0800;
inline constexpr std::uint32_t TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;

// Expand codes.
inline constexpr std::uint32_t TVE_COLLAPSE = 0x0001;
inline constexpr std::uint32_t TVE_EXPAND = 0x0002;
inline constexpr std::uint32_t TVE_TOGGLE = 0x0003;
inline constexpr std::uint32_t TVE_COLLAPSERESET = 0x8000;

// Virtual key codes the tree reacts to.
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SUBTRACT = 0x6D;

// Colour as 0x00BBGGRR, the layout of a Windows COLORREF.
using COLORREF = std::uint32_t;
constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

// The five system colours the tree paints with.
struct TreeColours {
  COLORREF background = RGB(255, 255, 255);   // COLOR_WINDOW
  COLORREF text = RGB(0, 0, 0);               // COLOR_WINDOWTEXT
  COLORREF disabledText = RGB(109, 109, 109); // COLOR_GRAYTEXT
  COLORREF highlight = RGB(0, 120, 215);      // COLOR_HIGHLIGHT
  COLORREF highlightText = RGB(255, 255, 255);// COLOR_HIGHLIGHTTEXT
  bool operator==(const TreeColours&) const = default;
};

struct TreePoint {
  int x = 0;
  int y = 0;
};

struct TreeRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Contains(TreePoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

}  // namespace tree

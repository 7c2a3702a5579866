// Messages the folder tree sends to its parent window: the label press
// (WM_USER + 150), the two registered notifications for a check-box change and
// an expansion change, and the selection-change notification. They are
// delivered synchronously through a callback that stands for the parent window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/tree/TreeTypes.h"

namespace tree {

class CXHtmlTree;

inline constexpr std::uint32_t WM_NOTIFY = 0x004E;
inline constexpr std::uint32_t WM_USER = 0x0400;
// Left button pressed on an item's label.
inline constexpr std::uint32_t WM_XHTMLTREE_LABEL_PRESSED = WM_USER + 150;
inline constexpr int TVN_SELCHANGEDW = -451;

inline constexpr char16_t kCheckboxClickedName[] = u"WM_XHTMLTREE_CHECKBOX_CLICKED";
inline constexpr char16_t kItemExpandedName[] = u"WM_XHTMLTREE_ITEM_EXPANDED";

// Process-wide message numbers for named messages (0xC000 and up); the same
// name always yields the same number.
std::uint32_t RegisterWindowMessage(const std::u16string& name);
std::uint32_t WM_XHTMLTREE_CHECKBOX_CLICKED();
std::uint32_t WM_XHTMLTREE_ITEM_EXPANDED();

// Record whose address travels with the two registered messages.
struct XHTMLTREEMSGDATA {
  const CXHtmlTree* hCtrl = nullptr;
  int idCtrl = 0;
  HTREEITEM item = kNoItem;
};

// One message as the parent receives it.
//  - WM_XHTMLTREE_LABEL_PRESSED: wParam = hit-test flags, item = lParam.
//  - WM_XHTMLTREE_CHECKBOX_CLICKED / _ITEM_EXPANDED: data, lParam = new value.
//  - WM_NOTIFY: wParam = control id, notifyCode = TVN_SELCHANGEDW, and the
//    notification's new item in item (everything else zero).
struct TreeMessage {
  std::uint32_t message = 0;
  std::uint32_t wParam = 0;
  std::intptr_t lParam = 0;
  HTREEITEM item = kNoItem;
  XHTMLTREEMSGDATA data;
  int notifyCode = 0;
};

// A window that receives the tree's messages; empty means "not a window".
using TreeMessageSink = std::function<void(const TreeMessage&)>;

}  // namespace tree

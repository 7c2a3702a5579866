// Mouse and keyboard rules of the folder tree.
#include "viewer/tree/CXHtmlTree.h"

#include "viewer/tree/CheckBoxCells.h"

namespace tree {

void CXHtmlTree::OnLButtonDown(TreePoint point) {
  if (const HTREEITEM current = GetSelectedItem(); current != kNoItem)
    SetItemState(current, 0, TVIS_SELECTED);
  std::uint32_t flags = 0;
  const HTREEITEM item = HitTest(point, &flags);
  // The control's own handling of the press, during which it raises the
  // click notification.
  PlatformLButtonDown(point);
  OnClick(point);
  SelectItem(item);
  SelectDropTarget(item);
  if (item != kNoItem) SetItemState(item, TVIS_SELECTED, TVIS_SELECTED);
  if (item != kNoItem && flags == TVHT_ONITEMLABEL) {
    TreeMessage message;
    message.message = WM_XHTMLTREE_LABEL_PRESSED;
    message.wParam = flags;
    message.lParam = static_cast<std::intptr_t>(item);
    message.item = item;
    SendToParent(message);
  }
}

void CXHtmlTree::OnClick(TreePoint point) {
  std::uint32_t flags = 0;
  const HTREEITEM item = HitTest(point, &flags);
  XHTMLTREEDATA* record = Lookup(item);
  if (!record || !record->enabled || !(flags & TVHT_ONITEMSTATEICON)) return;
  SetCheck(item, record->checked == 0);
  if (selectOnCheckClick) SelectItem(item);
  // The hot look stays until the item's image is next recomputed.
  const int index = GetStateImage(item);
  if (index > 0 && index < kHotOffset) SetStateImage(item, index + kHotOffset);
}

void CXHtmlTree::OnLButtonDblClk(TreePoint point) {
  std::uint32_t flags = 0;
  const HTREEITEM item = HitTest(point, &flags);
  constexpr std::uint32_t kOnParts = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMBUTTON | TVHT_ONITEMSTATEICON;
  if (item == kNoItem || !(flags & kOnParts)) return;
  XHTMLTREEDATA* record = Lookup(item);
  if (record && !record->enabled) return;
  if (!ItemHasChildren(item)) return;
  bool open = !IsPlatformExpanded(item);
  if (record) {
    record->expanded = record->expanded ? 0 : 1;
    open = record->expanded != 0;
    SendRegistered(WM_XHTMLTREE_ITEM_EXPANDED(), item, record->expanded);
  }
  CTreeCtrl::Expand(item, open ? TVE_EXPAND : TVE_COLLAPSE);
}

void CXHtmlTree::OnRButtonDown(TreePoint) {}

bool CXHtmlTree::OnKeyDown(int virtualKey) {
  const HTREEITEM sel = GetSelectedItem();
  const XHTMLTREEDATA* record = Lookup(sel);
  const bool enabled = record && record->enabled;
  switch (virtualKey) {
    case VK_SPACE:
      if (!checkBoxes) break;
      if (record) SetCheck(sel, record->checked == 0);
      return true;
    case VK_RIGHT:
      if (enabled && record->descendantCount > 0 && !record->expanded) return Expand(sel, TVE_EXPAND), true;
      break;
    case VK_LEFT:
      if (enabled && record->expanded) return Expand(sel, TVE_COLLAPSE), true;
      break;
    case VK_DOWN:
    case VK_UP:
      for (HTREEITEM x = sel; x != kNoItem;) {
        x = virtualKey == VK_DOWN ? GetNextVisibleItem(x) : GetPrevVisibleItem(x);
        if (IsItemEnabled(x)) return SelectItem(x), true;
      }
      break;
    case VK_MULTIPLY:
      if (sel == kNoItem) return true;
      ExpandBranch(sel);
      EnsureVisible(sel);
      Host().ScrollFarLeft();
      return true;
    case VK_ADD:
      Expand(sel, TVE_EXPAND);
      return true;
    case VK_SUBTRACT:
      Expand(sel, TVE_COLLAPSE);
      return true;
    default:
      break;
  }
  return PlatformKeyDown(virtualKey);
}

void CXHtmlTree::ExpandBranch(HTREEITEM item) {
  if (!ItemHasChildren(item)) return;
  Expand(item, TVE_EXPAND);
  for (HTREEITEM child = GetChildItem(item); child != kNoItem; child = GetNextSiblingItem(child))
    ExpandBranch(child);
}

void CXHtmlTree::CollapseBranch(HTREEITEM item) {
  if (!ItemHasChildren(item)) return;
  for (HTREEITEM child = GetChildItem(item); child != kNoItem; child = GetNextSiblingItem(child))
    CollapseBranch(child);
  Expand(item, TVE_COLLAPSE);
}

}  // namespace tree

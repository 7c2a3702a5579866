#include "viewer/tree/CXHtmlTree.h"

#include "viewer/tree/CheckBoxCells.h"

namespace tree {

CXHtmlTree::CXHtmlTree(ITreeHost* hostWindow) : CTreeCtrl(hostWindow) {
  colours = Host().ReadSystemColours();
}

CXHtmlTree::~CXHtmlTree() = default;

// ---- records -----------------------------------------------------------------

XHTMLTREEDATA* CXHtmlTree::Lookup(HTREEITEM item) {
  if (item == kNoItem || lookupsSuspended > 0) return nullptr;
  auto it = records.find(item);
  return it == records.end() ? nullptr : &it->second;
}

const XHTMLTREEDATA* CXHtmlTree::Lookup(HTREEITEM item) const {
  return const_cast<CXHtmlTree*>(this)->Lookup(item);
}

const XHTMLTREEDATA* CXHtmlTree::GetItemRecord(HTREEITEM item) const { return Lookup(item); }

void CXHtmlTree::OnItemDeleted(HTREEITEM item) { records.erase(item); }

// ---- set-up ------------------------------------------------------------------

void CXHtmlTree::Attach(int ctrlId, std::uint32_t windowStyle) {
  SetDlgCtrlID(ctrlId);
  ModifyStyle(0, windowStyle);
  if (windowStyle & TVS_CHECKBOXES) checkBoxes = 1;
  // The platform's own two-state boxes give way to the control's images.
  ModifyStyle(TVS_CHECKBOXES, TVS_NOTOOLTIPS | TVS_DISABLEDRAGDROP);
  if (checkBoxes) BuildCheckBoxImages();
}

void CXHtmlTree::Initialize(bool withCheckBoxes) {
  ++lookupsSuspended;
  DeleteAllItems();
  Host().RemoveStateImages();
  SetStateImageSize(0);
  checkBoxes = withCheckBoxes ? 1 : 0;
  smartCheck = 0;
  selectOnCheckClick = 1;
  checkImageSize = kDefaultCheckImageSize;
  colours = Host().ReadSystemColours();
  if (checkBoxes) BuildCheckBoxImages();
  --lookupsSuspended;
}

void CXHtmlTree::BuildCheckBoxImages() {
  Host().BuildCheckBoxImages(checkImageSize, colours);
  SetStateImageSize(checkImageSize);
}

void CXHtmlTree::OnSysColorChange() {
  colours = Host().ReadSystemColours();
  Invalidate();
}

// ---- insertion and deletion ----------------------------------------------------

HTREEITEM CXHtmlTree::InsertItem(const std::u16string& text, int image, int selectedImage,
                                 HTREEITEM parent, HTREEITEM insertAfter) {
  const HTREEITEM item = CTreeCtrl::InsertItem(text, image, selectedImage, parent, insertAfter);
  if (item == kNoItem) return kNoItem;
  records[item] = XHTMLTREEDATA{};
  SetStateImage(item, static_cast<int>(CheckState::Unchecked));
  // A new record starts unchecked: it adds a descendant but no checked one.
  if (smartCheck) UpdateAncestors(item, 0, 1);
  return item;
}

bool CXHtmlTree::DeleteItem(HTREEITEM item) {
  const XHTMLTREEDATA* record = Lookup(item);
  if (record && smartCheck) {
    // The ancestors lose the whole subtree and the checked items in it.
    UpdateAncestors(item, -(record->checkedCount + record->checked), -(record->descendantCount + 1));
  }
  return CTreeCtrl::DeleteItem(item);
}

bool CXHtmlTree::DeleteAllItems() {
  for (HTREEITEM top = GetRootItem(); top != kNoItem; top = GetNextSiblingItem(top))
    CollapseBranch(top);
  SelectItem(GetRootItem());
  Host().ScrollFarLeft();
  ++lookupsSuspended;
  CTreeCtrl::DeleteAllItems();
  records.clear();
  --lookupsSuspended;
  return true;
}

// ---- check state -----------------------------------------------------------------

CheckState CXHtmlTree::BaseState(const XHTMLTREEDATA& record) const {
  if (smartCheck && record.descendantCount > 0) {
    if (record.checkedCount == 0) return CheckState::Unchecked;
    if (record.checkedCount == record.descendantCount) return CheckState::Checked;
    return CheckState::Mixed;
  }
  return record.checked ? CheckState::Checked : CheckState::Unchecked;
}

CheckState CXHtmlTree::GetCheckState(HTREEITEM item) const {
  const XHTMLTREEDATA* record = Lookup(item);
  if (!checkBoxes || !record) return CheckState::None;
  return BaseState(*record);
}

int CXHtmlTree::GetCheck(HTREEITEM item) const {
  return GetCheckState(item) == CheckState::Checked ? 1 : 0;
}

void CXHtmlTree::UpdateImage(HTREEITEM item) {
  const XHTMLTREEDATA* record = Lookup(item);
  if (!record) return;
  int index = static_cast<int>(BaseState(*record));
  if (!record->enabled) index += kDisabledOffset;
  SetStateImage(item, index);
}

bool CXHtmlTree::SetCheck(HTREEITEM item, bool checked) {
  XHTMLTREEDATA* record = Lookup(item);
  if (!checkBoxes || !record || !record->enabled) return false;
  const int value = checked ? 1 : 0;
  const int old = record->checked;
  record->checked = value;
  UpdateImage(item);
  if (smartCheck && old != value) {
    // The item itself plus every descendant whose flag flips.
    const int delta = value ? record->descendantCount - record->checkedCount + 1
                            : -(record->checkedCount + 1);
    SetSubtreeCheck(item, checked);
    UpdateAncestors(item, delta, 0);
  }
  SendRegistered(WM_XHTMLTREE_CHECKBOX_CLICKED(), item, value);
  return true;
}

void CXHtmlTree::SetSubtreeCheck(HTREEITEM item, bool checked) {
  XHTMLTREEDATA* record = Lookup(item);
  if (record && record->enabled) {
    record->checked = checked ? 1 : 0;
    record->checkedCount = checked ? record->descendantCount : 0;
    SetStateImage(item, static_cast<int>(checked ? CheckState::Checked : CheckState::Unchecked));
  }
  for (HTREEITEM child = GetChildItem(item); child != kNoItem; child = GetNextSiblingItem(child))
    SetSubtreeCheck(child, checked);
}

int CXHtmlTree::UpdateAncestor(HTREEITEM ancestor, int delta) {
  XHTMLTREEDATA* record = Lookup(ancestor);
  if (!record) return delta;
  record->checkedCount += delta;
  if (record->checkedCount < 0) record->checkedCount = 0;
  const int nowChecked = record->checkedCount == record->descendantCount ? 1 : 0;
  if (nowChecked != record->checked) {
    // The ancestor itself now counts, or no longer counts, for those above.
    delta += nowChecked ? 1 : -1;
    record->checked = nowChecked;
  }
  UpdateImage(ancestor);
  return delta;
}

void CXHtmlTree::UpdateAncestors(HTREEITEM item, int delta, int descendantChange) {
  for (HTREEITEM a = GetParentItem(item); a != kNoItem; a = GetParentItem(a)) {
    if (XHTMLTREEDATA* record = Lookup(a)) record->descendantCount += descendantChange;
    delta = UpdateAncestor(a, delta);
  }
}

// ---- checked-item walk -----------------------------------------------------------

HTREEITEM CXHtmlTree::GetNextItemPreorder(HTREEITEM item) const {
  if (const HTREEITEM child = GetChildItem(item); child != kNoItem) return child;
  for (HTREEITEM x = item; x != kNoItem; x = GetParentItem(x))
    if (const HTREEITEM next = GetNextSiblingItem(x); next != kNoItem) return next;
  return kNoItem;
}

HTREEITEM CXHtmlTree::GetFirstCheckedItem() const {
  if (!checkBoxes) return kNoItem;
  for (HTREEITEM x = GetRootItem(); x != kNoItem; x = GetNextItemPreorder(x))
    if (GetCheck(x)) return x;
  return kNoItem;
}

HTREEITEM CXHtmlTree::GetNextCheckedItem(HTREEITEM item) const {
  if (!checkBoxes || !IsItem(item)) return kNoItem;
  for (HTREEITEM x = GetNextItemPreorder(item); x != kNoItem; x = GetNextItemPreorder(x))
    if (GetCheck(x)) return x;
  return kNoItem;
}

int CXHtmlTree::GetCheckedCount() const {
  if (!checkBoxes) return 0;
  int count = 0;
  for (HTREEITEM x = GetRootItem(); x != kNoItem; x = GetNextItemPreorder(x))
    count += GetCheck(x);
  return count;
}

// ---- other item operations ---------------------------------------------------------

int CXHtmlTree::SetItemBold(HTREEITEM item, bool bold) {
  XHTMLTREEDATA* record = Lookup(item);
  if (!record) return 0;
  const int previous = record->bold;
  record->bold = bold ? 1 : 0;
  Invalidate();
  return previous;
}

bool CXHtmlTree::GetItemBold(HTREEITEM item) const {
  const XHTMLTREEDATA* record = Lookup(item);
  return record && record->bold;
}

bool CXHtmlTree::EnableItem(HTREEITEM item, bool enabled) {
  XHTMLTREEDATA* record = Lookup(item);
  if (!record) return false;
  record->enabled = enabled ? 1 : 0;
  UpdateImage(item);
  return true;
}

bool CXHtmlTree::IsItemEnabled(HTREEITEM item) const {
  const XHTMLTREEDATA* record = Lookup(item);
  return record && record->enabled;
}

bool CXHtmlTree::Expand(HTREEITEM item, std::uint32_t code) {
  XHTMLTREEDATA* record = Lookup(item);
  if (record && record->enabled && ItemHasChildren(item)) {
    int expanded = 0;
    switch (code & TVE_TOGGLE) {
      case TVE_EXPAND: expanded = 1; break;
      case TVE_TOGGLE: expanded = record->expanded ? 0 : 1; break;
      default: expanded = 0; break;
    }
    if (expanded != record->expanded) {
      record->expanded = expanded;
      SendRegistered(WM_XHTMLTREE_ITEM_EXPANDED(), item, expanded);
    }
  }
  return CTreeCtrl::Expand(item, code);
}

bool CXHtmlTree::SelectItem(HTREEITEM item) {
  if (item == GetSelectedItem()) return true;
  const XHTMLTREEDATA* record = Lookup(item);
  if (record && record->enabled) {
    TreeMessage message;
    message.message = WM_NOTIFY;
    message.wParam = static_cast<std::uint32_t>(GetDlgCtrlID());
    message.notifyCode = TVN_SELCHANGEDW;
    message.item = item;
    message.data = MessageData(item);
    SendToParent(message);
    return CTreeCtrl::SelectItem(item);
  }
  if (GetSelectedItem() != kNoItem) CTreeCtrl::SelectItem(GetSelectedItem());
  return false;
}

int CXHtmlTree::GetItemPath(HTREEITEM item, std::vector<std::u16string>& texts,
                            std::vector<HTREEITEM>& items) const {
  texts.clear();
  items.clear();
  if (item == kNoItem) item = GetRootItem();
  for (HTREEITEM x = item; IsItem(x); x = GetParentItem(x)) {
    texts.insert(texts.begin(), GetItemText(x));
    items.insert(items.begin(), x);
  }
  return items.empty() ? 0 : 1;
}

CXHtmlTree::LabelColours CXHtmlTree::GetLabelColours(HTREEITEM item) const {
  const bool highlighted = (GetItemState(item, TVIS_SELECTED | TVIS_DROPHILITED)) != 0 ||
                           (item != kNoItem && item == GetDropHilightItem());
  if (highlighted) return {colours.highlightText, colours.highlight};
  const XHTMLTREEDATA* record = Lookup(item);
  if (record && !record->enabled) return {colours.disabledText, colours.background};
  return {colours.text, colours.background};
}

// ---- messages ------------------------------------------------------------------------

XHTMLTREEMSGDATA CXHtmlTree::MessageData(HTREEITEM item) const {
  return XHTMLTREEMSGDATA{this, GetDlgCtrlID(), item};
}

void CXHtmlTree::SendRegistered(std::uint32_t messageId, HTREEITEM item, int value) const {
  TreeMessage message;
  message.message = messageId;
  message.item = item;
  message.data = MessageData(item);
  message.lParam = value;
  SendToParent(message);
}

}  // namespace tree

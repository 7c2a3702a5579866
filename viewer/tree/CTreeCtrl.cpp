#include "viewer/tree/CTreeCtrl.h"

#include <algorithm>

namespace tree {

CTreeCtrl::CTreeCtrl(ITreeHost* hostWindow) : host(hostWindow ? hostWindow : &headlessHost) {}

CTreeCtrl::~CTreeCtrl() = default;

void CTreeCtrl::SetHost(ITreeHost* newHost) { host = newHost ? newHost : &headlessHost; }

CTreeCtrl::Node* CTreeCtrl::Find(HTREEITEM item) const {
  if (item == kNoItem) return nullptr;
  auto it = nodes.find(item);
  return it == nodes.end() ? nullptr : it->second.get();
}

bool CTreeCtrl::IsItem(HTREEITEM item) const { return Find(item) != nullptr; }

// ---- items -----------------------------------------------------------------

HTREEITEM CTreeCtrl::InsertItem(const std::u16string& text, int image, int selectedImage,
                                HTREEITEM parent, HTREEITEM insertAfter) {
  Node* parentNode = nullptr;
  if (parent != TVI_ROOT && parent != kNoItem) {
    parentNode = Find(parent);
    if (!parentNode) return kNoItem;
  }
  if (insertAfter != TVI_FIRST && insertAfter != TVI_LAST && insertAfter != TVI_ROOT) {
    Node* after = Find(insertAfter);
    if (!after || after->parent != parentNode) return kNoItem;
  }
  auto node = std::make_unique<Node>();
  node->handle = nextHandle++;
  node->text = text;
  node->image = image;
  node->selectedImage = selectedImage;
  Node* raw = node.get();
  nodes.emplace(raw->handle, std::move(node));
  Link(raw, parentNode, insertAfter);
  Invalidate();
  return raw->handle;
}

void CTreeCtrl::Link(Node* node, Node* parent, HTREEITEM insertAfter) {
  Node*& first = parent ? parent->firstChild : firstTop;
  Node*& last = parent ? parent->lastChild : lastTop;
  node->parent = parent;
  Node* after = nullptr;
  if (insertAfter == TVI_LAST) after = last;
  else if (insertAfter != TVI_FIRST && insertAfter != TVI_ROOT) after = Find(insertAfter);
  node->prev = after;
  node->next = after ? after->next : first;
  if (node->next) node->next->prev = node; else last = node;
  if (after) after->next = node; else first = node;
}

void CTreeCtrl::Unlink(Node* node) {
  Node*& first = node->parent ? node->parent->firstChild : firstTop;
  Node*& last = node->parent ? node->parent->lastChild : lastTop;
  if (node->prev) node->prev->next = node->next; else first = node->next;
  if (node->next) node->next->prev = node->prev; else last = node->prev;
  node->prev = node->next = nullptr;
}

void CTreeCtrl::DeleteSubtree(Node* node) {
  while (node->firstChild) {
    Node* child = node->firstChild;
    Unlink(child);
    DeleteSubtree(child);
  }
  OnItemDeleted(node->handle);
  if (caret == node->handle) caret = kNoItem;
  if (dropHilite == node->handle) dropHilite = kNoItem;
  nodes.erase(node->handle);
}

bool CTreeCtrl::DeleteItem(HTREEITEM item) {
  Node* node = Find(item);
  if (!node) return false;
  Node* parent = node->parent;
  Unlink(node);
  DeleteSubtree(node);
  if (parent && !parent->firstChild) parent->state &= ~TVIS_EXPANDED;
  Invalidate();
  return true;
}

bool CTreeCtrl::DeleteAllItems() {
  while (firstTop) {
    Node* top = firstTop;
    Unlink(top);
    DeleteSubtree(top);
  }
  caret = dropHilite = kNoItem;
  Invalidate();
  return true;
}

std::u16string CTreeCtrl::GetItemText(HTREEITEM item) const {
  const Node* node = Find(item);
  return node ? node->text : std::u16string();
}

bool CTreeCtrl::SetItemText(HTREEITEM item, const std::u16string& text) {
  Node* node = Find(item);
  if (!node) return false;
  node->text = text;
  Invalidate();
  return true;
}

std::uint32_t CTreeCtrl::GetItemData(HTREEITEM item) const {
  const Node* node = Find(item);
  return node ? node->data : 0;
}

bool CTreeCtrl::SetItemData(HTREEITEM item, std::uint32_t data) {
  Node* node = Find(item);
  if (!node) return false;
  node->data = data;
  return true;
}

bool CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
  const Node* node = Find(item);
  if (!node) return false;
  image = node->image;
  selectedImage = node->selectedImage;
  return true;
}

bool CTreeCtrl::SetItemImage(HTREEITEM item, int image, int selectedImage) {
  Node* node = Find(item);
  if (!node) return false;
  node->image = image;
  node->selectedImage = selectedImage;
  Invalidate();
  return true;
}

std::uint32_t CTreeCtrl::GetItemState(HTREEITEM item, std::uint32_t mask) const {
  const Node* node = Find(item);
  return node ? (node->state & mask) : 0;
}

bool CTreeCtrl::SetItemState(HTREEITEM item, std::uint32_t state, std::uint32_t mask) {
  Node* node = Find(item);
  if (!node) return false;
  node->state = (node->state & ~mask) | (state & mask);
  Invalidate();
  return true;
}

void CTreeCtrl::SetStateImage(HTREEITEM item, int index) {
  SetItemState(item, INDEXTOSTATEIMAGEMASK(index), TVIS_STATEIMAGEMASK);
}

// ---- navigation ------------------------------------------------------------

HTREEITEM CTreeCtrl::GetRootItem() const { return firstTop ? firstTop->handle : kNoItem; }

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const {
  if (item == TVI_ROOT) return GetRootItem();
  const Node* node = Find(item);
  return node && node->firstChild ? node->firstChild->handle : kNoItem;
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const {
  const Node* node = Find(item);
  return node && node->next ? node->next->handle : kNoItem;
}

HTREEITEM CTreeCtrl::GetPrevSiblingItem(HTREEITEM item) const {
  const Node* node = Find(item);
  return node && node->prev ? node->prev->handle : kNoItem;
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
  const Node* node = Find(item);
  return node && node->parent ? node->parent->handle : kNoItem;
}

bool CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
  const Node* node = Find(item);
  return node && node->firstChild;
}

int CTreeCtrl::GetItemDepth(HTREEITEM item) const {
  const Node* node = Find(item);
  if (!node) return -1;
  int depth = 0;
  for (const Node* p = node->parent; p; p = p->parent) ++depth;
  return depth;
}

bool CTreeCtrl::IsShown(const Node* node) const {
  for (const Node* p = node->parent; p; p = p->parent)
    if (!(p->state & TVIS_EXPANDED)) return false;
  return true;
}

CTreeCtrl::Node* CTreeCtrl::NextVisible(const Node* node) const {
  if (node->firstChild && (node->state & TVIS_EXPANDED)) return node->firstChild;
  for (const Node* n = node; n; n = n->parent)
    if (n->next) return n->next;
  return nullptr;
}

HTREEITEM CTreeCtrl::GetNextVisibleItem(HTREEITEM item) const {
  const Node* node = Find(item);
  if (!node || !IsShown(node)) return kNoItem;
  const Node* next = NextVisible(node);
  return next ? next->handle : kNoItem;
}

HTREEITEM CTreeCtrl::GetPrevVisibleItem(HTREEITEM item) const {
  const Node* node = Find(item);
  if (!node || !IsShown(node)) return kNoItem;
  if (!node->prev) return node->parent ? node->parent->handle : kNoItem;
  const Node* p = node->prev;
  while (p->lastChild && (p->state & TVIS_EXPANDED)) p = p->lastChild;
  return p->handle;
}

HTREEITEM CTreeCtrl::GetLastVisibleItem() const {
  const Node* p = lastTop;
  if (!p) return kNoItem;
  while (p->lastChild && (p->state & TVIS_EXPANDED)) p = p->lastChild;
  return p->handle;
}

// ---- platform expansion and selection -------------------------------------

bool CTreeCtrl::Expand(HTREEITEM item, std::uint32_t code) {
  Node* node = Find(item);
  if (!node || !node->firstChild) return false;
  bool open = (node->state & TVIS_EXPANDED) != 0;
  switch (code & TVE_TOGGLE) {
    case TVE_EXPAND: open = true; break;
    case TVE_TOGGLE: open = !open; break;
    default: open = false; break;  // TVE_COLLAPSE, TVE_COLLAPSERESET
  }
  if (open) {
    node->state |= TVIS_EXPANDED;
  } else {
    node->state &= ~TVIS_EXPANDED;
    // A selection hidden by the collapse moves to the collapsed item.
    for (const Node* p = Find(caret); p; p = p->parent)
      if (p->parent == node) { SetCaret(node->handle); break; }
  }
  Invalidate();
  return true;
}

void CTreeCtrl::SetCaret(HTREEITEM item) {
  if (Node* old = Find(caret)) old->state &= ~TVIS_SELECTED;
  caret = Find(item) ? item : kNoItem;
  if (Node* now = Find(caret)) now->state |= TVIS_SELECTED;
  if (caret != kNoItem) EnsureVisible(caret);
  Invalidate();
}

bool CTreeCtrl::SelectItem(HTREEITEM item) {
  if (item != kNoItem && !Find(item)) return false;
  SetCaret(item);
  return true;
}

bool CTreeCtrl::SelectDropTarget(HTREEITEM item) {
  if (Node* old = Find(dropHilite)) old->state &= ~TVIS_DROPHILITED;
  dropHilite = Find(item) ? item : kNoItem;
  if (Node* now = Find(dropHilite)) now->state |= TVIS_DROPHILITED;
  Invalidate();
  return true;
}

bool CTreeCtrl::EnsureVisible(HTREEITEM item) {
  Node* node = Find(item);
  if (!node) return false;
  for (Node* p = node->parent; p; p = p->parent) p->state |= TVIS_EXPANDED;
  RowLayout layout;
  if (GetRowLayout(item, layout)) host->MakeVisible(layout.row);
  return true;
}

// ---- style and geometry ------------------------------------------------------

void CTreeCtrl::ModifyStyle(std::uint32_t remove, std::uint32_t add) {
  style = (style & ~remove) | add;
  Invalidate();
}

void CTreeCtrl::SetNormalImageSize(int size) {
  normalImageSize = std::max(0, size);
  Invalidate();
}

void CTreeCtrl::SetStateImageSize(int size) {
  stateImageSize = std::max(0, size);
  Invalidate();
}

void CTreeCtrl::SetItemHeight(int height) {
  itemHeight = std::max(1, height);
  Invalidate();
}

void CTreeCtrl::SetIndent(int pixels) {
  indent = std::max(1, pixels);
  Invalidate();
}

CTreeCtrl::RowLayout CTreeCtrl::LayoutRow(const Node* node, int depth, int rowIndex) const {
  RowLayout out;
  out.item = node->handle;
  out.depth = depth;
  const int top = rowIndex * itemHeight;
  const int bottom = top + itemHeight;
  const int level = depth + ((style & TVS_LINESATROOT) ? 1 : 0);
  int x = level * indent;
  if ((style & TVS_HASBUTTONS) && level >= 1 && node->firstChild)
    out.button = {x - indent, top, x, bottom};
  out.stateIcon = {x, top, x + stateImageSize, bottom};
  x += stateImageSize;
  out.icon = {x, top, x + normalImageSize, bottom};
  x += normalImageSize;
  const int textWidth = host->MeasureLabel(node->text, IsBoldLabel(node->handle));
  out.label = {x, top, x + textWidth + 2 * kLabelPadding, bottom};
  out.row = {0, top, out.label.right, bottom};
  return out;
}

std::vector<CTreeCtrl::RowLayout> CTreeCtrl::GetVisibleRows() const {
  std::vector<RowLayout> rows;
  int depth = 0;
  for (const Node* n = firstTop; n;) {
    rows.push_back(LayoutRow(n, depth, static_cast<int>(rows.size())));
    if (n->firstChild && (n->state & TVIS_EXPANDED)) {
      n = n->firstChild;
      ++depth;
      continue;
    }
    while (n && !n->next) {
      n = n->parent;
      --depth;
    }
    if (n) n = n->next;
  }
  return rows;
}

bool CTreeCtrl::GetRowLayout(HTREEITEM item, RowLayout& layout) const {
  const Node* node = Find(item);
  if (!node || !IsShown(node)) return false;
  int index = 0;
  for (const Node* n = firstTop; n && n != node; n = NextVisible(n)) ++index;
  layout = LayoutRow(node, GetItemDepth(item), index);
  return true;
}

HTREEITEM CTreeCtrl::HitTest(TreePoint point, std::uint32_t* flags) const {
  std::uint32_t result = TVHT_NOWHERE;
  HTREEITEM hit = kNoItem;
  if (point.y < 0) {
    result = TVHT_ABOVE;
  } else if (point.x < 0) {
    result = TVHT_TOLEFT;
  } else {
    const int index = point.y / itemHeight;
    const Node* n = firstTop;
    for (int i = 0; n && i < index; ++i) n = NextVisible(n);
    if (n) {
      const RowLayout row = LayoutRow(n, GetItemDepth(n->handle), index);
      hit = n->handle;
      if (row.button.Contains(point)) result = TVHT_ONITEMBUTTON;
      else if (point.x < row.stateIcon.left) result = TVHT_ONITEMINDENT;
      else if (row.stateIcon.Contains(point)) result = TVHT_ONITEMSTATEICON;
      else if (row.icon.Contains(point)) result = TVHT_ONITEMICON;
      else if (row.label.Contains(point)) result = TVHT_ONITEMLABEL;
      else result = TVHT_ONITEMRIGHT;
    }
  }
  if (flags) *flags = result;
  return hit;
}

TreeRect CTreeCtrl::GetContentExtent() const {
  TreeRect extent;
  for (const RowLayout& row : GetVisibleRows()) {
    extent.right = std::max(extent.right, row.row.right);
    extent.bottom = row.row.bottom;
  }
  return extent;
}

// ---- the control's own input handling --------------------------------------

bool CTreeCtrl::PlatformKeyDown(int virtualKey) {
  const HTREEITEM sel = caret;
  auto moveTo = [this](HTREEITEM item) {
    if (item != kNoItem) SetCaret(item);
    return true;
  };
  switch (virtualKey) {
    case VK_UP: return moveTo(sel ? GetPrevVisibleItem(sel) : GetRootItem());
    case VK_DOWN: return moveTo(sel ? GetNextVisibleItem(sel) : GetRootItem());
    case VK_HOME: return moveTo(GetRootItem());
    case VK_END: return moveTo(GetLastVisibleItem());
    case VK_LEFT:
      if (IsPlatformExpanded(sel)) return Expand(sel, TVE_COLLAPSE);
      return moveTo(GetParentItem(sel));
    case VK_RIGHT:
      if (!ItemHasChildren(sel)) return true;
      if (!IsPlatformExpanded(sel)) return Expand(sel, TVE_EXPAND);
      return moveTo(GetChildItem(sel));
    case VK_ADD: Expand(sel, TVE_EXPAND); return true;
    case VK_SUBTRACT: Expand(sel, TVE_COLLAPSE); return true;
    default: return false;
  }
}

void CTreeCtrl::PlatformLButtonDown(TreePoint point) {
  std::uint32_t flags = 0;
  const HTREEITEM item = HitTest(point, &flags);
  if (item != kNoItem && (flags & TVHT_ONITEMBUTTON)) Expand(item, TVE_TOGGLE);
}

void CTreeCtrl::SendToParent(const TreeMessage& message) const {
  if (parentSink) parentSink(message);
  else if (ownerSink) ownerSink(message);
}

}  // namespace tree

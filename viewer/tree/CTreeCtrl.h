// The tree-view control the folder tree is built on: items with text, normal
// and selected image, a 32-bit item data value and state bits (selection,
// drop highlight, expansion, state image index), navigation between items,
// platform expansion and selection, the visible rows and their geometry, hit
// testing, and the control's own handling of keys and button presses. It
// keeps no check state of its own; CXHtmlTree adds that on top.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/tree/ITreeHost.h"
#include "viewer/tree/TreeMessages.h"
#include "viewer/tree/TreeTypes.h"

namespace tree {

class CTreeCtrl {
 public:
  // Geometry of one visible row, in tree coordinates (unscrolled).
  struct RowLayout {
    HTREEITEM item = kNoItem;
    int depth = 0;
    TreeRect row;
    TreeRect button;   // empty when the item shows no expand button
    TreeRect stateIcon;
    TreeRect icon;
    TreeRect label;
  };

  static constexpr int kDefaultIndent = 19;
  static constexpr int kDefaultItemHeight = 18;
  static constexpr int kLabelPadding = 3;

  explicit CTreeCtrl(ITreeHost* host = nullptr);
  virtual ~CTreeCtrl();
  CTreeCtrl(const CTreeCtrl&) = delete;
  CTreeCtrl& operator=(const CTreeCtrl&) = delete;

  // Items.
  HTREEITEM InsertItem(const std::u16string& text, int image, int selectedImage,
                       HTREEITEM parent = TVI_ROOT, HTREEITEM insertAfter = TVI_LAST);
  bool DeleteItem(HTREEITEM item);
  bool DeleteAllItems();
  std::u16string GetItemText(HTREEITEM item) const;
  bool SetItemText(HTREEITEM item, const std::u16string& text);
  std::uint32_t GetItemData(HTREEITEM item) const;
  bool SetItemData(HTREEITEM item, std::uint32_t data);
  bool GetItemImage(HTREEITEM item, int& image, int& selectedImage) const;
  bool SetItemImage(HTREEITEM item, int image, int selectedImage);
  std::uint32_t GetItemState(HTREEITEM item, std::uint32_t mask) const;
  bool SetItemState(HTREEITEM item, std::uint32_t state, std::uint32_t mask);
  unsigned GetCount() const { return static_cast<unsigned>(nodes.size()); }
  bool IsItem(HTREEITEM item) const;

  // Navigation.
  HTREEITEM GetRootItem() const;
  HTREEITEM GetChildItem(HTREEITEM item) const;
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
  HTREEITEM GetPrevSiblingItem(HTREEITEM item) const;
  HTREEITEM GetParentItem(HTREEITEM item) const;
  bool ItemHasChildren(HTREEITEM item) const;
  HTREEITEM GetSelectedItem() const { return caret; }
  HTREEITEM GetDropHilightItem() const { return dropHilite; }
  HTREEITEM GetFirstVisibleItem() const { return GetRootItem(); }
  HTREEITEM GetNextVisibleItem(HTREEITEM item) const;
  HTREEITEM GetPrevVisibleItem(HTREEITEM item) const;
  HTREEITEM GetLastVisibleItem() const;
  int GetItemDepth(HTREEITEM item) const;

  // Platform expansion and selection (no check-box bookkeeping).
  bool Expand(HTREEITEM item, std::uint32_t code);
  bool IsPlatformExpanded(HTREEITEM item) const { return (GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0; }
  bool SelectItem(HTREEITEM item);
  bool SelectDropTarget(HTREEITEM item);
  bool EnsureVisible(HTREEITEM item);

  // Style and images.
  std::uint32_t GetStyle() const { return style; }
  void ModifyStyle(std::uint32_t remove, std::uint32_t add);
  void SetNormalImageSize(int size);
  int GetNormalImageSize() const { return normalImageSize; }
  bool HasStateImages() const { return stateImageSize > 0; }
  int GetStateImageSize() const { return stateImageSize; }

  // Geometry and hit testing.
  void SetItemHeight(int height);
  int GetItemHeight() const { return itemHeight; }
  void SetIndent(int pixels);
  int GetIndent() const { return indent; }
  std::vector<RowLayout> GetVisibleRows() const;
  bool GetRowLayout(HTREEITEM item, RowLayout& layout) const;
  HTREEITEM HitTest(TreePoint point, std::uint32_t* flags) const;
  // Width and height of everything the visible rows cover.
  TreeRect GetContentExtent() const;

  // The control's own reaction to a key or a left-button press.
  bool PlatformKeyDown(int virtualKey);
  void PlatformLButtonDown(TreePoint point);

  // Window that receives notifications; empty when there is none.
  void SetParentWindow(TreeMessageSink sink) { parentSink = std::move(sink); }
  void SetOwnerWindow(TreeMessageSink sink) { ownerSink = std::move(sink); }
  int GetDlgCtrlID() const { return ctrlId; }
  void SetDlgCtrlID(int id) { ctrlId = id; }
  ITreeHost& Host() const { return *host; }
  void SetHost(ITreeHost* newHost);

 protected:
  // Delivers a message to the parent, else the owner; nothing if neither.
  void SendToParent(const TreeMessage& message) const;
  void SetStateImage(HTREEITEM item, int index);
  int GetStateImage(HTREEITEM item) const { return STATEIMAGEMASKTOINDEX(GetItemState(item, TVIS_STATEIMAGEMASK)); }
  void SetStateImageSize(int size);
  void SetCaret(HTREEITEM item);
  void Invalidate() const { host->Invalidate(); }
  // Called for every item about to be removed, children before parents.
  virtual void OnItemDeleted(HTREEITEM) {}
  virtual bool IsBoldLabel(HTREEITEM) const { return false; }

 private:
  struct Node {
    HTREEITEM handle = kNoItem;
    std::u16string text;
    int image = 0;
    int selectedImage = 0;
    std::uint32_t data = 0;
    std::uint32_t state = 0;
    Node* parent = nullptr;
    Node* firstChild = nullptr;
    Node* lastChild = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
  };
  Node* Find(HTREEITEM item) const;
  void Link(Node* node, Node* parent, HTREEITEM insertAfter);
  void Unlink(Node* node);
  void DeleteSubtree(Node* node);
  bool IsShown(const Node* node) const;
  RowLayout LayoutRow(const Node* node, int depth, int rowIndex) const;
  Node* NextVisible(const Node* node) const;

  ITreeHost* host;
  CHeadlessTreeHost headlessHost;
  std::unordered_map<HTREEITEM, std::unique_ptr<Node>> nodes;
  Node* firstTop = nullptr;
  Node* lastTop = nullptr;
  HTREEITEM nextHandle = 1;
  HTREEITEM caret = kNoItem;
  HTREEITEM dropHilite = kNoItem;
  std::uint32_t style = 0;
  int normalImageSize = 0;
  int stateImageSize = 0;
  int itemHeight = kDefaultItemHeight;
  int indent = kDefaultIndent;
  int ctrlId = 0;
  TreeMessageSink parentSink;
  TreeMessageSink ownerSink;
};

}  // namespace tree

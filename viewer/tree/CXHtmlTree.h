// The viewer's folder tree: a tree-view control that keeps its own three-state
// check boxes. Each item has a record (XHTMLTREEDATA) kept in a map from item
// handle to record, so the item data value stays free for the user of the
// control. With smart checking on, every item counts its descendants and its
// checked descendants: checking an item checks its whole subtree, a change
// travels up to every ancestor, and an item with descendants shows checked,
// unchecked or mixed according to them. The control also carries the mouse
// and keyboard rules of the tree and the messages it sends to its parent.
//
// The model is not locked: it belongs to the thread that owns the window, and
// other threads reach it through CWindowThreadCall.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/tree/CTreeCtrl.h"
#include "viewer/tree/XHtmlTreeData.h"

namespace tree {

class CXHtmlTree : public CTreeCtrl {
 public:
  struct LabelColours {
    COLORREF text = 0;
    COLORREF background = 0;
    bool operator==(const LabelColours&) const = default;
  };

  static constexpr int kDefaultCheckImageSize = 16;

  explicit CXHtmlTree(ITreeHost* host = nullptr);
  ~CXHtmlTree() override;

  // Attaching the control to its dialog window with the given styles: the
  // check-box style turns on the control's own check boxes.
  void Attach(int ctrlId, std::uint32_t windowStyle);
  void Initialize(bool checkBoxes);
  void SetSmartCheckBoxes(bool on) { smartCheck = on ? 1 : 0; }
  bool GetSmartCheckBoxes() const { return smartCheck != 0; }
  bool GetHasCheckBoxes() const { return checkBoxes != 0; }
  void SetSelectOnCheckClick(bool on) { selectOnCheckClick = on ? 1 : 0; }
  bool GetSelectOnCheckClick() const { return selectOnCheckClick != 0; }
  int GetCheckImageSize() const { return checkImageSize; }

  HTREEITEM InsertItem(const std::u16string& text, int image, int selectedImage,
                       HTREEITEM parent = TVI_ROOT, HTREEITEM insertAfter = TVI_LAST);
  bool DeleteItem(HTREEITEM item);
  bool DeleteAllItems();

  bool SetCheck(HTREEITEM item, bool checked);
  int GetCheck(HTREEITEM item) const;
  CheckState GetCheckState(HTREEITEM item) const;
  HTREEITEM GetFirstCheckedItem() const;
  HTREEITEM GetNextCheckedItem(HTREEITEM item) const;
  int GetCheckedCount() const;
  // Next item in pre-order: first child, else the next sibling of the item
  // or of its nearest ancestor that has one.
  HTREEITEM GetNextItemPreorder(HTREEITEM item) const;

  int SetItemBold(HTREEITEM item, bool bold);
  bool GetItemBold(HTREEITEM item) const;
  bool EnableItem(HTREEITEM item, bool enabled);
  bool IsItemEnabled(HTREEITEM item) const;
  const XHTMLTREEDATA* GetItemRecord(HTREEITEM item) const;

  bool Expand(HTREEITEM item, std::uint32_t code);
  bool SelectItem(HTREEITEM item);
  int GetItemPath(HTREEITEM item, std::vector<std::u16string>& texts,
                  std::vector<HTREEITEM>& items) const;

  // Input, in tree coordinates; OnKeyDown answers whether the key was used.
  void OnLButtonDown(TreePoint point);
  void OnLButtonDblClk(TreePoint point);
  void OnRButtonDown(TreePoint point);
  bool OnKeyDown(int virtualKey);
  void OnSysColorChange();

  // Drawing.
  const TreeColours& GetColours() const { return colours; }
  LabelColours GetLabelColours(HTREEITEM item) const;
  int GetCheckImageIndex(HTREEITEM item) const { return GetStateImage(item); }

 protected:
  void OnItemDeleted(HTREEITEM item) override;
  bool IsBoldLabel(HTREEITEM item) const override { return GetItemBold(item); }

 private:
  XHTMLTREEDATA* Lookup(HTREEITEM item);
  const XHTMLTREEDATA* Lookup(HTREEITEM item) const;
  CheckState BaseState(const XHTMLTREEDATA& record) const;
  void UpdateImage(HTREEITEM item);
  void SetSubtreeCheck(HTREEITEM item, bool checked);
  int UpdateAncestor(HTREEITEM ancestor, int delta);
  void UpdateAncestors(HTREEITEM item, int delta, int descendantChange);
  void BuildCheckBoxImages();
  void OnClick(TreePoint point);
  void CollapseBranch(HTREEITEM item);
  void ExpandBranch(HTREEITEM item);
  XHTMLTREEMSGDATA MessageData(HTREEITEM item) const;
  void SendRegistered(std::uint32_t message, HTREEITEM item, int value) const;

  int checkBoxes = 0;
  int smartCheck = 0;
  int selectOnCheckClick = 1;
  int checkImageSize = kDefaultCheckImageSize;
  TreeColours colours;
  std::unordered_map<HTREEITEM, XHTMLTREEDATA> records;
  int lookupsSuspended = 0;
};

}  // namespace tree

// Test helpers: a folder tree with check boxes and smart checking, built from
// "/"-separated item paths, with a parent window that records every message.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "viewer/tree/CXHtmlTree.h"

namespace treetest {

using namespace tree;

inline std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }
inline std::string A(const std::u16string& s) { return std::string(s.begin(), s.end()); }

struct TreeFixture {
  CHeadlessTreeHost host;
  CXHtmlTree tree{&host};
  std::map<std::string, HTREEITEM> items;  // by last path part
  std::vector<TreeMessage> messages;

  explicit TreeFixture(bool smart = true) {
    tree.Attach(1002, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
    tree.SetNormalImageSize(16);
    tree.Initialize(true);
    tree.SetSmartCheckBoxes(smart);
    tree.SetParentWindow([this](const TreeMessage& m) { messages.push_back(m); });
  }

  // Inserts "R/A/B" as B under A (which must exist), or "R" at top level.
  HTREEITEM Add(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const HTREEITEM parent = slash == std::string::npos ? TVI_ROOT : items.at(LastPart(path.substr(0, slash)));
    const HTREEITEM item = tree.InsertItem(U(name), 10, 10, parent);
    items[name] = item;
    return item;
  }
  void AddAll(std::initializer_list<const char*> paths) {
    for (const char* p : paths) Add(p);
  }
  HTREEITEM operator[](const std::string& name) const { return items.at(name); }

  static std::string LastPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  // "R:M A:U B:C" for every item in pre-order (C checked, U unchecked, M mixed).
  std::string States() const {
    std::string out;
    for (HTREEITEM x = tree.GetRootItem(); x != kNoItem; x = tree.GetNextItemPreorder(x)) {
      const char* look = "?";
      switch (tree.GetCheckState(x)) {
        case CheckState::Checked: look = "C"; break;
        case CheckState::Unchecked: look = "U"; break;
        case CheckState::Mixed: look = "M"; break;
        default: break;
      }
      if (!out.empty()) out += ' ';
      out += A(tree.GetItemText(x)) + ":" + look;
    }
    return out;
  }

  // Texts of the checked items in walk order, blank-separated.
  std::string Walk() const {
    std::string out;
    for (HTREEITEM x = tree.GetFirstCheckedItem(); x != kNoItem; x = tree.GetNextCheckedItem(x)) {
      if (!out.empty()) out += ' ';
      out += A(tree.GetItemText(x));
    }
    return out;
  }

  int CountOf(std::uint32_t message) const {
    int n = 0;
    for (const TreeMessage& m : messages) n += m.message == message;
    return n;
  }
};

}  // namespace treetest

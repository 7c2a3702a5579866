#include "viewer/tree/TreeMessages.h"

#include <map>
#include <mutex>

namespace tree {

std::uint32_t RegisterWindowMessage(const std::u16string& name) {
  static std::mutex guard;
  static std::map<std::u16string, std::uint32_t> numbers;
  std::lock_guard lock(guard);
  auto [it, added] = numbers.try_emplace(name, 0);
  if (added) it->second = 0xC000u + static_cast<std::uint32_t>(numbers.size() - 1);
  return it->second;
}

std::uint32_t WM_XHTMLTREE_CHECKBOX_CLICKED() {
  static const std::uint32_t id = RegisterWindowMessage(kCheckboxClickedName);
  return id;
}

std::uint32_t WM_XHTMLTREE_ITEM_EXPANDED() {
  static const std::uint32_t id = RegisterWindowMessage(kItemExpandedName);
  return id;
}

}  // namespace tree

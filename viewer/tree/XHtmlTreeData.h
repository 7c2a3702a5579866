// The record the folder tree keeps for each of its items: the item's own
// check flag, whether it is enabled, its expansion as last set through the
// control, the number of items below it and of checked items below it, and
// whether its label is bold.
#pragma once

#include <cstdint>

namespace tree {

struct XHTMLTREEDATA {
  std::int32_t checked = 0;
  std::int32_t enabled = 1;
  std::int32_t expanded = 0;
  std::int32_t descendantCount = 0;
  std::int32_t checkedCount = 0;  // never below 0
  std::int32_t bold = 0;
};

// Check state an item shows; the values are the base state image index.
enum class CheckState { None = 0, Unchecked = 1, Checked = 2, Mixed = 3 };

}  // namespace tree

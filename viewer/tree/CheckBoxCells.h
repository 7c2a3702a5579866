// The cells of the tree's state image list: which check-box look each state
// image index shows. An item's index is a base of 1 (unchecked), 2 (checked)
// or 3 (mixed), plus 4 when the item is disabled, plus 8 while it shows the
// hot look; cells 0, 4, 8 and 12 are blank and cell 16 ends the strip.
#pragma once

namespace tree {

enum class CheckLook { Blank, Unchecked, Checked, Mixed };

struct CheckBoxCell {
  const char* label;  // nullptr for the end entry
  CheckLook look;
  bool disabled;
  bool hot;
};

inline constexpr int kCheckBoxCellCount = 17;
inline constexpr int kHotOffset = 8;
inline constexpr int kDisabledOffset = 4;

inline constexpr CheckBoxCell kCheckBoxCells[kCheckBoxCellCount] = {
    {"unused", CheckLook::Blank, false, false},
    {"unchecked normal", CheckLook::Unchecked, false, false},
    {"checked normal", CheckLook::Checked, false, false},
    {"tri-state normal", CheckLook::Mixed, false, false},
    {"unused", CheckLook::Blank, false, false},
    {"unchecked disabled", CheckLook::Unchecked, true, false},
    {"checked disabled", CheckLook::Checked, true, false},
    {"tri-state disabled", CheckLook::Mixed, true, false},
    {"unused", CheckLook::Blank, false, false},
    {"unchecked normal", CheckLook::Unchecked, false, true},
    {"checked normal", CheckLook::Checked, false, true},
    {"tri-state normal", CheckLook::Mixed, false, true},
    {"unused", CheckLook::Blank, false, false},
    {"unchecked disabled", CheckLook::Unchecked, true, false},
    {"checked disabled", CheckLook::Checked, true, false},
    {"tri-state disabled", CheckLook::Mixed, true, false},
    {nullptr, CheckLook::Blank, false, false},
};

}  // namespace tree

// Mouse, keyboard and expansion rules of the folder tree, its hit testing,
// item paths, label colours and set-up.
#include <gtest/gtest.h>

#include "tests/tree/TreeFixture.h"

namespace treetest {
namespace {

// R (expanded) with A (collapsed, holding C) and B. Rows are 18 pixels high
// and indented by 19: R's button 0..19, box 19..35, icon 35..51, label from 51;
// A's and B's box 38..54, icon 54..70, label from 70.
struct InputFixture : TreeFixture {
  InputFixture() {
    AddAll({"R", "R/A", "R/A/C", "R/B"});
    tree.Expand(items["R"], TVE_EXPAND);
    messages.clear();
  }
  std::string Name(HTREEITEM item) const { return item == kNoItem ? "" : A(tree.GetItemText(item)); }
  std::string Selected() const { return Name(tree.GetSelectedItem()); }
};

constexpr int kRowR = 9, kRowA = 27, kRowB = 45;

struct HitCase {
  const char* name;
  TreePoint point;
  std::uint32_t flags;
  const char* item;
};

class HitTesting : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTesting, FindsThePartUnderThePointer) {
  InputFixture f;
  std::uint32_t flags = 0;
  const HTREEITEM item = f.tree.HitTest(GetParam().point, &flags);
  EXPECT_EQ(flags, GetParam().flags);
  EXPECT_EQ(f.Name(item), GetParam().item);
}

const HitCase kHits[] = {
    {"RootButton", {10, kRowR}, TVHT_ONITEMBUTTON, "R"},
    {"RootBox", {25, kRowR}, TVHT_ONITEMSTATEICON, "R"},
    {"RootIcon", {40, kRowR}, TVHT_ONITEMICON, "R"},
    {"RootLabel", {55, kRowR}, TVHT_ONITEMLABEL, "R"},
    {"RightOfRootLabel", {300, kRowR}, TVHT_ONITEMRIGHT, "R"},
    {"ChildButton", {25, kRowA}, TVHT_ONITEMBUTTON, "A"},
    {"ChildBox", {40, kRowA}, TVHT_ONITEMSTATEICON, "A"},
    {"ChildLabel", {75, kRowA}, TVHT_ONITEMLABEL, "A"},
    {"LeafIndent", {25, kRowB}, TVHT_ONITEMINDENT, "B"},
    {"BelowLastRow", {10, 100}, TVHT_NOWHERE, ""},
    {"Above", {10, -3}, TVHT_ABOVE, ""},
};

INSTANTIATE_TEST_SUITE_P(Tree, HitTesting, ::testing::ValuesIn(kHits),
                         [](const auto& info) { return std::string(info.param.name); });

struct PressCase {
  const char* name;
  TreePoint point;
  int labelMessages;
  const char* selected;
  const char* states;
  int imageOfA;
  bool aExpanded;
};

class LeftButtonPress : public ::testing::TestWithParam<PressCase> {};

TEST_P(LeftButtonPress, SelectsChecksExpandsAndNotifies) {
  InputFixture f;
  f.tree.OnLButtonDown(GetParam().point);
  EXPECT_EQ(f.CountOf(WM_XHTMLTREE_LABEL_PRESSED), GetParam().labelMessages);
  EXPECT_EQ(f.Selected(), GetParam().selected);
  EXPECT_EQ(f.Name(f.tree.GetDropHilightItem()), GetParam().selected);
  EXPECT_EQ(f.States(), GetParam().states);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["A"]), GetParam().imageOfA);
  EXPECT_EQ(f.tree.IsPlatformExpanded(f["A"]), GetParam().aExpanded);
}

const PressCase kPresses[] = {
    {"OnLabel", {75, kRowA}, 1, "A", "R:U A:U C:U B:U", 1, false},
    {"OnCheckBox", {40, kRowA}, 0, "A", "R:M A:C C:C B:U", 2 + 8, false},
    {"OnButton", {25, kRowA}, 0, "A", "R:U A:U C:U B:U", 1, true},
    {"OnIcon", {60, kRowA}, 0, "A", "R:U A:U C:U B:U", 1, false},
    {"RightOfLabel", {200, kRowA}, 0, "A", "R:U A:U C:U B:U", 1, false},
    {"Nowhere", {10, 200}, 0, "", "R:U A:U C:U B:U", 1, false},
};

INSTANTIATE_TEST_SUITE_P(Tree, LeftButtonPress, ::testing::ValuesIn(kPresses),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LeftButtonPressMessages, LabelPressCarriesFlagsAndItemAfterSelection) {
  InputFixture f;
  f.tree.OnLButtonDown({75, kRowB});
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[0].message, WM_NOTIFY);
  EXPECT_EQ(f.messages[0].notifyCode, TVN_SELCHANGEDW);
  EXPECT_EQ(f.messages[0].wParam, 1002u);
  EXPECT_EQ(f.messages[0].item, f["B"]);
  EXPECT_EQ(f.messages[1].message, WM_XHTMLTREE_LABEL_PRESSED);
  EXPECT_EQ(f.messages[1].message, 1174u);
  EXPECT_EQ(f.messages[1].wParam, TVHT_ONITEMLABEL);
  EXPECT_EQ(f.messages[1].lParam, static_cast<std::intptr_t>(f["B"]));
  // A second press on the selected label notifies the parent again.
  f.tree.OnLButtonDown({75, kRowB});
  EXPECT_EQ(f.CountOf(WM_XHTMLTREE_LABEL_PRESSED), 2);
  EXPECT_EQ(f.CountOf(WM_NOTIFY), 1);
  EXPECT_EQ(f.tree.GetItemState(f["B"], TVIS_SELECTED), TVIS_SELECTED);
}

TEST(LeftButtonPressMessages, DisabledItemSwallowsTheBoxAndKeepsTheSelection) {
  InputFixture f;
  f.tree.OnLButtonDown({75, kRowB});
  f.tree.EnableItem(f["A"], false);
  f.messages.clear();
  f.tree.OnLButtonDown({40, kRowA});
  EXPECT_EQ(f.States(), "R:U A:U C:U B:U");
  EXPECT_EQ(f.Selected(), "B");
  EXPECT_EQ(f.CountOf(WM_XHTMLTREE_CHECKBOX_CLICKED()), 0);
}

TEST(LeftButtonPressMessages, ClickOnMixedBoxChecksTheWholeSubtree) {
  InputFixture f;
  f.tree.SetCheck(f["B"], true);
  f.tree.OnLButtonDown({25, kRowR});
  EXPECT_EQ(f.States(), "R:C A:C C:C B:C");
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["R"]), 10);
  f.tree.OnLButtonDown({25, kRowR});
  EXPECT_EQ(f.States(), "R:U A:U C:U B:U");
  // Rechecking the item recomputes its image and ends the hot look.
  f.tree.SetCheck(f["R"], true);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["R"]), 2);
}

TEST(DoubleClick, FlipsExpansionOfAnEnabledParentOnly) {
  InputFixture f;
  f.tree.OnLButtonDblClk({75, kRowA});
  EXPECT_TRUE(f.tree.IsPlatformExpanded(f["A"]));
  EXPECT_EQ(f.tree.GetItemRecord(f["A"])->expanded, 1);
  ASSERT_EQ(f.CountOf(WM_XHTMLTREE_ITEM_EXPANDED()), 1);
  EXPECT_EQ(f.messages.back().lParam, 1);
  f.tree.OnLButtonDblClk({75, kRowA});
  EXPECT_FALSE(f.tree.IsPlatformExpanded(f["A"]));
  EXPECT_EQ(f.messages.back().lParam, 0);
  f.messages.clear();
  f.tree.OnLButtonDblClk({75, kRowB});  // leaf
  f.tree.EnableItem(f["A"], false);
  f.tree.OnLButtonDblClk({75, kRowA});  // disabled
  EXPECT_TRUE(f.messages.empty());
  EXPECT_FALSE(f.tree.IsPlatformExpanded(f["A"]));
}

struct KeyCase {
  const char* name;
  const char* start;       // item selected first
  const char* disabled;    // item disabled first, or ""
  const char* checkFirst;  // item checked first, or ""
  int key;
  bool consumed;
  const char* selected;
  const char* states;
  bool aExpanded;
  bool rExpanded;
  int expandMessages;
};

class KeyRules : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyRules, FollowTheSelectedItem) {
  InputFixture f;
  const KeyCase& k = GetParam();
  f.tree.SelectItem(f[k.start]);
  if (*k.disabled) f.tree.EnableItem(f[k.disabled], false);
  if (*k.checkFirst) f.tree.SetCheck(f[k.checkFirst], true);
  f.messages.clear();
  EXPECT_EQ(f.tree.OnKeyDown(k.key), k.consumed);
  EXPECT_EQ(f.Selected(), k.selected);
  EXPECT_EQ(f.States(), k.states);
  EXPECT_EQ(f.tree.IsPlatformExpanded(f["A"]), k.aExpanded);
  EXPECT_EQ(f.tree.IsPlatformExpanded(f["R"]), k.rExpanded);
  EXPECT_EQ(f.CountOf(WM_XHTMLTREE_ITEM_EXPANDED()), k.expandMessages);
}

const KeyCase kKeys[] = {
    {"SpaceChecksSubtree", "R", "", "", VK_SPACE, true, "R", "R:C A:C C:C B:C", false, true, 0},
    {"SpaceOnMixedChecksAll", "R", "", "B", VK_SPACE, true, "R", "R:C A:C C:C B:C", false, true, 0},
    {"SpaceUnchecks", "A", "", "A", VK_SPACE, true, "A", "R:U A:U C:U B:U", false, true, 0},
    {"RightExpands", "A", "", "", VK_RIGHT, true, "A", "R:U A:U C:U B:U", true, true, 1},
    {"RightOnLeafGoesToPlatform", "B", "", "", VK_RIGHT, true, "B", "R:U A:U C:U B:U", false, true, 0},
    {"LeftCollapses", "R", "", "", VK_LEFT, true, "R", "R:U A:U C:U B:U", false, false, 1},
    {"LeftOnCollapsedMovesToParent", "A", "", "", VK_LEFT, true, "R", "R:U A:U C:U B:U", false, true, 0},
    {"DownMovesToNextVisible", "A", "", "", VK_DOWN, true, "B", "R:U A:U C:U B:U", false, true, 0},
    {"DownSkipsDisabled", "R", "A", "", VK_DOWN, true, "B", "R:U A:U C:U B:U", false, true, 0},
    {"UpMovesToPrevious", "B", "", "", VK_UP, true, "A", "R:U A:U C:U B:U", false, true, 0},
    {"StarExpandsBranch", "R", "", "", VK_MULTIPLY, true, "R", "R:U A:U C:U B:U", true, true, 1},
    {"PlusExpands", "A", "", "", VK_ADD, true, "A", "R:U A:U C:U B:U", true, true, 1},
    {"MinusCollapses", "R", "", "", VK_SUBTRACT, true, "R", "R:U A:U C:U B:U", false, false, 1},
    {"OtherKeysAreLeft", "R", "", "", 'Q', false, "R", "R:U A:U C:U B:U", false, true, 0},
};

INSTANTIATE_TEST_SUITE_P(Tree, KeyRules, ::testing::ValuesIn(kKeys),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Expansion, MessageOnlyWhenTheRecordChanges) {
  InputFixture f;
  EXPECT_TRUE(f.tree.Expand(f["R"], TVE_EXPAND));  // already expanded
  EXPECT_FALSE(f.tree.Expand(f["B"], TVE_EXPAND));  // no children
  EXPECT_EQ(f.CountOf(WM_XHTMLTREE_ITEM_EXPANDED()), 0);
  f.tree.Expand(f["A"], TVE_TOGGLE);
  f.tree.Expand(f["A"], TVE_COLLAPSE | TVE_COLLAPSERESET);
  ASSERT_EQ(f.CountOf(WM_XHTMLTREE_ITEM_EXPANDED()), 2);
  EXPECT_EQ(f.messages[0].lParam, 1);
  EXPECT_EQ(f.messages[0].data.item, f["A"]);
  EXPECT_EQ(f.messages[1].lParam, 0);
}

TEST(ItemPath, ThirdLevelItemYieldsThreeTextsTopFirst) {
  InputFixture f;
  std::vector<std::u16string> texts;
  std::vector<HTREEITEM> items;
  EXPECT_EQ(f.tree.GetItemPath(f["C"], texts, items), 1);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"R", u"A", u"C"}));
  EXPECT_EQ(items, (std::vector<HTREEITEM>{f["R"], f["A"], f["C"]}));
  EXPECT_EQ(f.tree.GetItemPath(kNoItem, texts, items), 1);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"R"}));
  EXPECT_EQ(f.tree.GetItemPath(9999, texts, items), 0);
  EXPECT_TRUE(texts.empty());
}

TEST(Selection, OnlyEnabledRecordsCanBeSelected) {
  InputFixture f;
  EXPECT_TRUE(f.tree.SelectItem(f["B"]));
  f.tree.EnableItem(f["A"], false);
  EXPECT_FALSE(f.tree.SelectItem(f["A"]));
  const HTREEITEM bare = f.tree.CTreeCtrl::InsertItem(u"bare", 0, 0);
  EXPECT_FALSE(f.tree.SelectItem(bare));
  EXPECT_EQ(f.Selected(), "B");
  EXPECT_EQ(f.CountOf(WM_NOTIFY), 1);
  f.messages.clear();
  f.tree.SelectItem(f["B"]);  // already selected
  EXPECT_TRUE(f.messages.empty());
}

TEST(LabelColours, SelectedDropHighlightedDisabledAndPlain) {
  InputFixture f;
  const TreeColours& c = f.tree.GetColours();
  f.tree.OnLButtonDown({75, kRowB});
  f.tree.EnableItem(f["A"], false);
  using LC = CXHtmlTree::LabelColours;
  EXPECT_EQ(f.tree.GetLabelColours(f["B"]), (LC{c.highlightText, c.highlight}));
  EXPECT_EQ(f.tree.GetLabelColours(f["A"]), (LC{c.disabledText, c.background}));
  EXPECT_EQ(f.tree.GetLabelColours(f["R"]), (LC{c.text, c.background}));
  f.tree.SelectDropTarget(f["R"]);
  EXPECT_EQ(f.tree.GetLabelColours(f["R"]), (LC{c.highlightText, c.highlight}));
}

TEST(LabelColours, ReloadedOnSystemColourChange) {
  InputFixture f;
  f.host.colours.text = RGB(1, 2, 3);
  EXPECT_NE(f.tree.GetColours().text, RGB(1, 2, 3));
  f.tree.OnSysColorChange();
  EXPECT_EQ(f.tree.GetColours().text, RGB(1, 2, 3));
}

TEST(SetUp, AttachWithCheckBoxStyleBuildsTheImages) {
  CHeadlessTreeHost host;
  CXHtmlTree tree(&host);
  EXPECT_FALSE(tree.GetHasCheckBoxes());
  tree.Attach(1002, TVS_CHECKBOXES | TVS_HASBUTTONS);
  EXPECT_TRUE(tree.GetHasCheckBoxes());
  EXPECT_EQ(tree.GetStyle(), TVS_HASBUTTONS | TVS_NOTOOLTIPS | TVS_DISABLEDRAGDROP);
  EXPECT_EQ(host.imageBuilds, 1);
  EXPECT_EQ(tree.GetStateImageSize(), 16);
  tree.Initialize(false);
  EXPECT_EQ(host.imageRemovals, 1);
  EXPECT_FALSE(tree.HasStateImages());
}

TEST(SetUp, DeleteAllItemsFreesRecordsAndScrollsLeft) {
  InputFixture f;
  f.tree.SetItemBold(f["A"], true);
  const HTREEITEM a = f["A"];
  EXPECT_TRUE(f.tree.DeleteAllItems());
  EXPECT_EQ(f.tree.GetCount(), 0u);
  EXPECT_EQ(f.tree.GetItemRecord(a), nullptr);
  EXPECT_EQ(f.tree.GetSelectedItem(), kNoItem);
  EXPECT_GE(f.host.farLeftScrolls, 1);
  // Handles are not reused, so the old one stays dead.
  f.Add("S");
  EXPECT_EQ(f.tree.GetItemRecord(a), nullptr);
  EXPECT_EQ(f.tree.GetItemBold(f["S"]), false);
}

TEST(Bold, SetItemBoldAnswersThePreviousValue) {
  InputFixture f;
  EXPECT_EQ(f.tree.SetItemBold(f["A"], true), 0);
  EXPECT_EQ(f.tree.SetItemBold(f["A"], true), 1);
  EXPECT_EQ(f.tree.SetItemBold(f["A"], false), 1);
  EXPECT_EQ(f.tree.SetItemBold(kNoItem, true), 0);
  // A bold label is wider, so the row layout follows the weight.
  f.tree.SetItemBold(f["B"], true);
  CTreeCtrl::RowLayout layout;
  ASSERT_TRUE(f.tree.GetRowLayout(f["B"], layout));
  EXPECT_EQ(layout.label.Width(), CHeadlessTreeHost::kBoldCharWidth + 2 * CTreeCtrl::kLabelPadding);
}

}  // namespace
}  // namespace treetest

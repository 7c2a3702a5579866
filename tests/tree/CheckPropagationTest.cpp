// Check propagation through the subtree and up to the ancestors, the checked
// count and the pre-order walk, driven by scripted scenarios.
#include <gtest/gtest.h>

#include "tests/tree/TreeFixture.h"

namespace treetest {
namespace {

struct Step {
  std::string action;  // "+X" check X, "-X" uncheck X, "~X" click X's box (toggle raw flag), "add P/X", "del X"
  std::string states;  // expected States()
  int count;           // expected GetCheckedCount()
  std::string walk;    // expected Walk()
};

struct Scenario {
  const char* name;
  std::vector<const char*> paths;
  std::vector<Step> steps;
};

void Apply(TreeFixture& f, const std::string& action) {
  if (action.rfind("add ", 0) == 0) {
    f.Add(action.substr(4));
  } else if (action.rfind("del ", 0) == 0) {
    f.tree.DeleteItem(f[action.substr(4)]);
  } else if (action[0] == '~') {
    const HTREEITEM item = f[action.substr(1)];
    f.tree.SetCheck(item, f.tree.GetItemRecord(item)->checked == 0);
  } else {
    f.tree.SetCheck(f[action.substr(1)], action[0] == '+');
  }
}

class CheckPropagation : public ::testing::TestWithParam<Scenario> {};

TEST_P(CheckPropagation, StatesCountsAndWalkFollowEachStep) {
  TreeFixture f;
  for (const char* p : GetParam().paths) f.Add(p);
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE(step.action);
    Apply(f, step.action);
    EXPECT_EQ(f.States(), step.states);
    EXPECT_EQ(f.tree.GetCheckedCount(), step.count);
    EXPECT_EQ(f.Walk(), step.walk);
  }
}

const Scenario kScenarios[] = {
    {"MixedParent",
     {"R", "R/A", "R/B"},
     {{"+A", "R:M A:C B:U", 1, "A"},
      {"+B", "R:C A:C B:C", 3, "R A B"},
      {"-A", "R:M A:U B:C", 1, "B"},
      // R's own flag is 0 while mixed: clicking its box checks everything.
      {"~R", "R:C A:C B:C", 3, "R A B"},
      {"~R", "R:U A:U B:U", 0, ""}}},
    {"SubtreeAtEveryDepth",
     {"R", "R/A", "R/A/B", "R/A/B/C", "R/A/B/C/D", "R/A/G", "R/E"},
     {{"+A", "R:M A:C B:C C:C D:C G:C E:U", 5, "A B C D G"},
      {"+E", "R:C A:C B:C C:C D:C G:C E:C", 7, "R A B C D G E"},
      {"-D", "R:M A:M B:U C:U D:U G:C E:C", 2, "G E"},
      {"+D", "R:C A:C B:C C:C D:C G:C E:C", 7, "R A B C D G E"},
      {"-R", "R:U A:U B:U C:U D:U G:U E:U", 0, ""},
      {"+C", "R:M A:M B:C C:C D:C G:U E:U", 3, "B C D"}}},
    {"CheckedLeafGainsUncheckedChild",
     {"R", "R/L"},
     {{"+L", "R:C L:C", 2, "R L"},
      {"add L/X", "R:U L:U X:U", 0, ""},
      {"+X", "R:C L:C X:C", 3, "R L X"},
      {"add R/Y", "R:M L:C X:C Y:U", 2, "L X"}}},
    {"CheckedRootBeforeChildren",
     // The scan checks the root before adding folders to it.
     {"R"},
     {{"+R", "R:C", 1, "R"},
      {"add R/A", "R:U A:U", 0, ""},
      {"+A", "R:C A:C", 2, "R A"},
      {"add R/B", "R:M A:C B:U", 1, "A"}}},
    {"DeletingUpdatesAncestors",
     {"R", "R/A", "R/B", "R/B/C"},
     {{"+A", "R:M A:C B:U C:U", 1, "A"},
      {"del B", "R:C A:C", 2, "R A"},
      {"add R/D", "R:M A:C D:U", 1, "A"},
      {"del A", "R:U D:U", 0, ""}}},
    {"SameValueChangesNothing",
     {"R", "R/A", "R/B"},
     {{"+A", "R:M A:C B:U", 1, "A"},
      {"-R", "R:M A:C B:U", 1, "A"},
      {"+A", "R:M A:C B:U", 1, "A"}}},
};

INSTANTIATE_TEST_SUITE_P(Tree, CheckPropagation, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckPropagationCounters, SameValueSendsTheMessageButKeepsCounters) {
  TreeFixture f;
  f.AddAll({"R", "R/A", "R/B"});
  f.tree.SetCheck(f["A"], true);
  const XHTMLTREEDATA before = *f.tree.GetItemRecord(f["R"]);
  f.messages.clear();
  f.tree.SetCheck(f["A"], true);
  f.tree.SetCheck(f["R"], false);  // R is mixed, its own flag already 0
  const XHTMLTREEDATA after = *f.tree.GetItemRecord(f["R"]);
  EXPECT_EQ(after.checkedCount, before.checkedCount);
  EXPECT_EQ(after.descendantCount, before.descendantCount);
  ASSERT_EQ(f.messages.size(), 2u);
  EXPECT_EQ(f.messages[0].message, WM_XHTMLTREE_CHECKBOX_CLICKED());
  EXPECT_EQ(f.messages[0].data.item, f["A"]);
  EXPECT_EQ(f.messages[0].data.idCtrl, 1002);
  EXPECT_EQ(f.messages[0].data.hCtrl, &f.tree);
  EXPECT_EQ(f.messages[0].lParam, 1);
  EXPECT_EQ(f.messages[1].data.item, f["R"]);
  EXPECT_EQ(f.messages[1].lParam, 0);
}

TEST(CheckPropagationCounters, CountsMatchTheSubtreeAfterEveryChange) {
  TreeFixture f;
  f.AddAll({"R", "R/A", "R/A/B", "R/A/C", "R/D", "R/D/E", "R/D/E/F"});
  const char* order[] = {"B", "F", "A", "R", "C", "E", "D", "B", "R"};
  bool value = true;
  for (const char* name : order) {
    f.tree.SetCheck(f[name], value);
    value = !value;
    // Recount every item's descendants and checked descendants by hand.
    for (auto& [itemName, item] : f.items) {
      int descendants = 0, checked = 0;
      std::vector<HTREEITEM> stack{f.tree.GetChildItem(item)};
      while (!stack.empty()) {
        HTREEITEM x = stack.back();
        stack.pop_back();
        for (; x != kNoItem; x = f.tree.GetNextSiblingItem(x)) {
          ++descendants;
          checked += f.tree.GetItemRecord(x)->checked;
          stack.push_back(f.tree.GetChildItem(x));
        }
      }
      SCOPED_TRACE(std::string(name) + " then " + itemName);
      EXPECT_EQ(f.tree.GetItemRecord(item)->descendantCount, descendants);
      EXPECT_EQ(f.tree.GetItemRecord(item)->checkedCount, checked);
    }
  }
}

TEST(CheckGuards, DisabledItemsAndMissingCheckBoxesIgnoreChecks) {
  TreeFixture f;
  f.AddAll({"R", "R/A"});
  f.tree.EnableItem(f["A"], false);
  f.messages.clear();
  EXPECT_FALSE(f.tree.SetCheck(f["A"], true));
  EXPECT_FALSE(f.tree.SetCheck(kNoItem, true));
  const HTREEITEM bare = f.tree.CTreeCtrl::InsertItem(u"bare", 0, 0);  // item without record
  EXPECT_FALSE(f.tree.SetCheck(bare, true));
  EXPECT_EQ(f.tree.GetCheck(bare), 0);
  EXPECT_EQ(f.tree.SetItemBold(bare, true), 0);
  EXPECT_TRUE(f.messages.empty());
  EXPECT_EQ(f.States(), "R:U A:U bare:?");

  f.tree.Initialize(false);
  f.AddAll({"S"});
  EXPECT_FALSE(f.tree.SetCheck(f["S"], true));
  EXPECT_EQ(f.tree.GetCheckedCount(), 0);
  EXPECT_EQ(f.tree.GetFirstCheckedItem(), kNoItem);
}

TEST(CheckImages, IndexFollowsStateEnabledAndHotLook) {
  TreeFixture f;
  f.AddAll({"R", "R/A", "R/B"});
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["A"]), 1);
  f.tree.SetCheck(f["A"], true);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["A"]), 2);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["R"]), 3);
  f.tree.EnableItem(f["B"], false);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["B"]), 5);
  f.tree.EnableItem(f["A"], false);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["A"]), 6);
  f.tree.EnableItem(f["R"], false);
  EXPECT_EQ(f.tree.GetCheckImageIndex(f["R"]), 7);
}

TEST(SmartCheck, InitializeTurnsItOffAgain) {
  TreeFixture f;
  EXPECT_TRUE(f.tree.GetSmartCheckBoxes());
  f.tree.SetSelectOnCheckClick(false);
  f.tree.Initialize(true);
  EXPECT_FALSE(f.tree.GetSmartCheckBoxes());
  EXPECT_TRUE(f.tree.GetSelectOnCheckClick());
  // Without smart checking a parent keeps its own flag only.
  f.AddAll({"R", "R/A"});
  f.tree.SetCheck(f["A"], true);
  EXPECT_EQ(f.States(), "R:U A:C");
  f.tree.SetCheck(f["R"], true);
  f.tree.SetCheck(f["A"], false);
  EXPECT_EQ(f.States(), "R:C A:U");
}

}  // namespace
}  // namespace treetest

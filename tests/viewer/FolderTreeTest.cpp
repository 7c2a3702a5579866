// Filling the folder tree from discovered folders: top-level folders, paths
// split at backslashes, the check and bold rules, images and item data.
#include <gtest/gtest.h>

#include "viewer/FolderTree.h"

namespace {

using tree::HTREEITEM;

class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        folderTree.Initialize(true);
        folderTree.SetSmartCheckBoxes(true);
        root = InsertRootItem(folderTree, u"mail.nsf");
    }
    void Insert(std::u16string name, uint32_t noteId, uint8_t hasEntries) {
        InsertFolderRecord(folderTree, root, FolderRecord{std::move(name), noteId, hasEntries}, texts);
    }
    // Children of an item as "text" list.
    std::vector<std::u16string> Children(HTREEITEM parent) const {
        std::vector<std::u16string> out;
        for (HTREEITEM c = folderTree.GetChildItem(parent); c; c = folderTree.GetNextSiblingItem(c))
            out.push_back(folderTree.GetItemText(c));
        return out;
    }
    HTREEITEM Child(HTREEITEM parent, int index) const {
        HTREEITEM c = folderTree.GetChildItem(parent);
        while (c && index-- > 0) c = folderTree.GetNextSiblingItem(c);
        return c;
    }
    int Image(HTREEITEM item) const {
        int image = -1, selected = -2;
        folderTree.GetItemImage(item, image, selected);
        EXPECT_EQ(image, selected);
        return image;
    }

    tree::CXHtmlTree folderTree;
    HTREEITEM root = tree::kNoItem;
    std::vector<std::u16string> logLines, statusLines;
    FolderTreeTexts texts{[this](const std::u16string& t) { logLines.push_back(t); },
                          [this](const std::u16string& t) { statusLines.push_back(t); }};
};

TEST_F(FolderTreeTest, RootIsCheckedWithImageZero) {
    EXPECT_EQ(folderTree.GetItemText(root), u"mail.nsf");
    EXPECT_EQ(Image(root), 0);
    EXPECT_EQ(folderTree.GetCheck(root), 1);
}

TEST_F(FolderTreeTest, TopLevelFoldersCheckedAndBoldByEntries) {
    Insert(u"Inbox", 8200, 1);
    Insert(u"Archive", 8236, 0);
    Insert(u"($All)", 8216, 1);
    const HTREEITEM inbox = Child(root, 0), archive = Child(root, 1), all = Child(root, 2);
    EXPECT_EQ(folderTree.GetCheck(inbox), 1);
    EXPECT_TRUE(folderTree.GetItemBold(inbox));
    EXPECT_EQ(Image(inbox), 3);
    EXPECT_EQ(folderTree.GetItemData(inbox), 8200u);
    EXPECT_EQ(folderTree.GetCheck(archive), 0);
    EXPECT_FALSE(folderTree.GetItemBold(archive));
    EXPECT_EQ(folderTree.GetCheck(all), 0);   // has documents but stays unchecked
    EXPECT_TRUE(folderTree.GetItemBold(all));
    EXPECT_EQ(logLines, (std::vector<std::u16string>{u"Processing Folder: Inbox", u"Processing Folder: Archive",
                                                      u"Processing Folder: ($All)"}));
    EXPECT_EQ(statusLines, logLines);
}

TEST_F(FolderTreeTest, PathUnderExistingFolderKeepsItsData) {
    Insert(u"A", 10, 1);
    Insert(u"A\\B", 20, 1);
    ASSERT_EQ(Children(root), (std::vector<std::u16string>{u"A"}));
    const HTREEITEM a = Child(root, 0), b = Child(a, 0);
    EXPECT_EQ(folderTree.GetItemData(a), 10u);
    EXPECT_EQ(folderTree.GetItemData(b), 20u);
    EXPECT_TRUE(folderTree.GetItemBold(b));
    EXPECT_EQ(logLines.back(), u"Processing Folder: B");
}

TEST_F(FolderTreeTest, PathCreatesItsParentsCheckedWithItsNoteId) {
    Insert(u"Projects\\2018\\Budget", 30, 1);
    const HTREEITEM projects = Child(root, 0), y2018 = Child(projects, 0), budget = Child(y2018, 0);
    ASSERT_NE(budget, tree::kNoItem);
    for (HTREEITEM item : {projects, y2018, budget}) {
        EXPECT_EQ(folderTree.GetItemData(item), 30u);
        EXPECT_EQ(folderTree.GetCheck(item), 1);
        EXPECT_EQ(Image(item), 10);
    }
    EXPECT_FALSE(folderTree.GetItemBold(projects));
    EXPECT_TRUE(folderTree.GetItemBold(budget));
    EXPECT_EQ(logLines, (std::vector<std::u16string>{u"Processing Folder: Projects", u"Processing Folder: 2018",
                                                      u"Processing Folder: Budget"}));
    EXPECT_TRUE(statusLines.empty());
}

TEST_F(FolderTreeTest, EmptyPathPartsAreSkippedAndEmptyFolderUnchecked) {
    Insert(u"A\\\\B", 40, 0);
    const HTREEITEM a = Child(root, 0), b = Child(a, 0);
    ASSERT_NE(b, tree::kNoItem);
    EXPECT_EQ(folderTree.GetItemText(b), u"B");
    EXPECT_EQ(folderTree.GetChildItem(b), tree::kNoItem);
    EXPECT_EQ(folderTree.GetCheck(b), 0);
    EXPECT_FALSE(folderTree.GetItemBold(b));
}

TEST_F(FolderTreeTest, TopLevelFolderAfterPathGetsASecondItem) {
    Insert(u"Projects\\2018", 50, 1);
    Insert(u"Projects", 51, 1);
    EXPECT_EQ(Children(root), (std::vector<std::u16string>{u"Projects", u"Projects"}));
    EXPECT_EQ(folderTree.GetItemData(Child(root, 1)), 51u);
}

TEST_F(FolderTreeTest, PathPartsUseImagesWithoutTheDollarEntries) {
    Insert(u"Mail\\Old Inbox", 60, 1);
    Insert(u"Mail\\($Alarms)", 61, 1);
    const HTREEITEM mail = Child(root, 0);
    EXPECT_EQ(Image(Child(mail, 0)), 3);
    EXPECT_EQ(Image(Child(mail, 1)), 10);
}

}  // namespace

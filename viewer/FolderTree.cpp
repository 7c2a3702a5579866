#include "viewer/FolderTree.h"

#include "viewer/FolderNames.h"
#include "worker/notes/CToken.h"

using tree::HTREEITEM;

namespace {

HTREEITEM FindChild(const tree::CXHtmlTree& tree, HTREEITEM parent, const std::u16string& text) {
    for (HTREEITEM child = tree.GetChildItem(parent); child != tree::kNoItem; child = tree.GetNextSiblingItem(child))
        if (tree.GetItemText(child) == text) return child;
    return tree::kNoItem;
}

void InsertTopLevel(tree::CXHtmlTree& tree, HTREEITEM root, const FolderRecord& record, const FolderTreeTexts& texts) {
    const std::u16string text = u"Processing Folder: " + record.name;
    texts.log(text);
    const int image = FolderImageIndex(record.name, true);
    HTREEITEM item = tree.InsertItem(record.name, image, image, root, tree::TVI_LAST);
    texts.status(text);
    tree.SetItemData(item, record.noteId);
    if (record.hasEntries == 1) {
        if (record.name.find(u"($All)") == std::u16string::npos) tree.SetCheck(item, true);
        tree.SetItemBold(item, true);
    } else {
        tree.SetCheck(item, false);
    }
}

void InsertPath(tree::CXHtmlTree& tree, HTREEITEM root, const FolderRecord& record, const FolderTreeTexts& texts) {
    HTREEITEM current = root;
    CToken parts(record.name);
    parts.SetSeparator(u"\\");
    while (parts.MoreTokens()) {
        const std::u16string part = parts.NextToken();
        if (HTREEITEM found = FindChild(tree, current, part)) {
            current = found;
            continue;
        }
        if (part.empty()) continue;
        const int image = FolderImageIndex(part, false);
        HTREEITEM item = tree.InsertItem(part, image, image, current, tree::TVI_LAST);
        texts.log(u"Processing Folder: " + part);
        tree.SetCheck(item, true);
        tree.SetItemData(item, record.noteId);
        tree.Expand(current, tree::TVE_EXPAND);
        current = item;
    }
    if (record.hasEntries == 1)
        tree.SetItemBold(current, true);
    else
        tree.SetCheck(current, false);
}

}  // namespace

HTREEITEM InsertRootItem(tree::CXHtmlTree& tree, const std::u16string& name) {
    HTREEITEM root = tree.InsertItem(name, 0, 0, tree::TVI_ROOT, tree::TVI_LAST);
    tree.SetCheck(root, true);
    return root;
}

void InsertFolderRecord(tree::CXHtmlTree& tree, HTREEITEM root, const FolderRecord& record,
                        const FolderTreeTexts& texts) {
    if (record.name.find(u'\\') == std::u16string::npos)
        InsertTopLevel(tree, root, record, texts);
    else
        InsertPath(tree, root, record, texts);
}

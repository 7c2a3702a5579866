// Filling the folder tree from the discovered folders: the root item for the
// NSF file, top-level folders and backslash paths split with CToken, the
// check and bold rules, the folder images and the note IDs as item data.
// These run on the window's thread that owns the tree.
#pragma once
#include <functional>
#include <string>

#include "viewer/NsfReader.h"
#include "viewer/tree/CXHtmlTree.h"

struct FolderTreeTexts {
    std::function<void(const std::u16string&)> log;     // run log line
    std::function<void(const std::u16string&)> status;  // status line
};

// Inserts the root item (image 0) and checks it.
tree::HTREEITEM InsertRootItem(tree::CXHtmlTree& tree, const std::u16string& name);

// Inserts one discovered folder below the root.
void InsertFolderRecord(tree::CXHtmlTree& tree, tree::HTREEITEM root, const FolderRecord& record,
                        const FolderTreeTexts& texts);

#include "viewer/dialogs/ExportHandOver.h"

#include "viewer/FolderNames.h"
#include "viewer/LotusNotesDlg.h"

std::u16string TreeItemPath(const tree::CXHtmlTree& tree, tree::HTREEITEM item, const ExportSettings& settings) {
    std::vector<std::u16string> texts;
    std::vector<tree::HTREEITEM> items;
    tree.GetItemPath(item, texts, items);
    std::u16string path;
    for (size_t i = 1; i < texts.size(); ++i) {
        path += MapFolderName(texts[i], settings);
        if (i + 1 < texts.size() && (path.empty() || path.back() != u'\\')) path += u'\\';
    }
    return path;
}

std::optional<SelectionFile> CollectTreeSelection(const tree::CXHtmlTree& tree,
                                                  const std::vector<FolderRecord>& folders,
                                                  const ExportSettings& settings) {
    if (tree.GetCheckedCount() == 0) return std::nullopt;
    SelectionFile selection;
    selection.status = SelectionExport;
    tree::HTREEITEM item = tree.GetFirstCheckedItem();
    if (item != tree::kNoItem && item == tree.GetRootItem()) item = tree.GetNextCheckedItem(item);
    for (; item != tree::kNoItem; item = tree.GetNextCheckedItem(item)) {
        SelectionEntry entry;
        entry.noteId = tree.GetItemData(item);
        entry.path = TreeItemPath(tree, item, settings);
        entry.hasEntries = 1;
        for (const FolderRecord& record : folders) {
            if (record.noteId != entry.noteId) continue;
            entry.hasEntries = record.hasEntries;
            break;
        }
        selection.entries.push_back(std::move(entry));
    }
    selection.destinationFolder = settings.destinationFolder;
    selection.reservedPath.clear();
    return selection;
}

bool WriteSelectionFile(sys::CFile& selectionFile, const SelectionFile& selection, EViewerMode mode) {
    if (!selectionFile.IsOpen()) return false;
    selectionFile.Seek(0);
    const bool written = selectionFile.Write(SerializeSelection(selection, mode));
    selectionFile.Close();
    return written;
}

void WriteConfigFile(const std::u16string& workDir, const ExportSettings& settings) {
    WriteExportSettings(workDir + u"config.txt", settings);
}

bool HandOverTreeSelection(const tree::CXHtmlTree& tree, const std::vector<FolderRecord>& folders,
                           const ExportSettings& settings, sys::CFile& selectionFile, const std::u16string& workDir) {
    if (!selectionFile.IsOpen()) return false;
    std::optional<SelectionFile> selection = CollectTreeSelection(tree, folders, settings);
    if (!selection) return false;
    WriteSelectionFile(selectionFile, *selection, EViewerMode::Full);
    WriteConfigFile(workDir, settings);
    return true;
}

void HandOverSaveDialogResult(bool confirmed, const ExportSettings& settings, sys::CFile& selectionFile,
                              const std::u16string& workDir) {
    SelectionFile selection;
    if (confirmed) {
        WriteConfigFile(workDir, settings);
        selection.status = SelectionExport;
        selection.destinationFolder = settings.destinationFolder;
    } else {
        selection.status = SelectionCancelled;
    }
    WriteSelectionFile(selectionFile, selection, EViewerMode::SaveDialogOnly);
}

void CSaveAsPstExportFlow::RunExport(CLotusNotesDlg& dialog) {
    ExportSettings& settings = dialog.App().settings;
    settings.includeAllView = 1;
    settings.exportRequested = 1;
    if (!showSaveDialog(dialog, settings)) return;
    IViewerWindow* window = dialog.Window();
    tree::CXHtmlTree* folderTree = window ? window->Tree() : nullptr;
    const bool written = folderTree && HandOverTreeSelection(*folderTree, dialog.Reader().folders, settings,
                                                             dialog.SelectionFileObject(), dialog.CommandLine().workDir);
    if (!written) {
        if (window) window->Message(kNoFolderCheckedMessage, ui::EButtons::Ok);
        return;
    }
    dialog.EndViewer();
}

void CSaveAsPstExportFlow::RunSaveDialogOnly(CLotusNotesDlg& dialog) {
    ExportSettings& settings = dialog.App().settings;
    settings.exportRequested = 1;
    const bool confirmed = showSaveDialog(dialog, settings);
    HandOverSaveDialogResult(confirmed, settings, dialog.SelectionFileObject(), dialog.CommandLine().workDir);
}

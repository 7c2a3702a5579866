// The export hand-over of the viewer's window modes: the checked folders of
// the tree turned into the selection file (paths cleaned and mapped, the
// has-entries flags of the scan), config.txt, the save-dialog-only mode's
// final status, and the flow behind the main window's Export command.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sys/Files.h"
#include "viewer/ExportFlow.h"
#include "viewer/NsfReader.h"
#include "viewer/tree/CXHtmlTree.h"
#include "worker/core/ExportSettings.h"
#include "worker/core/WorkFiles.h"

inline constexpr char16_t kNoFolderCheckedMessage[] = u"Please select folder from tree for saving";

// The selection path of a tree item: the texts from below the root down to
// the item, each cleaned and mapped, joined with backslashes.
std::u16string TreeItemPath(const tree::CXHtmlTree& tree, tree::HTREEITEM item, const ExportSettings& settings);

// The checked items in pre-order, the root item (the NSF file) skipped, with
// their paths, note IDs and has-entries flags (1 for a note ID the scan did
// not list). Nothing when no item is checked.
std::optional<SelectionFile> CollectTreeSelection(const tree::CXHtmlTree& tree,
                                                  const std::vector<FolderRecord>& folders,
                                                  const ExportSettings& settings);

// Writes the selection from offset 0 of the open selection file (older tail
// bytes stay) and closes it. False when the file is not open.
bool WriteSelectionFile(sys::CFile& selectionFile, const SelectionFile& selection, EViewerMode mode);

// Creates or truncates work directory + "config.txt" with the settings;
// nothing is reported when it cannot be created.
void WriteConfigFile(const std::u16string& workDir, const ExportSettings& settings);

// Export after the Save as PST dialog was confirmed: writes the selection
// and config.txt. False (nothing written) when no folder is checked.
bool HandOverTreeSelection(const tree::CXHtmlTree& tree, const std::vector<FolderRecord>& folders,
                           const ExportSettings& settings, sys::CFile& selectionFile, const std::u16string& workDir);

// The save-dialog-only mode after the dialog: on OK config.txt and status 1
// with the destination folder; on Cancel the single status byte 0.
void HandOverSaveDialogResult(bool confirmed, const ExportSettings& settings, sys::CFile& selectionFile,
                              const std::u16string& workDir);

// The flow behind Export and the save-dialog-only mode. `showSaveDialog`
// runs the Save as PST dialog modally on the settings and answers whether
// it was confirmed.
class CSaveAsPstExportFlow : public IExportFlow {
public:
    using SaveDialog = std::function<bool(CLotusNotesDlg& dialog, ExportSettings& settings)>;
    explicit CSaveAsPstExportFlow(SaveDialog showSaveDialog) : showSaveDialog(std::move(showSaveDialog)) {}

    void RunExport(CLotusNotesDlg& dialog) override;
    void RunSaveDialogOnly(CLotusNotesDlg& dialog) override;

private:
    SaveDialog showSaveDialog;
};

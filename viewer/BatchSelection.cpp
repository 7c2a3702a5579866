// The batch mode: every discovered folder goes into the selection file
// without a window to choose from, with the options of config.txt.
#include "viewer/FolderNames.h"
#include "viewer/LotusNotesDlg.h"
#include "worker/core/WorkFiles.h"

void CLotusNotesDlg::StartBatch() {
    window->HideBrowsing();
    ReadExportSettings(cmd.workDir + u"config.txt", app.settings);
    JoinWorker();
    worker = std::thread([this] { BatchThread(); });
}

void CLotusNotesDlg::BatchThread() {
    reader.session.InitThread();
    try {
        Status(u"Opening  Database");
        Log(u"Opening  Database ");
        if (reader.OpenDatabase(cmd.nsfPath, cmd.serverName)) {
            const std::u16string text = u"Processing Folders for nsf file:  " + cmd.nsfPath;
            Log(text);
            Status(text);
            reader.DiscoverFolders();
            WriteBatchSelection();
        }
    } catch (LNSTATUS status) {
        NotesErrorText(status);
    }
    reader.session.TermThread();
    // The finish message: the program ends as with the Enter key.
    Send([this] { OnOK(); });
}

void CLotusNotesDlg::WriteBatchSelection() {
    if (!selectionFile.IsOpen()) return;
    SelectionFile selection;
    selection.status = SelectionExport;
    for (const FolderRecord& record : reader.folders) {
        SelectionEntry entry;
        entry.path = BatchFolderPath(record.name, app.settings);
        entry.hasEntries = record.hasEntries == 1 ? 1 : 0;
        entry.noteId = record.noteId;
        selection.entries.push_back(std::move(entry));
    }
    selectionFile.Seek(0);
    selectionFile.Write(SerializeSelection(selection, EViewerMode::Batch));
    selectionFile.Close();
}

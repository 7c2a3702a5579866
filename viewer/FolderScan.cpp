// The folder scan of the full mode: opens the database, discovers its folders
// and builds the tree, on a worker thread whose tree calls run on the
// window's thread.
#include "viewer/FolderTree.h"
#include "viewer/LotusNotesDlg.h"

void CLotusNotesDlg::ScanThread() {
    app.scanRunning = 1;
    Send([this] {
        window->ShowProgress(true);
        window->EnableCommands(false);
    });
    StatusAndLog(u"Scanning File .\r\n");
    reader.session.InitThread();
    try {
        StatusAndLog(u"Opening  Database");
        if (reader.OpenDatabase(cmd.nsfPath, cmd.serverName)) {
            StatusAndLog(u"Processing Folders.... \r\n");
            reader.DiscoverFolders();
            BuildTree();
        } else {
            Status(u"ERROR: Database cannot be Opened\r\n");
            app.runLog.Write(u"ERROR: Database cannot be Opened\r\n");
        }
        StatusAndLog(u"Processing Finished....");
    } catch (LNSTATUS status) {
        NotesErrorText(status);
    }
    reader.session.TermThread();
    app.scanRunning = 0;
    Send([this] {
        window->ShowProgress(false);
        window->EnableCommands(true);
        window->Message(u"Scanning process done..", ui::EButtons::Ok);
    });
    StatusAndLog(u"Scanning process done..");
}

void CLotusNotesDlg::BuildTree() {
    const std::u16string rootName = RootName(cmd.nsfPath);
    StatusAndLog(u"Processing NSF File: " + rootName);
    const tree::HTREEITEM root = Send([this, &rootName]() -> tree::HTREEITEM {
        tree::CXHtmlTree* folderTree = window->Tree();
        return folderTree ? InsertRootItem(*folderTree, rootName) : tree::kNoItem;
    });
    const uint32_t count = static_cast<uint32_t>(reader.folders.size());
    SendProgressRange(0, count);
    SendProgressPosition(0);
    const FolderTreeTexts texts{[this](const std::u16string& t) { Log(t); },
                                [this](const std::u16string& t) { window->SetStatusText(t); }};
    for (uint32_t i = 0; i < count; ++i) {
        if (app.keepRunning == 0) {
            app.keepRunning = 1;
            break;
        }
        if (i % 10 == 0) SendProgressPosition(i);
        Send([&, i] {
            if (tree::CXHtmlTree* folderTree = window->Tree())
                InsertFolderRecord(*folderTree, root, reader.folders[i], texts);
        });
    }
    SendProgressPosition(count);
    Send([this, root] {
        if (tree::CXHtmlTree* folderTree = window->Tree()) folderTree->Expand(root, tree::TVE_EXPAND);
    });
}

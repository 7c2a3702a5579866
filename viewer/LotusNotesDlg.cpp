#include "viewer/LotusNotesDlg.h"

#include <cstdio>
#include <unistd.h>

#include "viewer/tree/CXHtmlTree.h"

CLotusNotesDlg::CLotusNotesDlg(CLotusNotesApp& application, std::u16string line, IExportFlow& flow)
    : exitProcess([](int code) {
          std::fflush(nullptr);
          _exit(code);
      }),
      app(application),
      commandLine(std::move(line)),
      exportFlow(flow),
      reader(application) {
    reader.SetProgressTarget(this);
}

CLotusNotesDlg::~CLotusNotesDlg() { StopThreads(); }

void CLotusNotesDlg::Attach(IViewerWindow* w, std::shared_ptr<tree::IWindowThread> thread) {
    window = w;
    windowThread = std::move(thread);
}

void CLotusNotesDlg::OnInitDialog() {
    app.keepRunning = 1;
    cmd = ParseViewerCommandLine(commandLine);
    if (!selectionFile.OpenExisting(cmd.workDir + u"Folderpth.txt")) {
        window->Message(u"Folder file cannot be open", ui::EButtons::Ok);
        return;
    }
    app.settings.logFilePath = cmd.workDir + runLogName;
    // A log that cannot be opened is not fatal: its lines are dropped.
    app.runLog.Open(app.settings.logFilePath);
    app.runLog.WriteLine(std::u16string(149, u'*'));
    StartRoutine();
}

void CLotusNotesDlg::StartRoutine() {
    if (reader.session.IsInitialized()) reader.session.Term();
    reader.session.Initialize();
    reader.folders.clear();
    if (tree::CXHtmlTree* folderTree = window->Tree()) folderTree->DeleteAllItems();
    window->ClearItemList();
    rows.clear();
    app.settings.counterSet = 0;
    switch (cmd.mode) {
    case 1:
        app.settings.includeSystemViews = 1;
        app.settings.includeAllView = 1;
        flowStarted = true;
        JoinWorker();
        worker = std::thread([this] { ScanThread(); });
        break;
    case 2:
        flowStarted = true;
        exportFlow.RunSaveDialogOnly(*this);
        window->EndDialog(true);
        break;
    case 3:
        flowStarted = true;
        StartBatch();
        break;
    default:
        break;
    }
}

void CLotusNotesDlg::Status(const std::u16string& text) {
    Send([this, &text] { window->SetStatusText(text); });
}

void CLotusNotesDlg::StatusAndLog(const std::u16string& text) {
    Status(text);
    Log(text);
}

void CLotusNotesDlg::SendProgressRange(uint32_t lower, uint32_t upper) {
    Send([this, lower, upper] {
        window->SetProgressRange(static_cast<int32_t>(lower), static_cast<int32_t>(upper));
    });
}

void CLotusNotesDlg::SendProgressPosition(uint32_t position) {
    Send([this, position] { window->SetProgressPosition(static_cast<int32_t>(position)); });
}

std::u16string CLotusNotesDlg::RootName(const std::u16string& nsfPath) {
    const size_t at = nsfPath.find_last_of(u"\\/");
    return at == std::u16string::npos ? nsfPath : nsfPath.substr(at + 1);
}

// ---- commands ------------------------------------------------------------------

void CLotusNotesDlg::OnStop() {
    if (window->Message(u"Are you sure to stop the running process?", ui::EButtons::YesNo) == ui::EAnswer::Yes)
        app.keepRunning = 0;
}

void CLotusNotesDlg::OnClose() {
    if (window->Message(u"Are you sure to stop the running process?", ui::EButtons::YesNo) != ui::EAnswer::Yes)
        return;
    if (selectionFile.IsOpen()) {
        const char closed = 3;
        selectionFile.Seek(0);
        selectionFile.Write(&closed, 1);
        selectionFile.Close();
    }
    window->EndDialog(false);
}

void CLotusNotesDlg::OnOK() {
    if (cmd.mode == 2) {
        window->EndDialog(true);
        return;
    }
    EndViewer();
}

void CLotusNotesDlg::EndViewer() {
    reader.CloseAll();
    app.runLog.Close();
    exitProcess(0);
}

void CLotusNotesDlg::OnCancel() { window->EndDialog(false); }

void CLotusNotesDlg::OnExport() { exportFlow.RunExport(*this); }

void CLotusNotesDlg::JoinWorker() {
    if (worker.joinable()) worker.join();
}

void CLotusNotesDlg::StopThreads() {
    closing = true;
    app.keepRunning = 0;
    JoinWorker();
    if (listingThread.joinable()) listingThread.join();
}

void CLotusNotesDlg::WaitForThreads() {
    JoinWorker();
    if (listingThread.joinable()) listingThread.join();
}

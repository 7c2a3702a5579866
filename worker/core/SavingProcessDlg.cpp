#include "worker/core/SavingProcessDlg.h"

#include "platform/sys/Process.h"
#include "worker/core/RunState.h"
#include "worker/core/WorkFiles.h"
#include "worker/store/StoreOperations.h"

CsavingprocessDlg::CsavingprocessDlg(CsavingprocessApp& application, std::u16string line, IConversionPasses& p)
    : app(application), commandLine(std::move(line)), passes(p), converter(application) {}

CsavingprocessDlg::~CsavingprocessDlg() {
    if (worker.joinable()) worker.join();
    app.runLog.Close();
}

void CsavingprocessDlg::DoModal() {
    window = ui::CProgressWindow::Create(workerTitle);
    converter.window = window.get();
    ui::CProgressWindow::CHandlers handlers;
    handlers.onStart = [this] { OnInitDialog(); };
    handlers.onStop = [this] { app.keepRunning = 0; };
    handlers.onEndNotice = [this] { OnEndNotice(); };
    window->RunModal(std::move(handlers));
}

void CsavingprocessDlg::OnInitDialog() {
    WorkerCommandLine cmd = ParseWorkerCommandLine(commandLine);
    nsfPath = cmd.nsfPath;
    serverName = cmd.serverName;
    calendarMode = cmd.calendarMode;
    pstPath = cmd.pstPath;
    workDir = cmd.workDir;
    app.settingPath = workDir + u"setting.txt";
    app.calPath = workDir + u"cal.txt";
    // Without a work folder the run fails at its log; nothing is written
    // into whatever folder the worker was started in.
    if (!workDir.empty()) app.outcomes.Open(workDir);
    ReadExportSettings(workDir + u"config.txt", app.settings);
    StartRun();
}

void CsavingprocessDlg::StartRun() {
    converter.session.Initialize();
    worker = std::thread([this] { RunThread(); });
}

void CsavingprocessDlg::Status(const std::u16string& text) { window->SendStatusText(text); }

bool CsavingprocessDlg::CommonStart(store::DispatchPtr& session) {
    if (!calendarMode) Log(u"Saving data process starts:");
    session = storeops::CreateSession();
    if (!session) {
        Log(u"MS outlook session cannot be open");
        if (!calendarMode)
            ui::MessageBox(workerTitle, u"Make sure 32 bit ms outlook should be install on your system");
        return false;
    }
    if (!storeops::Logon(session, pstPath)) {
        Log(u"MS outlook session cannot be open");
        return false;
    }
    if (calendarMode) {
        Log(u"Session open for pst file for calendar entires: " + pstPath);
    } else {
        Log(u"Session open for pst file: " + pstPath);
        Status(u"Session open for pst file: " + pstPath);
    }
    converter.session.InitThread();
    Log(u"ReOpening  Database ");
    Status(u"Opening Database");
    return true;
}

void CsavingprocessDlg::RunThread() {
    if (!app.runLog.Open(app.settings.logFilePath)) {
        ui::MessageBox(workerTitle, u"Log file cannot be opened");
        // Without a log the run cannot report anything: end it instead of
        // leaving a dialog that nobody can close.
        EndRun({ERunState::Failed, "the run log cannot be opened"});
        return;
    }
    converter.tempDir = MakeWorkerTempDir();
    store::DispatchPtr session;
    if (!CommonStart(session)) {
        EndRun({ERunState::Failed, "the PST file cannot be opened"});
        return;
    }
    RunState outcome{ERunState::Failed, "the Notes database cannot be opened"};
    if (converter.OpenNotesDatabase(nsfPath, serverName) == 1) {
        bool ran = true;
        if (calendarMode)
            passes.RunCalendar(converter, session);
        else
            ran = MailRunWork(session);
        outcome = ran ? PassOutcome() : RunState{ERunState::Failed, "the folder run record cannot be read"};
    }
    FinishRun(session, outcome);
}

bool CsavingprocessDlg::MailRunWork(const store::DispatchPtr& session) {
    FolderRunRecord record;
    if (!ReadFolderRunRecord(app.settingPath, record)) {
        Log(u"Setting File cannot be opened.");
        Status(u"Setting File cannot be opened.");
        return false;
    }
    startIndex = record.position;
    passes.RunMailFolder(converter, {record.position, record.path, record.folderNoteId}, session);
    return true;
}

RunState CsavingprocessDlg::PassOutcome() const {
    if (!app.storeFailure.empty()) return {ERunState::Failed, app.storeFailure};
    if (!app.folderFailure.empty()) return {ERunState::FolderFailed, app.folderFailure};
    if (app.restartNeeded != 0) return {ERunState::Restart, {}};
    FolderRunRecord record;
    if (ReadFolderRunRecord(app.settingPath, record) && record.status == 0) return {ERunState::Stopped, {}};
    return {ERunState::Complete, {}};
}

void CsavingprocessDlg::EndRun(const RunState& outcome) {
    WriteRunState(workDir, outcome);
    window->SendEndNotice();
}

void CsavingprocessDlg::FinishRun(const store::DispatchPtr& session, const RunState& outcome) {
    converter.session.TermThread();
    storeops::EndSession(session);
    // A calendar run's in-memory ID list goes with the pass; cal.txt itself
    // stays for the runs that follow.
    if (!calendarMode) Status(u"Saving process completed");
    EndRun(outcome);
}

void CsavingprocessDlg::OnEndNotice() {
    converter.CloseNotesDatabase();
    converter.session.Term();
    sys::TerminateOwnProcess();
}

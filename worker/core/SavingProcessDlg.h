// The worker's progress dialog and the run it drives: it cuts the command
// line, reads config.txt, starts one conversion thread (a mail run or a
// calendar run) and ends the process when that thread sends the end notice.
#pragma once
#include <memory>
#include <string>
#include <thread>

#include "platform/ui/UserInterface.h"
#include "worker/core/ConversionPasses.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/RunState.h"
#include "worker/core/SavingProcessApp.h"
#include "worker/core/WorkerCommandLine.h"

class CsavingprocessDlg {
public:
    CsavingprocessDlg(CsavingprocessApp& app, std::u16string commandLine, IConversionPasses& passes);
    ~CsavingprocessDlg();

    // Shows the dialog modally; returns only when it is closed normally.
    void DoModal();

    // From the command line.
    std::u16string nsfPath, serverName, pstPath, workDir;
    bool calendarMode = false;
    uint32_t startIndex = 0;

private:
    void OnInitDialog();
    void StartRun();
    void RunThread();
    // Steps shared by both runs up to the open database; false ends the run.
    bool CommonStart(store::DispatchPtr& session);
    // False when the folder run record cannot be read.
    bool MailRunWork(const store::DispatchPtr& session);
    // Restart, stopped or complete, from the flags and the record the pass left.
    RunState PassOutcome() const;
    void FinishRun(const store::DispatchPtr& session, const RunState& outcome);
    // Leaves the outcome for the launcher and sends the end notice.
    void EndRun(const RunState& outcome);
    void OnEndNotice();
    void Log(std::u16string_view line) { app.runLog.WriteLine(line); }
    void Status(const std::u16string& text);

    CsavingprocessApp& app;
    std::u16string commandLine;
    IConversionPasses& passes;
    CNsfConverter converter;
    std::unique_ptr<ui::CProgressWindow> window;
    std::thread worker;
};

// The console forms of the worker's progress window and the viewer's main
// window in a log (CI, a pipe): each new status once on one line, no title,
// no bar; started by nsf2pst into a log, only the messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/ui/ConsoleProgress.h"
#include "platform/ui/UserInterface.h"
#include "viewer/ConsoleViewerWindow.h"

namespace {

using ui::EConsole;

// What a mail run shows: the status texts (one repeated), the bar going
// from 0 to 2 of 3, and a message box.
std::string WorkerRun(EConsole console) {
    setenv("NSF2PST_HEADLESS", "1", 1);
    testing::internal::CaptureStderr();
    {
        ui::CConsoleProgress window(u"Kelvro Saving Data", console);
        std::thread worker;
        ui::CProgressWindow::CHandlers handlers;
        handlers.onStart = [&] {
            worker = std::thread([&] {
                window.SendStatusText(u"Opening Database");
                window.SendStatusText(u"Dumping Folder data Inbox");
                window.SendRange(0, 3);
                window.SendPosition(0);
                window.SendPosition(2);
                window.SendStatusText(u"Dumping Folder data Inbox");
                ui::MessageBox(u"Kelvro Saving Data", u"Log file cannot be opened");
                window.SendStatusText(u"Saving process completed");
                window.Send([&] { window.Close(); });
            });
        };
        window.RunModal(handlers);
        worker.join();
    }
    return testing::internal::GetCapturedStderr();
}

// What the viewer's batch mode shows: status texts that end with CR LF for
// the run log, one of them twice, and a message.
std::string ViewerRun(EConsole console) {
    testing::internal::CaptureStderr();
    {
        CConsoleViewerWindow window(console);
        window.SetStatusText(u"Scanning File .\r\n");
        window.SetStatusText(u"Opening  Database");
        window.SetStatusText(u"Opening  Database");
        window.SetStatusText(u"Processing Folders.... \r\n");
        window.Message(u"Scanning process done..", ui::EButtons::Ok);
    }
    return testing::internal::GetCapturedStderr();
}

TEST(ConsoleOutput, LogsGetOneLinePerNewStatusAndNoBars) {
    const std::string message = "Kelvro Saving Data: Log file cannot be opened\n";
    EXPECT_EQ(WorkerRun(EConsole::Log),
              "Opening Database\nDumping Folder data Inbox\n" + message + "Saving process completed\n");
    EXPECT_EQ(WorkerRun(EConsole::MessagesOnly), message);
    const std::string viewerMessage = "Kelvro Show NSF Data v18.0: Scanning process done..\n";
    EXPECT_EQ(ViewerRun(EConsole::Log), "Scanning File .\nOpening  Database\nProcessing Folders.... \n" + viewerMessage);
    EXPECT_EQ(ViewerRun(EConsole::MessagesOnly), viewerMessage);
}

}  // namespace

// The worker's progress window in a real display (run under Xvfb): its title,
// bar, status line and Stop button, the synchronous messages from a worker
// thread, and Enter/Escape that must not close it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/sys/Text.h"
#include "platform/ui/UserInterface.h"
#include "platform/ui/WxProgressDialog.h"
#include "tests/support/CommandOutput.h"

TEST(ProgressWindowGui, ShowsTitleBarStatusAndStop) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    unsetenv("NSF2PST_HEADLESS");
    ASSERT_FALSE(ui::IsHeadless());
    ASSERT_TRUE(ui::EnsureToolkit());  // this program links the window forms, as the viewer does
    auto window = ui::CProgressWindow::Create(u"Kelvro Saving Data");
    ASSERT_TRUE(window);
    std::thread worker;
    bool stopped = false;
    std::string found, statusSeen;
    ui::CProgressWindow::CHandlers handlers;
    handlers.onStop = [&] { stopped = true; };
    handlers.onStart = [&] {
        worker = std::thread([&] {
            window->SendRange(0, 100);
            window->SendPosition(40);
            window->SendStatusText(u"Dumping Folder data Inbox");
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            found = CommandOutput("xdotool search --name 'Kelvro Saving Data'");
            // Enter and Escape go to the dialog and must not close it.
            std::system("xdotool search --name 'Kelvro Saving Data' windowactivate --sync key Return key Escape "
                        ">/dev/null 2>&1");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::string shot = std::string(NSF2PST_BINARY_DIR) + "/progress-dialog.png";
            std::system(("import -window root " + shot + " >/dev/null 2>&1").c_str());
            window->Send([&] { statusSeen = sys::Utf16ToUtf8(window->StatusText()); });
            window->Send([&] { window->Close(); });
        });
    };
    window->RunModal(handlers);
    worker.join();
    EXPECT_FALSE(found.empty()) << "no window titled Kelvro Saving Data";
    EXPECT_EQ(statusSeen, "Dumping Folder data Inbox");
    EXPECT_FALSE(stopped);
}

// The worker thread ends a run with the end notice; its handler must run on
// the window's thread, where it closes the window.
TEST(ProgressWindowGui, EndNoticeFromTheWorkerReachesItsHandler) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    unsetenv("NSF2PST_HEADLESS");
    auto window = ui::CProgressWindow::Create(u"Kelvro Saving Data");
    ASSERT_TRUE(window);
    std::thread worker;
    bool noticed = false;
    ui::CProgressWindow::CHandlers handlers;
    handlers.onEndNotice = [&] {
        noticed = true;
        window->Close();
    };
    handlers.onStart = [&] {
        worker = std::thread([&] {
            window->SendEndNotice();  // synchronous: the handler has run when it returns
            if (!noticed) window->Send([&] { window->Close(); });
        });
    };
    window->RunModal(handlers);
    worker.join();
    EXPECT_TRUE(noticed);
}

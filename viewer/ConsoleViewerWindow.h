// The main window without a display, for the batch mode: status texts (one
// line each; in a log each new one once, and none when nsf2pst speaks for
// the viewer) and messages go to stderr, progress is not shown, and calls
// from the worker thread are queued for the thread that runs the window's loop.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui/ConsoleText.h"
#include "viewer/ViewerWindow.h"
#include "viewer/tree/WindowThreadCall.h"

class CConsoleViewerWindow : public IViewerWindow, public tree::IWindowThread {
public:
    explicit CConsoleViewerWindow(ui::EConsole console = ui::ConsoleKind());

    // Runs queued calls until EndDialog; true when it ended with OK.
    bool RunModal();

    // IWindowThread
    bool IsWindowThread() const override { return std::this_thread::get_id() == owner; }
    void Post(std::function<void()> task) override;

    // IViewerWindow
    void SetStatusText(const std::u16string& text) override;
    void SetProgressRange(int32_t, int32_t) override {}
    void SetProgressPosition(int32_t) override {}
    void ShowProgress(bool) override {}
    void EnableCommands(bool) override {}
    void HideBrowsing() override {}
    tree::CXHtmlTree* Tree() override { return nullptr; }
    void ClearItemList() override {}
    void InsertItemRowAtTop(const ItemRow&, uint32_t) override {}
    ui::EAnswer Message(const std::u16string& text, ui::EButtons buttons) override;
    void EndDialog(bool ok) override;

private:
    std::thread::id owner;
    ui::EConsole console;
    std::u16string lastStatus;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool ended = false;
    bool endedOk = false;
};

// The console form of the progress window: a task queue served by the thread
// that called RunModal, the status line and a bar printed to stderr. On a
// terminal: the title, each status text and a bar redrawn in place. In a
// log: each new status text on one line, no title and no bar. Started by
// nsf2pst into a log: neither (nsf2pst's lines say it).
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/ui/ConsoleText.h"
#include "platform/ui/UserInterface.h"

namespace ui {

class CConsoleProgress : public CProgressWindow {
public:
    explicit CConsoleProgress(std::u16string title, EConsole console = ConsoleKind());
    ~CConsoleProgress() override;
    void RunModal(CHandlers handlers) override;
    void Send(std::function<void()> task) override;
    void SetRange(int32_t lower, int32_t upper) override;
    void SetPosition(int32_t position) override;
    void SetStatusText(const std::u16string& text) override;
    std::u16string StatusText() const override { return status; }
    void Close() override { closed = true; }

private:
    void PrintBar();
    std::u16string title;
    EConsole console;
    std::u16string status;
    int32_t lower = 0, upper = 100, position = 0;
    int lastPercent = -1;
    bool closed = false;
    std::thread::id ownerThread;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
};

}  // namespace ui

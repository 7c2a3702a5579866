#include "platform/ui/ConsoleProgress.h"

#include <csignal>
#include <cstdio>
#include <future>

#include "platform/sys/Text.h"
#include "platform/ui/StatusText.h"

namespace ui {
namespace {
volatile std::sig_atomic_t stopSignal = 0;
extern "C" void OnStopSignal(int) { stopSignal = 1; }
}  // namespace

CConsoleProgress::CConsoleProgress(std::u16string t, EConsole c) : title(std::move(t)), console(c) {}
CConsoleProgress::~CConsoleProgress() = default;

void CConsoleProgress::RunModal(CHandlers h) {
    handlers = std::move(h);
    ownerThread = std::this_thread::get_id();
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Every run of a conversion would repeat the title in a log.
    if (console == EConsole::Terminal) PrintConsoleLine(sys::Utf16ToUtf8(title));
    if (handlers.onStart) handlers.onStart();
    bool stopDelivered = false;
    while (!closed) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return !tasks.empty(); });
            if (!tasks.empty()) {
                task = std::move(tasks.front());
                tasks.pop_front();
            }
        }
        if (task) task();
        if (stopSignal && !stopDelivered) {
            stopDelivered = true;
            PrintConsoleLine("Stop requested: the run ends after the current document.", console == EConsole::Terminal);
            if (handlers.onStop) handlers.onStop();
        }
    }
}

void CConsoleProgress::Send(std::function<void()> task) {
    if (std::this_thread::get_id() == ownerThread) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    {
        std::lock_guard lock(mutex);
        tasks.push_back([&] {
            task();
            done.set_value();
        });
    }
    wake.notify_one();
    finished.wait();
}

void CConsoleProgress::SetRange(int32_t lo, int32_t hi) {
    lower = lo;
    upper = hi;
    lastPercent = -1;
}

void CConsoleProgress::SetPosition(int32_t pos) {
    position = pos;
    PrintBar();
}

void CConsoleProgress::SetStatusText(const std::u16string& text) {
    const bool repeated = text == status;
    status = text;
    if (console == EConsole::Terminal) {
        PrintConsoleLine(sys::Utf16ToUtf8(OneLine(text)), true);
    } else if (console == EConsole::Log && !repeated) {
        PrintConsoleLine(sys::Utf16ToUtf8(OneLine(text)));
    }
}

void CConsoleProgress::PrintBar() {
    if (console != EConsole::Terminal) return;  // a log keeps no bars
    int64_t span = static_cast<int64_t>(upper) - lower;
    int percent = span > 0 ? static_cast<int>((static_cast<int64_t>(position) - lower) * 100 / span) : 0;
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (percent == lastPercent) return;
    lastPercent = percent;
    char bar[41];
    int filled = percent * 40 / 100;
    for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
    bar[40] = '\0';
    char line[64];
    std::snprintf(line, sizeof line, "[%s] %3d%%", bar, percent);
    PrintConsoleBar(line);
}

}  // namespace ui

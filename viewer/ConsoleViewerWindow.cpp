#include "viewer/ConsoleViewerWindow.h"


#include "platform/sys/Text.h"
#include "platform/ui/StatusText.h"
#include "viewer/LotusNotesApp.h"

CConsoleViewerWindow::CConsoleViewerWindow(ui::EConsole c) : owner(std::this_thread::get_id()), console(c) {}

bool CConsoleViewerWindow::RunModal() {
    owner = std::this_thread::get_id();
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock guard(lock);
            wake.wait(guard, [this] { return ended || !tasks.empty(); });
            if (tasks.empty()) return endedOk;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        task();
    }
}

void CConsoleViewerWindow::Post(std::function<void()> task) {
    {
        std::lock_guard guard(lock);
        tasks.push_back(std::move(task));
    }
    wake.notify_one();
}

void CConsoleViewerWindow::SetStatusText(const std::u16string& text) {
    if (console == ui::EConsole::MessagesOnly) return;
    const std::u16string line = ui::OneLine(text);
    if (console == ui::EConsole::Log && line == lastStatus) return;
    lastStatus = line;
    ui::PrintConsoleLine(sys::Utf16ToUtf8(line));
}

ui::EAnswer CConsoleViewerWindow::Message(const std::u16string& text, ui::EButtons buttons) {
    ui::PrintConsoleLine(sys::Utf16ToUtf8(viewerTitle) + ": " + sys::Utf16ToUtf8(text));
    return buttons == ui::EButtons::Ok ? ui::EAnswer::Ok : ui::EAnswer::No;
}

void CConsoleViewerWindow::EndDialog(bool ok) {
    {
        std::lock_guard guard(lock);
        ended = true;
        endedOk = ok;
    }
    wake.notify_one();
}

#include "viewer/ConsoleViewerWindow.h"

#include <cstdio>

#include "platform/sys/Text.h"
#include "viewer/LotusNotesApp.h"

CConsoleViewerWindow::CConsoleViewerWindow() : owner(std::this_thread::get_id()) {}

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
    std::fprintf(stderr, "%s\n", sys::Utf16ToUtf8(text).c_str());
}

ui::EAnswer CConsoleViewerWindow::Message(const std::u16string& text, ui::EButtons buttons) {
    std::fprintf(stderr, "%s: %s\n", sys::Utf16ToUtf8(viewerTitle).c_str(), sys::Utf16ToUtf8(text).c_str());
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

#include "platform/ui/ConsoleText.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace ui {
namespace {

std::mutex consoleLock;
bool barShown = false;  // the terminal's last line is a bar without line end

}  // namespace

EConsole ConsoleKind() {
    if (isatty(STDERR_FILENO) == 1) return EConsole::Terminal;
    const char* status = std::getenv("NSF2PST_CONSOLE_STATUS");
    return status && std::strcmp(status, "0") == 0 ? EConsole::MessagesOnly : EConsole::Log;
}

void PrintConsoleLine(const std::string& text, bool blankBefore) {
    std::lock_guard guard(consoleLock);
    std::fprintf(stderr, "%s%s\n", barShown || blankBefore ? "\n" : "", text.c_str());
    barShown = false;
    std::fflush(stderr);
}

void PrintConsoleBar(const std::string& text) {
    std::lock_guard guard(consoleLock);
    std::fprintf(stderr, "\r%s", text.c_str());
    barShown = true;
    std::fflush(stderr);
}

}  // namespace ui

#include "platform/ui/UserInterface.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sys/Text.h"
#include "platform/ui/ConsoleProgress.h"
#include "platform/ui/ConsoleText.h"
#ifdef NSF2PST_HAVE_WX
#include "platform/ui/WxProgressDialog.h"
#endif

namespace ui {

bool IsHeadless() {
#ifndef NSF2PST_HAVE_WX
    return true;
#else
    const char* forced = std::getenv("NSF2PST_HEADLESS");
    if (forced && std::strcmp(forced, "1") == 0) return true;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(display && *display) && !(wayland && *wayland);
#endif
}

EAnswer MessageBox(const std::u16string& title, const std::u16string& text, EButtons buttons) {
#ifdef NSF2PST_HAVE_WX
    if (!IsHeadless() && EnsureToolkit()) return WxMessageBox(title, text, buttons);
#endif
    PrintConsoleLine(sys::Utf16ToUtf8(title) + ": " + sys::Utf16ToUtf8(text));
    return buttons == EButtons::Ok ? EAnswer::Ok : EAnswer::No;
}

std::unique_ptr<CProgressWindow> CProgressWindow::Create(const std::u16string& title) {
#ifdef NSF2PST_HAVE_WX
    if (!IsHeadless())
        if (auto window = CreateWxProgress(title)) return window;
#endif
    return std::make_unique<CConsoleProgress>(title);
}

}  // namespace ui

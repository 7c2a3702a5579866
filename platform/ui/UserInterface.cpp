#include "platform/ui/UserInterface.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sys/Text.h"
#include "platform/ui/ConsoleProgress.h"
#include "platform/ui/ConsoleText.h"
#ifdef NSF2PST_HAVE_WX
#include <dlfcn.h>

#include "platform/ui/WxProgressDialog.h"
#endif

namespace ui {

#ifdef NSF2PST_HAVE_WX
// Defined when the program links the window forms itself, as the viewer and
// the front program do, which draw windows of their own; the worker does not
// and loads them from the window module when it has a display.
[[gnu::weak]] bool EnsureToolkit();
[[gnu::weak]] std::unique_ptr<CProgressWindow> CreateWxProgress(const std::u16string& title);
[[gnu::weak]] EAnswer WxMessageBox(const std::u16string& title, const std::u16string& text, EButtons buttons);

namespace {

const CWindowForms* LoadWindowForms() {
    if (&EnsureToolkit && &CreateWxProgress && &WxMessageBox) {
        static const CWindowForms linked{EnsureToolkit, CreateWxProgress, WxMessageBox};
        return &linked;
    }
    // Found through the program's run path; never unloaded, since the
    // toolkit keeps running until the process ends.
    void* module = dlopen(NSF2PST_WINDOW_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        PrintConsoleLine(std::string("the windows cannot be shown: ") + dlerror());
        return nullptr;
    }
    auto entry = reinterpret_cast<const CWindowForms* (*)()>(dlsym(module, kWindowFormsEntry));
    return entry ? entry() : nullptr;
}

const CWindowForms* WindowForms() {
    static const CWindowForms* forms = LoadWindowForms();
    return forms;
}

}  // namespace
#endif

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
    if (!IsHeadless())
        if (const CWindowForms* forms = WindowForms(); forms && forms->ensureToolkit())
            return forms->messageBox(title, text, buttons);
#endif
    PrintConsoleLine(sys::Utf16ToUtf8(title) + ": " + sys::Utf16ToUtf8(text));
    return buttons == EButtons::Ok ? EAnswer::Ok : EAnswer::No;
}

std::unique_ptr<CProgressWindow> CProgressWindow::Create(const std::u16string& title) {
#ifdef NSF2PST_HAVE_WX
    if (!IsHeadless())
        if (const CWindowForms* forms = WindowForms())
            if (auto window = forms->createProgress(title)) return window;
#endif
    return std::make_unique<CConsoleProgress>(title);
}

}  // namespace ui

#include "platform/ui/UserInterface.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sys/Text.h"
#include "platform/ui/ConsoleProgress.h"
#include "platform/ui/ConsoleText.h"
#ifdef NSF2PST_HAVE_WX
#include <dlfcn.h>

#include <filesystem>

#include "platform/ui/WxProgressDialog.h"
#endif

namespace ui {

#ifdef NSF2PST_HAVE_WX
// Defined when the program links the window forms itself, as the viewer
// does, which draws windows of its own; the worker and the front program do
// not and load them from the window module when they need a window.
[[gnu::weak]] const CWindowForms* WindowFormsTable();

namespace {

const CWindowForms* LoadWindowForms() {
    if (&WindowFormsTable) return WindowFormsTable();
    // Beside the program's folder, as installed and in the build tree (a
    // run path would not do: the sanitizers' dlopen does not search the
    // program's). Never unloaded: the toolkit runs until the process ends.
    // A program of the build tree outside the worker's folder finds it
    // where it was built.
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string path = (program.parent_path() / NSF2PST_WINDOW_MODULE).lexically_normal().string();
    if (!std::filesystem::exists(path, ec)) path = NSF2PST_WINDOW_MODULE_BUILT;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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

std::string ChooseNotesDatabase() {
#ifdef NSF2PST_HAVE_WX
    if (const CWindowForms* forms = WindowForms(); forms && forms->ensureToolkit()) return forms->chooseNotesDatabase();
#endif
    return {};
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

// What the programs show a person: message boxes and the worker's progress
// window. With a display they are wxWidgets windows (a program that does not
// link them, the worker, loads them from the window module
// libnsf2pst-wxui.so only then); without one (no DISPLAY
// or WAYLAND_DISPLAY, or NSF2PST_HEADLESS=1) they run on the console: message
// boxes print their text, the progress window prints its status line and a
// bar to stderr (ConsoleText.h says how on a terminal and in a log), and
// SIGINT/SIGTERM press Stop.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ui {

bool IsHeadless();

enum class EButtons { Ok, YesNo };
enum class EAnswer { Ok, Yes, No };

// A modal message box with the information icon. On the console it prints
// "title: text" to stderr and answers Ok (or No for a question that nobody
// can answer).
EAnswer MessageBox(const std::u16string& title, const std::u16string& text, EButtons buttons = EButtons::Ok);

// The open-file dialog with which a program started without a database
// (from the desktop menu) asks for one: the path the user picked, in UTF-8;
// empty when the user cancelled or no display can be opened.
std::string ChooseNotesDatabase();

// The worker's progress window: a progress bar, a one-line read-only status
// text and a Stop button. Calls from other threads are carried out on the
// window's thread; the Send calls wait until they are done.
class CProgressWindow {
public:
    struct CHandlers {
        std::function<void()> onStart;      // on the window's thread once it is shown
        std::function<void()> onStop;       // Stop button (or SIGINT/SIGTERM on the console)
        std::function<void()> onEndNotice;  // end of run notice
    };

    static std::unique_ptr<CProgressWindow> Create(const std::u16string& title);
    virtual ~CProgressWindow() = default;

    // Shows the window and returns when it is closed (Cancel) or never when an
    // end-notice handler ends the process.
    virtual void RunModal(CHandlers handlers) = 0;

    // Runs `task` on the window's thread and waits for it.
    virtual void Send(std::function<void()> task) = 0;

    // These touch the controls; call them through Send from other threads,
    // or use the Send* helpers below.
    virtual void SetRange(int32_t lower, int32_t upper) = 0;
    virtual void SetPosition(int32_t position) = 0;
    virtual void SetStatusText(const std::u16string& text) = 0;
    virtual std::u16string StatusText() const = 0;
    virtual void Close() = 0;

    // Synchronous messages from the worker thread.
    void SendPosition(uint32_t position) {
        Send([this, position] { SetPosition(static_cast<int32_t>(position)); });
    }
    // Both bounds are cut to 16 bits.
    void SendRange(uint32_t lower, uint32_t upper) {
        Send([this, lower, upper] {
            SetRange(static_cast<int16_t>(lower & 0xFFFF), static_cast<int16_t>(upper & 0xFFFF));
        });
    }
    void SendStatusText(const std::u16string& text) {
        Send([this, text] { SetStatusText(text); });
    }
    void SendEndNotice() { Send([this] { if (handlers.onEndNotice) handlers.onEndNotice(); }); }

protected:
    CHandlers handlers;
};

}  // namespace ui

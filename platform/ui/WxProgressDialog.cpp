#include "platform/ui/WxProgressDialog.h"

#include <wx/artprov.h>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/textctrl.h>
#include <wx/wx.h>

#include <future>
#include <thread>

#include "platform/ui/StatusText.h"
#include "platform/ui/WxMessage.h"

namespace ui {
namespace {

wxString ToWx(const std::u16string& text) {
    return wxString(reinterpret_cast<const char*>(text.data()), wxMBConvUTF16LE(), text.size() * 2);
}

std::u16string FromWx(const wxString& text) {
    wxCharBuffer buffer = text.mb_str(wxMBConvUTF16LE());
    const char16_t* units = reinterpret_cast<const char16_t*>(buffer.data());
    return units ? std::u16string(units, buffer.length() / 2) : std::u16string();
}

enum { IdProgress = 1001, IdStatus = 1002, IdStop = 1003, IdButton1 = 1000 };

class CWxProgressDialog : public wxDialog, public CProgressWindow {
public:
    explicit CWxProgressDialog(const std::u16string& title)
        : wxDialog(nullptr, wxID_ANY, ToWx(title), wxDefaultPosition, wxDefaultSize, wxCAPTION) {
        SetClientSize(ConvertDialogToPixels(wxSize(370, 68)));
        gauge = new wxGauge(this, IdProgress, 100, Dlu(4, 14), DluSize(309, 10));
        status = new wxTextCtrl(this, IdStatus, wxEmptyString, Dlu(4, 31), DluSize(360, 14), wxTE_READONLY);
        wxBitmap stopImage = wxArtProvider::GetBitmap(wxART_CROSS_MARK, wxART_BUTTON);
        stop = new wxBitmapButton(this, IdStop, stopImage, Dlu(318, 10), DluSize(48, 18));
        stop->SetToolTip("Stop the process");
        for (auto [id, label] : {std::pair{int(wxID_OK), "OK"}, {int(wxID_CANCEL), "Cancel"}, {int(IdButton1), "Button1"}})
            (new wxButton(this, id, label, Dlu(4, 50), DluSize(50, 14)))->Hide();
        SetEscapeId(wxID_NONE);
        SetAffirmativeId(wxID_NONE);
        Bind(wxEVT_CHAR_HOOK, &CWxProgressDialog::OnCharHook, this);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { if (handlers.onStop) handlers.onStop(); }, IdStop);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { if (handlers.onEndNotice) handlers.onEndNotice(); }, wxID_OK);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); }, wxID_CANCEL);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { if (handlers.onStart) handlers.onStart(); }, IdButton1);
        CentreOnScreen();
    }

    void RunModal(CHandlers h) override {
        handlers = std::move(h);
        owner = std::this_thread::get_id();
        CallAfter([this] { if (handlers.onStart) handlers.onStart(); });
        ShowModal();
    }

    void Send(std::function<void()> task) override {
        if (std::this_thread::get_id() == owner) {
            task();
            return;
        }
        std::promise<void> done;
        auto finished = done.get_future();
        CallAfter([&] {
            task();
            done.set_value();
        });
        finished.wait();
    }

    void SetRange(int32_t lower, int32_t upper) override {
        rangeLower = lower;
        gauge->SetRange(std::max(1, upper - lower));
    }
    void SetPosition(int32_t position) override { gauge->SetValue(std::clamp(position - rangeLower, 0, gauge->GetRange())); }
    void SetStatusText(const std::u16string& text) override { status->ChangeValue(ToWx(OneLine(text))); }
    std::u16string StatusText() const override { return FromWx(status->GetValue()); }
    void Close() override { EndModal(wxID_CANCEL); }

private:
    wxPoint Dlu(int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); }
    wxSize DluSize(int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); }

    // Enter and Escape must not close the dialog.
    void OnCharHook(wxKeyEvent& event) {
        int key = event.GetKeyCode();
        if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER || key == WXK_ESCAPE) return;
        event.Skip();
    }

    wxGauge* gauge = nullptr;
    wxTextCtrl* status = nullptr;
    wxBitmapButton* stop = nullptr;
    int32_t rangeLower = 0;
    std::thread::id owner;
};

// Owns the dialog for the window interface; the dialog is destroyed with it.
class CWxProgressOwner : public CProgressWindow {
public:
    explicit CWxProgressOwner(const std::u16string& title) : dialog(new CWxProgressDialog(title)) {}
    ~CWxProgressOwner() override { dialog->Destroy(); }
    void RunModal(CHandlers h) override {
        // SendEndNotice runs the handlers this object holds: keep them here too.
        handlers = h;
        dialog->RunModal(std::move(h));
    }
    void Send(std::function<void()> task) override { dialog->Send(std::move(task)); }
    void SetRange(int32_t l, int32_t u) override { dialog->SetRange(l, u); }
    void SetPosition(int32_t p) override { dialog->SetPosition(p); }
    void SetStatusText(const std::u16string& t) override { dialog->SetStatusText(t); }
    std::u16string StatusText() const override { return dialog->StatusText(); }
    void Close() override { dialog->Close(); }

private:
    CWxProgressDialog* dialog;
};

}  // namespace

bool EnsureToolkit() {
    static const bool ready = [] {
        static int argc = 1;
        static char name[] = "nsf2pst";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp());
        if (!wxEntryStart(argc, argv)) return false;
        wxTheApp->SetAppName("nsf2pst");
        wxInitAllImageHandlers();
        return true;
    }();
    return ready;
}

std::unique_ptr<CProgressWindow> CreateWxProgress(const std::u16string& title) {
    if (!EnsureToolkit()) return nullptr;
    return std::make_unique<CWxProgressOwner>(title);
}

EAnswer WxMessageBox(const std::u16string& title, const std::u16string& text, EButtons buttons) {
    return ShowInfoMessage(nullptr, ToWx(title), ToWx(text), buttons);
}

const CWindowForms* WindowFormsTable() {
    static const CWindowForms forms{EnsureToolkit, CreateWxProgress, WxMessageBox, WxChooseNotesDatabase};
    return &forms;
}

}  // namespace ui

#include "viewer/dialogs/wx/savefilterDlg.h"

#include <wx/artprov.h>
#include <wx/dirdlg.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "platform/sys/Text.h"
#include "platform/ui/WxMessage.h"
#include "viewer/LotusNotesApp.h"
#include "viewer/dialogs/PredefinedPeriods.h"
#include "viewer/dialogs/wx/Advancesettingdlg.h"

namespace {

wxString ToWx(const std::u16string& text) { return wxString::FromUTF8(sys::Utf16ToUtf8(text)); }

}  // namespace

savefilterDlg::savefilterDlg(wxWindow* parent, ExportSettings& s, LNNotesSession& session, LNDatabase& database,
                             CSaveFilterModel::Clock now)
    : wxDialog(parent, wxID_ANY, ToWx(viewerTitle), wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE),
      settings(s),
      namesSession(session),
      namesDatabase(database),
      model(s, std::move(now)),
      openedAt(sys::LocalNow()) {
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    SetClientSize(ConvertDialogToPixels(wxSize(407, 275)));
    CreateControls();
    SetUpDialog();
    Centre();
}

wxRect savefilterDlg::Dlu(int x, int y, int w, int h) {
    return wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h)));
}

void savefilterDlg::CreateControls() {
    auto box = [this](const char* label, int x, int y, int w, int h) {
        const wxRect r = Dlu(x, y, w, h);
        new wxStaticBox(this, wxID_ANY, label, r.GetPosition(), r.GetSize());
    };
    auto text = [this](const char* label, int x, int y) {
        new wxStaticText(this, wxID_ANY, label, ConvertDialogToPixels(wxPoint(x, y)));
    };
    auto button = [this](const char* label, int x, int y, int w, int h, const char* art, const char* tip) {
        const wxRect r = Dlu(x, y, w, h);
        auto* b = new wxButton(this, wxID_ANY, label, r.GetPosition(), r.GetSize());
        if (art) b->SetBitmap(wxArtProvider::GetBitmap(art, wxART_BUTTON, wxSize(16, 16)));
        if (tip) b->SetToolTip(tip);
        return b;
    };
    box("Select folder path:", 20, 12, 368, 35);
    wxRect r = Dlu(26, 24, 333, 14);
    pathEdit = new wxTextCtrl(this, wxID_ANY, "", r.GetPosition(), r.GetSize());
    browseButton = button("...", 364, 22, 20, 16, nullptr, nullptr);
    box("Specify Date Range", 21, 53, 368, 166);
    r = Dlu(45, 67, 85, 10);
    predefinedRadio = new wxRadioButton(this, wxID_ANY, "Predefine Time Period", r.GetPosition(), wxDefaultSize,
                                        wxRB_GROUP);
    r = Dlu(43, 82, 324, 34);
    periodList = new wxChoice(this, wxID_ANY, r.GetPosition(), wxSize(r.width, -1));
    r = Dlu(45, 104, 106, 10);
    manualRadio = new wxRadioButton(this, wxID_ANY, "Specify TimePeriod Manually", r.GetPosition(), wxDefaultSize);
    text("Start Date:", 39, 121);
    r = Dlu(82, 118, 68, 15);
    startPicker = new wxDatePickerCtrl(this, wxID_ANY, wxDefaultDateTime, r.GetPosition(), r.GetSize());
    text("End Date:", 170, 122);
    r = Dlu(211, 118, 74, 15);
    endPicker = new wxDatePickerCtrl(this, wxID_ANY, wxDefaultDateTime, r.GetPosition(), r.GetSize());
    r = Dlu(41, 137, 266, 69);
    rangeList = new wxListCtrl(this, wxID_ANY, r.GetPosition(), r.GetSize(),
                               wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_THEME);
    addButton = button("Add", 315, 148, 55, 18, wxART_PLUS, "Add");
    removeButton = button("Remove", 315, 170, 55, 18, wxART_MINUS, "Remove");
    advanceButton = button("Advance setting", 19, 225, 75, 18, wxART_REPORT_VIEW, "Advance setting");
    okButton = button("OK", 157, 254, 55, 18, wxART_TICK_MARK, "OK");
    cancelButton = button("Cancel", 217, 254, 55, 18, wxART_CROSS_MARK, "Close the application");

    browseButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); });
    predefinedRadio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnPredefined(); });
    manualRadio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { OnManual(); });
    periodList->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { model.SelectPeriod(periodList->GetSelection()); });
    addButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdd(); });
    removeButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnRemove(); });
    advanceButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnAdvanceSetting(); });
    okButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); });
    cancelButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); });
}

void savefilterDlg::SetUpDialog() {
    rangeList->InsertColumn(0, "Start Date", wxLIST_FORMAT_LEFT, 160);
    rangeList->InsertColumn(1, "End Date", wxLIST_FORMAT_LEFT, 160);
    predefinedRadio->SetValue(true);
    for (const char16_t* name : PeriodNames()) periodList->Append(ToWx(name));
    periodList->SetSelection(0);
    model.Initialize();
    ApplyChoice();
}

void savefilterDlg::ApplyChoice() {
    const bool manual = model.ManualControlsEnabled();
    predefinedRadio->SetValue(!manual);
    manualRadio->SetValue(manual);
    periodList->Enable(model.PeriodListEnabled());
    for (wxWindow* w : std::initializer_list<wxWindow*>{startPicker, endPicker, rangeList, addButton, removeButton})
        w->Enable(manual);
}

void savefilterDlg::OnPredefined() {
    model.SetChoice(CSaveFilterModel::EPeriodChoice::Predefined);
    ApplyChoice();
}

void savefilterDlg::OnManual() {
    model.SetChoice(CSaveFilterModel::EPeriodChoice::Manual);
    ApplyChoice();
}

void savefilterDlg::OnBrowse() {
    wxDirDialog browser(this, "Select Folder");
    if (browser.ShowModal() != wxID_OK) return;
    const wxString path = browser.GetPath();
    if (!path.empty()) pathEdit->SetValue(path);
}

// The picked date with the time of day the picker holds: the time the
// dialog opened.
sys::CSystemTime savefilterDlg::Picked(const wxDatePickerCtrl& picker) const {
    const wxDateTime date = picker.GetValue();
    sys::CSystemTime t = openedAt;
    t.milliseconds = 0;
    if (!date.IsValid()) return t;
    t.year = date.GetYear();
    t.month = static_cast<int>(date.GetMonth()) + 1;
    t.day = date.GetDay();
    t.dayOfWeek = static_cast<int>(date.GetWeekDay());
    return t;
}

void savefilterDlg::OnAdd() {
    const bool startValid = startPicker->GetValue().IsValid();
    const bool endValid = endPicker->GetValue().IsValid();
    const auto result = model.Add(Picked(*startPicker), Picked(*endPicker), startValid, endValid);
    if (result == CSaveFilterModel::EAddResult::EndBeforeStart) {
        Message(kEndBeforeStartMessage);
        return;
    }
    if (result != CSaveFilterModel::EAddResult::Added) return;
    const ManualRangeRow& row = model.Rows().back();
    const long index = rangeList->InsertItem(rangeList->GetItemCount(), ToWx(row.startText));
    rangeList->SetItem(index, 1, ToWx(row.endText));
}

void savefilterDlg::OnRemove() {
    const long selected = rangeList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (selected < 0) return;
    rangeList->DeleteItem(selected);
    model.Remove(static_cast<int>(selected));
}

void savefilterDlg::OnAdvanceSetting() {
    Advancesettingdlg advanced(this, settings, namesSession, namesDatabase);
    advanced.ShowModal();
}

void savefilterDlg::OnOk() {
    const std::u16string message = model.Confirm(sys::Utf8ToUtf16(pathEdit->GetValue().utf8_string()));
    if (!message.empty()) {
        Message(message);
        return;
    }
    EndModal(wxID_OK);
}

void savefilterDlg::Message(const std::u16string& text) {
    ui::ShowInfoMessage(this, ToWx(viewerTitle), ToWx(text));
}

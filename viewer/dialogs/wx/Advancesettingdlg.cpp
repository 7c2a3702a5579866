#include "viewer/dialogs/wx/Advancesettingdlg.h"

#include <wx/artprov.h>
#include <wx/filedlg.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "platform/sys/Text.h"
#include "platform/ui/WxMessage.h"
#include "viewer/LotusNotesApp.h"

namespace {

constexpr char kReadMoreUrl[] = "https://www.kelvro.example/help/nsf-viewer/address-translation";

wxString ToWx(const std::u16string& text) { return wxString::FromUTF8(sys::Utf16ToUtf8(text)); }
std::u16string FromWx(const wxString& text) { return sys::Utf8ToUtf16(text.utf8_string()); }

}  // namespace

Advancesettingdlg::Advancesettingdlg(wxWindow* parent, ExportSettings& settings, LNNotesSession& namesSession,
                                     LNDatabase& namesDatabase)
    : wxDialog(parent, wxID_ANY, ToWx(viewerTitle), wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE),
      model(settings, namesSession, namesDatabase, [this] {
          ui::ShowInfoMessage(this, ToWx(viewerTitle), ToWx(kPleaseWaitMessage));
      }) {
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    SetClientSize(ConvertDialogToPixels(wxSize(390, 310)));
    CreateControls();
    BindHandlers();
    SetUpDialog();
    Centre();
}

wxRect Advancesettingdlg::Dlu(int x, int y, int w, int h) {
    return wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h)));
}

void Advancesettingdlg::CreateControls() {
    const wxRect group = Dlu(20, 9, 351, 37);
    new wxStaticBox(this, wxID_ANY, "Database Option:", group.GetPosition(), group.GetSize());
    auto check = [this](const char* label, int x, int y, int w, int h) {
        const wxRect r = Dlu(x, y, w, h);
        return new wxCheckBox(this, wxID_ANY, label, r.GetPosition(), wxDefaultSize);
    };
    excludeAllCheck = check("Exclude All Folder", 27, 26, 72, 10);
    removeEncryptionCheck = check("Remove Encryption", 121, 26, 78, 10);
    saveDocLinkCheck = check("Save DocLink", 211, 26, 58, 10);
    saveHeaderCheck = check("Save Internet Header", 283, 26, 86, 10);
    CreateTranslationFrame();
    CreateMappingFrame();
    wxRect r = Dlu(141, 292, 50, 15);
    okButton = new wxButton(this, wxID_ANY, "OK", r.GetPosition(), r.GetSize());
    okButton->SetBitmap(wxArtProvider::GetBitmap(wxART_TICK_MARK, wxART_BUTTON, wxSize(16, 16)));
    okButton->SetToolTip("OK");
    r = Dlu(196, 292, 50, 15);
    cancelButton = new wxButton(this, wxID_ANY, "Cancel", r.GetPosition(), r.GetSize());
    cancelButton->SetBitmap(wxArtProvider::GetBitmap(wxART_CROSS_MARK, wxART_BUTTON, wxSize(16, 16)));
    cancelButton->SetToolTip("Cancel");
}

void Advancesettingdlg::CreateTranslationFrame() {
    // The check box sits on the frame's top edge and carries its title.
    const wxRect frame = Dlu(20, 53, 351, 170);
    new wxStaticBox(this, wxID_ANY, "", frame.GetPosition(), frame.GetSize());
    auto check = [this](const char* label, int x, int y, int w, int h) {
        const wxRect r = Dlu(x, y, w, h);
        return new wxCheckBox(this, wxID_ANY, label, r.GetPosition(), wxDefaultSize);
    };
    auto text = [this](const char* label, int x, int y) {
        new wxStaticText(this, wxID_ANY, label, ConvertDialogToPixels(wxPoint(x, y)));
    };
    auto edit = [this](int x, int y, int w, int h, long style = 0) {
        const wxRect r = Dlu(x, y, w, h);
        return new wxTextCtrl(this, wxID_ANY, "", r.GetPosition(), r.GetSize(), style);
    };
    auto button = [this](const char* label, int x, int y, int w, int h) {
        const wxRect r = Dlu(x, y, w, h);
        return new wxButton(this, wxID_ANY, label, r.GetPosition(), r.GetSize());
    };
    translationCheck = check("Email Address Translation:", 18, 51, 100, 10);
    nsfCheck = check("Add  NSF File:", 30, 66, 61, 10);
    text("Select Names.nsf File:", 45, 80);
    nsfEdit = edit(122, 77, 156, 14);
    nsfBrowse = button("...", 283, 77, 22, 14);
    csvCheck = check("Add CSV File:", 30, 105, 59, 10);
    text("Select .Csv File:", 50, 120);
    csvEdit = edit(108, 116, 169, 14);
    csvBrowse = button("...", 283, 115, 22, 14);
    text("File Format of CSV File Should be like :", 45, 137);
    formatEdit = edit(174, 135, 145, 17, wxTE_READONLY);
    smtpCheck = check("Set SMTP Manually", 30, 163, 76, 10);
    text("SMTP Format:", 43, 179);
    const wxRect patterns = Dlu(97, 177, 144, 52);
    patternList = new wxChoice(this, wxID_ANY, patterns.GetPosition(), wxSize(patterns.width, -1));
    text("Domain Name:", 43, 197);
    domainEdit = edit(98, 194, 92, 14);
    readMoreButton = button("Read More...", 253, 195, 64, 17);
}

void Advancesettingdlg::CreateMappingFrame() {
    const wxRect frame = Dlu(20, 229, 351, 58);
    new wxStaticBox(this, wxID_ANY, "", frame.GetPosition(), frame.GetSize());
    wxRect r = Dlu(18, 227, 102, 10);
    mappingCheck = new wxCheckBox(this, wxID_ANY, "Custom Folder(s) Mapping:", r.GetPosition(), wxDefaultSize);
    new wxStaticText(this, wxID_ANY, "Select Folder:", ConvertDialogToPixels(wxPoint(52, 244)));
    r = Dlu(112, 243, 103, 84);
    folderList = new wxChoice(this, wxID_ANY, r.GetPosition(), wxSize(r.width, -1));
    new wxStaticText(this, wxID_ANY, "Change Folder Name:", ConvertDialogToPixels(wxPoint(36, 266)));
    r = Dlu(112, 263, 105, 14);
    folderNameEdit = new wxTextCtrl(this, wxID_ANY, "", r.GetPosition(), r.GetSize());
    r = Dlu(222, 264, 52, 15);
    saveButton = new wxButton(this, wxID_ANY, "Save", r.GetPosition(), r.GetSize());
}

void Advancesettingdlg::BindHandlers() {
    for (wxCheckBox* box : {translationCheck, nsfCheck, csvCheck, smtpCheck, mappingCheck})
        box->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { ApplyEnabling(); });
    nsfBrowse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Browse(nsfEdit); });
    csvBrowse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Browse(csvEdit); });
    readMoreButton->Bind(wxEVT_BUTTON, [](wxCommandEvent&) { wxLaunchDefaultBrowser(kReadMoreUrl); });
    folderList->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { OnFolderSelected(); });
    saveButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnSaveMapping(); });
    okButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); });
    cancelButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); });
    // Enter and Escape are swallowed.
    Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER || key == WXK_ESCAPE) return;
        event.Skip();
    });
}

void Advancesettingdlg::SetUpDialog() {
    model.Initialize();
    excludeAllCheck->SetValue(model.checks.excludeAllFolder);
    excludeAllCheck->Enable(model.Enabling().excludeAllFolder);
    nsfCheck->SetValue(true);
    csvCheck->SetValue(true);
    smtpCheck->SetValue(true);
    ApplyEnabling();
    formatEdit->SetValue(ToWx(SampleCsvPath()));
    for (const char16_t* pattern : SmtpPatternNames()) patternList->Append(ToWx(pattern));
    patternList->SetSelection(0);
    for (const char16_t* folder : MappableFolderNames()) folderList->Append(ToWx(folder));
    folderList->SetSelection(0);
}

void Advancesettingdlg::ApplyEnabling() {
    AdvanceSettingChecks& c = model.checks;
    c.translation = translationCheck->GetValue();
    c.addNsf = nsfCheck->GetValue();
    c.addCsv = csvCheck->GetValue();
    c.smtpManual = smtpCheck->GetValue();
    c.folderMapping = mappingCheck->GetValue();
    const AdvanceSettingEnabling e = model.Enabling();
    for (wxWindow* w : std::initializer_list<wxWindow*>{nsfCheck, csvCheck, smtpCheck}) w->Enable(e.sourceChecks);
    nsfEdit->Enable(e.nsfControls);
    nsfBrowse->Enable(e.nsfControls);
    for (wxWindow* w : std::initializer_list<wxWindow*>{csvEdit, csvBrowse, formatEdit}) w->Enable(e.csvControls);
    patternList->Enable(e.smtpControls);
    domainEdit->Enable(e.smtpControls);
    for (wxWindow* w : std::initializer_list<wxWindow*>{folderList, folderNameEdit, saveButton})
        w->Enable(e.mappingControls);
}

void Advancesettingdlg::Browse(wxTextCtrl* edit) {
    wxFileDialog browser(this, wxFileSelectorPromptStr, "", "", wxFileSelectorDefaultWildcardStr,
                         wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (browser.ShowModal() != wxID_OK) return;
    edit->SetValue(browser.GetPath());
}

void Advancesettingdlg::OnFolderSelected() {
    folderNameEdit->Clear();
    const std::u16string mapped = model.MappedName(folderList->GetSelection());
    if (!mapped.empty()) folderNameEdit->SetValue(ToWx(mapped));
}

void Advancesettingdlg::OnSaveMapping() {
    const std::u16string message = model.SaveMapping(folderList->GetSelection(), FromWx(folderNameEdit->GetValue()));
    if (!message.empty()) Message(message);
}

void Advancesettingdlg::OnOk() {
    AdvanceSettingChecks& c = model.checks;
    c.excludeAllFolder = excludeAllCheck->GetValue();
    c.removeEncryption = removeEncryptionCheck->GetValue();
    c.saveDocLink = saveDocLinkCheck->GetValue();
    c.saveInternetHeader = saveHeaderCheck->GetValue();
    ApplyEnabling();
    AdvanceSettingInputs inputs;
    inputs.nsfPath = FromWx(nsfEdit->GetValue());
    inputs.csvPath = FromWx(csvEdit->GetValue());
    inputs.domain = FromWx(domainEdit->GetValue());
    inputs.patternIndex = patternList->GetSelection();
    const std::u16string message = model.Confirm(inputs);
    if (!message.empty()) {
        Message(message);
        return;
    }
    EndModal(wxID_OK);
}

void Advancesettingdlg::Message(const std::u16string& text) {
    ui::ShowInfoMessage(this, ToWx(viewerTitle), ToWx(text));
}

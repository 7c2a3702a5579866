// The advanced settings dialog on wxWidgets: a 390 x 310 dialog-unit modal
// dialog with the database options, the e-mail address translation frame
// (Names.nsf, CSV file, SMTP pattern and domain) and the custom folder
// mapping frame. Enter and Escape neither confirm nor cancel it. Its logic
// is CAdvanceSettingModel; opening it resets translation and mapping.
#pragma once
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>

#include "viewer/dialogs/AdvanceSettingModel.h"

class Advancesettingdlg : public wxDialog {
public:
    Advancesettingdlg(wxWindow* parent, ExportSettings& settings, LNNotesSession& namesSession,
                      LNDatabase& namesDatabase);

    CAdvanceSettingModel& Model() { return model; }
    wxCheckBox* TranslationCheck() { return translationCheck; }
    wxCheckBox* MappingCheck() { return mappingCheck; }
    wxCheckBox* ExcludeAllCheck() { return excludeAllCheck; }
    wxTextCtrl* DomainEdit() { return domainEdit; }
    wxChoice* FolderList() { return folderList; }
    wxTextCtrl* FolderNameEdit() { return folderNameEdit; }

    // Reads the check boxes into the model and applies the enabling rules.
    void ApplyEnabling();
    void OnSaveMapping();
    void OnOk();

private:
    wxRect Dlu(int x, int y, int w, int h);
    void CreateControls();
    void CreateTranslationFrame();
    void CreateMappingFrame();
    void BindHandlers();
    void SetUpDialog();
    void OnFolderSelected();
    void Browse(wxTextCtrl* edit);
    void Message(const std::u16string& text);

    CAdvanceSettingModel model;
    wxCheckBox* excludeAllCheck = nullptr;
    wxCheckBox* removeEncryptionCheck = nullptr;
    wxCheckBox* saveDocLinkCheck = nullptr;
    wxCheckBox* saveHeaderCheck = nullptr;
    wxCheckBox* translationCheck = nullptr;
    wxCheckBox* nsfCheck = nullptr;
    wxTextCtrl* nsfEdit = nullptr;
    wxButton* nsfBrowse = nullptr;
    wxCheckBox* csvCheck = nullptr;
    wxTextCtrl* csvEdit = nullptr;
    wxButton* csvBrowse = nullptr;
    wxTextCtrl* formatEdit = nullptr;
    wxCheckBox* smtpCheck = nullptr;
    wxChoice* patternList = nullptr;
    wxTextCtrl* domainEdit = nullptr;
    wxButton* readMoreButton = nullptr;
    wxCheckBox* mappingCheck = nullptr;
    wxChoice* folderList = nullptr;
    wxTextCtrl* folderNameEdit = nullptr;
    wxButton* saveButton = nullptr;
    wxButton* okButton = nullptr;
    wxButton* cancelButton = nullptr;
};

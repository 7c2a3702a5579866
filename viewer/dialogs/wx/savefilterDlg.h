// The Save as PST dialog on wxWidgets: a 407 x 275 dialog-unit modal dialog
// with the destination folder and its browser, the predefined period or the
// manual date ranges, "Advance setting", OK and Cancel. Its logic is
// CSaveFilterModel; OK leaves the choices in the export settings.
#pragma once
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "viewer/dialogs/SaveFilterModel.h"

class LNNotesSession;
class LNDatabase;

class savefilterDlg : public wxDialog {
public:
    savefilterDlg(wxWindow* parent, ExportSettings& settings, LNNotesSession& namesSession,
                  LNDatabase& namesDatabase, CSaveFilterModel::Clock now = sys::LocalNow);

    CSaveFilterModel& Model() { return model; }
    wxTextCtrl* PathEdit() { return pathEdit; }
    wxChoice* PeriodList() { return periodList; }
    wxRadioButton* PredefinedRadio() { return predefinedRadio; }
    wxRadioButton* ManualRadio() { return manualRadio; }
    wxListCtrl* RangeList() { return rangeList; }
    wxDatePickerCtrl* StartPicker() { return startPicker; }
    wxDatePickerCtrl* EndPicker() { return endPicker; }

    // The handlers, also callable by tests.
    void OnPredefined();
    void OnManual();
    void OnAdd();
    void OnRemove();
    void OnAdvanceSetting();
    void OnOk();

private:
    wxRect Dlu(int x, int y, int w, int h);
    void CreateControls();
    void SetUpDialog();
    void ApplyChoice();
    void OnBrowse();
    void Message(const std::u16string& text);
    sys::CSystemTime Picked(const wxDatePickerCtrl& picker) const;

    ExportSettings& settings;
    LNNotesSession& namesSession;
    LNDatabase& namesDatabase;
    CSaveFilterModel model;
    sys::CSystemTime openedAt;
    wxTextCtrl* pathEdit = nullptr;
    wxButton* browseButton = nullptr;
    wxRadioButton* predefinedRadio = nullptr;
    wxChoice* periodList = nullptr;
    wxRadioButton* manualRadio = nullptr;
    wxDatePickerCtrl* startPicker = nullptr;
    wxDatePickerCtrl* endPicker = nullptr;
    wxListCtrl* rangeList = nullptr;
    wxButton* addButton = nullptr;
    wxButton* removeButton = nullptr;
    wxButton* advanceButton = nullptr;
    wxButton* okButton = nullptr;
    wxButton* cancelButton = nullptr;
};

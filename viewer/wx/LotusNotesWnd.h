// The viewer's main window on wxWidgets: a 500 x 330 dialog-unit popup
// without caption bar holding the banner, the folder tree, the item list,
// the status line, the progress bar and the Stop, Help, Export and Close
// buttons. It hands every command to CLotusNotesDlg and carries out the
// calls that the dialog logic and its worker threads make on the window.
#pragma once
#include <memory>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>

#include "viewer/LotusNotesDlg.h"
#include "viewer/tree/wx/CXHtmlTreeWnd.h"

enum EViewerControl {
    IDC_TREE = 1002,
    IDC_LIST = 1003,
    IDC_STATUS = 1004,
    IDC_PROGRESS = 1005,
    IDC_STOP = 1006,
    IDC_HELP = 1007,
    IDC_EXPORT = 1008,
    IDC_CLOSE = 1009,
    ID_HELP_HELP = 20001,
    ID_HELP_HOMEPAGE = 20002,
    ID_HELP_ABOUT = 20003,
};

class CLotusNotesWnd : public wxDialog, public IViewerWindow {
public:
    explicit CLotusNotesWnd(CLotusNotesDlg& dialog);
    ~CLotusNotesWnd() override;

    // Initialises and shows the window modally, unless the start routine
    // already ended it (the save-dialog-only mode). True when it ended with OK.
    bool Run();

    // IViewerWindow
    void SetStatusText(const std::u16string& text) override;
    void SetProgressRange(int32_t lower, int32_t upper) override;
    void SetProgressPosition(int32_t position) override;
    void ShowProgress(bool show) override;
    void EnableCommands(bool enable) override;
    void HideBrowsing() override;
    tree::CXHtmlTree* Tree() override { return &treeWnd->Tree(); }
    void ClearItemList() override;
    void InsertItemRowAtTop(const ItemRow& row, uint32_t itemData) override;
    ui::EAnswer Message(const std::u16string& text, ui::EButtons buttons) override;
    void EndDialog(bool ok) override;

    wxListCtrl* ItemList() { return list; }
    tree::CXHtmlTreeWnd* TreeWindow() { return treeWnd; }

private:
    wxRect Dlu(int x, int y, int w, int h);
    void CreateControls();
    void SetUpItemList();
    void SetUpButtons();
    void SetUpTree();
    void OnCharHook(wxKeyEvent& event);
    void OnHelpButton(wxCommandEvent& event);
    void OnHelpMenu(wxCommandEvent& event);
    void OnMouseDown(wxMouseEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnMouseUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnCloseWindow(wxCloseEvent& event);
    void BindDragging(wxWindow* window);

    CLotusNotesDlg& dialog;
    std::shared_ptr<tree::CWxWindowThread> windowThread;
    wxStaticBitmap* banner = nullptr;
    tree::CXHtmlTreeWnd* treeWnd = nullptr;
    wxListCtrl* list = nullptr;
    wxTextCtrl* status = nullptr;
    wxGauge* progress = nullptr;
    wxButton* stopButton = nullptr;
    wxButton* helpButton = nullptr;
    wxButton* exportButton = nullptr;
    wxButton* closeButton = nullptr;
    int32_t progressLower = 0;
    bool endRequested = false;
    bool endedOk = false;
    wxPoint dragOffset;
};

// Runs the viewer with its window; returns the process exit code.
int RunWxViewer(CLotusNotesApp& app, const std::u16string& commandLine, IExportFlow& flow);

#include "viewer/wx/LotusNotesWnd.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "platform/ui/StatusText.h"
#include "platform/ui/WxMessage.h"
#include "viewer/wx/SysInfoAboutDlg.h"
#include "viewer/wx/ViewerArt.h"

using viewerart::ToWx;

CLotusNotesWnd::CLotusNotesWnd(CLotusNotesDlg& d)
    : wxDialog(nullptr, wxID_ANY, ToWx(viewerTitle), wxDefaultPosition, wxDefaultSize,
               wxBORDER_SIMPLE | wxWANTS_CHARS),
      dialog(d),
      windowThread(std::make_shared<tree::CWxWindowThread>(this)) {
    SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    SetClientSize(ConvertDialogToPixels(wxSize(500, 330)));
    CreateControls();
    Bind(wxEVT_CHAR_HOOK, &CLotusNotesWnd::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CLotusNotesWnd::OnCloseWindow, this);
    BindDragging(this);
    BindDragging(banner);
    Centre();
}

CLotusNotesWnd::~CLotusNotesWnd() {
    // Calls queued by worker threads from now on are dropped unrun.
    windowThread->Detach();
}

wxRect CLotusNotesWnd::Dlu(int x, int y, int w, int h) {
    return wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h)));
}

void CLotusNotesWnd::CreateControls() {
    const wxRect bannerRect = Dlu(0, 0, 500, 50);
    banner = new wxStaticBitmap(this, wxID_ANY, viewerart::Banner(bannerRect.GetSize(), ToWx(viewerTitle)),
                                bannerRect.GetPosition(), bannerRect.GetSize());
    const wxRect treeRect = Dlu(7, 58, 138, 209);
    treeWnd = new tree::CXHtmlTreeWnd(this, IDC_TREE, treeRect.GetPosition(), treeRect.GetSize(), 0);
    const wxRect listRect = Dlu(145, 58, 348, 210);
    list = new wxListCtrl(this, IDC_LIST, listRect.GetPosition(), listRect.GetSize(),
                          wxLC_REPORT | wxLC_HRULES | wxLC_VRULES | wxBORDER_THEME);
    const wxRect statusRect = Dlu(9, 273, 484, 14);
    status = new wxTextCtrl(this, IDC_STATUS, "", statusRect.GetPosition(), statusRect.GetSize(), wxTE_READONLY);
    const wxRect progressRect = Dlu(8, 293, 427, 10);
    progress = new wxGauge(this, IDC_PROGRESS, 100, progressRect.GetPosition(), progressRect.GetSize());
    auto button = [this](int id, const char* label, int x, int y) {
        const wxRect r = Dlu(x, y, 55, 18);
        return new wxButton(this, id, label, r.GetPosition(), r.GetSize());
    };
    stopButton = button(IDC_STOP, "Stop", 439, 288);
    helpButton = button(IDC_HELP, "Help", 5, 307);
    exportButton = button(IDC_EXPORT, "Export", 380, 307);
    closeButton = button(IDC_CLOSE, "Close", 440, 307);
}

bool CLotusNotesWnd::Run() {
    SetIcon(wxArtProvider::GetIcon(wxART_HARDDISK, wxART_FRAME_ICON));
    SetUpItemList();
    SetTitle(ToWx(viewerTitle));
    SetUpButtons();
    SetUpTree();
    dialog.Attach(this, windowThread);
    dialog.OnInitDialog();
    if (endRequested) return endedOk;
    return ShowModal() == wxID_OK;
}

void CLotusNotesWnd::SetUpItemList() {
    list->AssignImageList(viewerart::ItemImages(), wxIMAGE_LIST_SMALL);
    wxListItem attachmentColumn;
    attachmentColumn.SetMask(wxLIST_MASK_IMAGE | wxLIST_MASK_WIDTH | wxLIST_MASK_TEXT);
    attachmentColumn.SetText("");
    attachmentColumn.SetImage(2);
    attachmentColumn.SetWidth(24);
    list->InsertColumn(0, attachmentColumn);
    list->InsertColumn(1, "To", wxLIST_FORMAT_LEFT, 100);
    list->InsertColumn(2, "From", wxLIST_FORMAT_LEFT, 100);
    list->InsertColumn(3, "Subject", wxLIST_FORMAT_LEFT, 200);
    list->InsertColumn(4, "Date/Time", wxLIST_FORMAT_LEFT, 100);
}

void CLotusNotesWnd::SetUpButtons() {
    struct Decoration {
        wxButton* button;
        const char* art;
        const char* tip;
    };
    const Decoration decorations[] = {
        {helpButton, wxART_HELP, "Help."},
        {exportButton, wxART_FILE_SAVE_AS, "Preview of selected file"},
        {closeButton, wxART_QUIT, "Close the application."},
        {stopButton, wxART_CROSS_MARK, "Stop the process"},
    };
    for (const Decoration& d : decorations) {
        d.button->SetBitmap(viewerart::ButtonIcon(d.art));
        d.button->SetToolTip(d.tip);
    }
    helpButton->Bind(wxEVT_BUTTON, &CLotusNotesWnd::OnHelpButton, this);
    stopButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { dialog.OnStop(); });
    exportButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { dialog.OnExport(); });
    closeButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { dialog.OnClose(); });
    Bind(wxEVT_MENU, &CLotusNotesWnd::OnHelpMenu, this, ID_HELP_HELP, ID_HELP_ABOUT);
}

void CLotusNotesWnd::SetUpTree() {
    treeWnd->AssignImageList(viewerart::FolderImages());
    tree::CXHtmlTree& folderTree = treeWnd->Tree();
    folderTree.Initialize(true);
    folderTree.SetSmartCheckBoxes(true);
    folderTree.ModifyStyle(0, tree::TVS_HASBUTTONS | tree::TVS_HASLINES | tree::TVS_LINESATROOT |
                                  tree::TVS_SHOWSELALWAYS | tree::TVS_INFOTIP | tree::TVS_FULLROWSELECT);
    // The label press arrives while the tree handles the mouse; the listing
    // starts once that handling is over.
    folderTree.SetParentWindow([this](const tree::TreeMessage& message) {
        if (message.message != tree::WM_XHTMLTREE_LABEL_PRESSED) return;
        const tree::HTREEITEM item = message.item;
        CallAfter([this, item] { dialog.OnLabelPressed(item); });
    });
}

// ---- IViewerWindow -------------------------------------------------------------

// The status texts end with the CR LF they carry into the run log; the
// one-line field shows them without it.
void CLotusNotesWnd::SetStatusText(const std::u16string& text) { status->ChangeValue(ToWx(ui::OneLine(text))); }

void CLotusNotesWnd::SetProgressRange(int32_t lower, int32_t upper) {
    progressLower = lower;
    progress->SetRange(std::max(upper - lower, 1));
    progress->SetValue(0);
}

void CLotusNotesWnd::SetProgressPosition(int32_t position) {
    progress->SetValue(std::clamp(position - progressLower, 0, progress->GetRange()));
}

void CLotusNotesWnd::ShowProgress(bool show) {
    progress->Show(show);
    stopButton->Show(show);
}

void CLotusNotesWnd::EnableCommands(bool enable) {
    exportButton->Enable(enable);
    closeButton->Enable(enable);
}

void CLotusNotesWnd::HideBrowsing() {
    treeWnd->Hide();
    list->Hide();
    exportButton->Hide();
    closeButton->Hide();
}

void CLotusNotesWnd::ClearItemList() { list->DeleteAllItems(); }

void CLotusNotesWnd::InsertItemRowAtTop(const ItemRow& row, uint32_t itemData) {
    const long index = list->InsertItem(0, "", row.hasAttachment == 1 ? 0 : -1);
    list->SetItemData(index, static_cast<long>(itemData));
    list->SetItem(index, 1, ToWx(row.to));
    list->SetItem(index, 2, ToWx(row.from));
    list->SetItem(index, 3, ToWx(row.subject));
    list->SetItem(index, 4, ToWx(row.dateTime));
}

ui::EAnswer CLotusNotesWnd::Message(const std::u16string& text, ui::EButtons buttons) {
    return ui::ShowInfoMessage(this, ToWx(viewerTitle), ToWx(text), buttons);
}

void CLotusNotesWnd::EndDialog(bool ok) {
    endedOk = ok;
    endRequested = true;
    if (IsModal()) EndModal(ok ? wxID_OK : wxID_CANCEL);
}

// ---- commands ------------------------------------------------------------------

void CLotusNotesWnd::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        dialog.OnOK();
        break;
    case WXK_ESCAPE:
        dialog.OnCancel();
        break;
    default:
        event.Skip();
    }
}

void CLotusNotesWnd::OnHelpButton(wxCommandEvent&) {
    wxMenu menu;
    menu.Append(ID_HELP_HELP, "Help");
    menu.Append(ID_HELP_HOMEPAGE, "Software Homepage");
    menu.Append(ID_HELP_ABOUT, "About");
    PopupMenu(&menu, helpButton->GetPosition() + wxPoint(0, helpButton->GetSize().y));
}

void CLotusNotesWnd::OnHelpMenu(wxCommandEvent& event) {
    switch (event.GetId()) {
    case ID_HELP_HELP:
        wxLaunchDefaultBrowser(kHelpPageUrl);
        break;
    case ID_HELP_HOMEPAGE:
        wxLaunchDefaultBrowser(kHomePageUrl);
        break;
    case ID_HELP_ABOUT: {
        CSysInfoAboutDlg about(this);
        about.ShowModal();
        break;
    }
    default:
        break;
    }
}

void CLotusNotesWnd::OnCloseWindow(wxCloseEvent&) { dialog.OnCancel(); }

// ---- moving the window by any point ---------------------------------------------

void CLotusNotesWnd::BindDragging(wxWindow* window) {
    window->Bind(wxEVT_LEFT_DOWN, &CLotusNotesWnd::OnMouseDown, this);
    window->Bind(wxEVT_MOTION, &CLotusNotesWnd::OnMouseMove, this);
    window->Bind(wxEVT_LEFT_UP, &CLotusNotesWnd::OnMouseUp, this);
    window->Bind(wxEVT_MOUSE_CAPTURE_LOST, &CLotusNotesWnd::OnCaptureLost, this);
}

void CLotusNotesWnd::OnMouseDown(wxMouseEvent& event) {
    auto* source = static_cast<wxWindow*>(event.GetEventObject());
    dragOffset = source->ClientToScreen(event.GetPosition()) - GetPosition();
    if (!HasCapture()) CaptureMouse();
}

// The window follows the pointer's screen position: an event's own position
// is relative to where the window was when the event was made, which lags
// behind the moves already done when events queue up.
void CLotusNotesWnd::OnMouseMove(wxMouseEvent& event) {
    if (!HasCapture() || !event.LeftIsDown()) return;
    Move(wxGetMousePosition() - dragOffset);
}

void CLotusNotesWnd::OnMouseUp(wxMouseEvent&) {
    if (!HasCapture()) return;
    Move(wxGetMousePosition() - dragOffset);
    ReleaseMouse();
}

void CLotusNotesWnd::OnCaptureLost(wxMouseCaptureLostEvent&) {}

// ---- program -------------------------------------------------------------------

int RunWxViewer(CLotusNotesApp& app, const std::u16string& commandLine, IExportFlow& flow) {
    wxTheApp->SetAppName(ToWx(app.registryKey));
    CLotusNotesDlg dialog(app, commandLine, flow);
    {
        CLotusNotesWnd window(dialog);
        window.Run();
    }
    dialog.StopThreads();
    return 0;
}

#include "viewer/dialogs/wx/WxExportFlow.h"

#include "viewer/LotusNotesDlg.h"
#include "viewer/dialogs/ExportHandOver.h"
#include "viewer/dialogs/wx/savefilterDlg.h"

std::unique_ptr<IExportFlow> CreateWxExportFlow() {
    return std::make_unique<CSaveAsPstExportFlow>([](CLotusNotesDlg& dialog, ExportSettings& settings) {
        // In the save-dialog-only mode the main window is never shown.
        auto* parent = dynamic_cast<wxWindow*>(dialog.Window());
        if (parent && !parent->IsShown()) parent = nullptr;
        CLotusNotesApp& app = dialog.App();
        savefilterDlg saveDialog(parent, settings, app.namesSession, app.namesDatabase);
        return saveDialog.ShowModal() == wxID_OK;
    });
}

// The export hand-over of modes 1 and 2 is not part of this build yet: Export
// says so in the status line, and the save-dialog-only mode writes nothing.
#include "viewer/ExportFlow.h"

#include "viewer/LotusNotesDlg.h"

namespace {

class CExportNotAvailable : public IExportFlow {
public:
    void RunExport(CLotusNotesDlg& dialog) override {
        dialog.Status(u"Export is not available in this version of the viewer.");
    }
    void RunSaveDialogOnly(CLotusNotesDlg& dialog) override {
        dialog.Status(u"The save dialog is not available in this version of the viewer.");
    }
};

}  // namespace

std::unique_ptr<IExportFlow> CreateExportFlow() { return std::make_unique<CExportNotAvailable>(); }

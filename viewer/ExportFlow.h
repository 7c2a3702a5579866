// The seam between the main window and the export hand-over of modes 1 and
// 2: the Save as PST dialog, its advanced settings and the writing of the
// selection file and config.txt. The main window calls it and knows nothing
// else about it.
#pragma once
#include <memory>

class CLotusNotesDlg;

class IExportFlow {
public:
    virtual ~IExportFlow() = default;
    // The Export button (mode 1), on the window's thread. A flow that wrote
    // the selection ends the viewer itself (CLotusNotesDlg::EndViewer).
    virtual void RunExport(CLotusNotesDlg& dialog) = 0;
    // Mode 2: the save dialog alone, with the final status written into the
    // selection file; the main window then ends normally.
    virtual void RunSaveDialogOnly(CLotusNotesDlg& dialog) = 0;
};

// The flow this build carries.
std::unique_ptr<IExportFlow> CreateExportFlow();

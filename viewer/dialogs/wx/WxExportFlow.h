// The viewer's export flow with a display: Export and the save-dialog-only
// mode show the Save as PST dialog on wxWidgets.
#pragma once
#include <memory>

#include "viewer/ExportFlow.h"

std::unique_ptr<IExportFlow> CreateWxExportFlow();

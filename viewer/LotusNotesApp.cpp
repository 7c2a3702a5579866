#include "viewer/LotusNotesApp.h"

ExportSettings ViewerDefaultSettings() {
    ExportSettings s;
    s.counterSet = 0;
    s.includeSystemViews = 0;
    s.exportRequested = 1;
    s.includeAllView = 0;
    s.reservedFlagA = 1;
    s.reservedFlagB = 1;
    s.reservedFlagC = 0;
    return s;
}

CLotusNotesApp& TheApp() {
    static CLotusNotesApp app;
    return app;
}

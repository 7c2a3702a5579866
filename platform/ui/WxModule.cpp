// The entry of the window module: the worker finds the wxWidgets forms of its
// progress window and message boxes through it (see UserInterface.cpp).
#include "platform/ui/WxProgressDialog.h"

extern "C" __attribute__((visibility("default"))) const ui::CWindowForms* Nsf2pstWindowForms() {
    return ui::WindowFormsTable();
}

// The one-line status fields of the viewer's main window and the worker's
// progress window in a real display (run under Xvfb): the status texts keep
// their CR LF for the run log, the fields show them without line breaks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <wx/textctrl.h>

#include "platform/sys/Text.h"
#include "platform/ui/UserInterface.h"
#include "platform/ui/WxProgressDialog.h"
#include "viewer/ExportFlow.h"
#include "viewer/wx/LotusNotesWnd.h"

namespace {

struct FieldCase {
    const char16_t* text;
    const char* shown;
};

const FieldCase kCases[] = {
    {u"Scanning File .\r\n", "Scanning File ."},
    {u"\r\nERROR: Database cannot be Opened\r\n", "ERROR: Database cannot be Opened"},
    {u"two\r\nlines\nand\ta tab", "two lines and a tab"},
};

bool HaveDisplay() {
    if (!std::getenv("DISPLAY")) return false;
    unsetenv("NSF2PST_HEADLESS");
    return ui::EnsureToolkit();
}

TEST(StatusField, ViewerShowsStatusTextsOnOneLine) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto flow = CreateExportFlow();
    CLotusNotesDlg dialog(TheApp(), u"", *flow);
    CLotusNotesWnd window(dialog);
    auto* field = dynamic_cast<wxTextCtrl*>(window.FindWindow(IDC_STATUS));
    ASSERT_NE(field, nullptr);
    for (const FieldCase& c : kCases) {
        window.SetStatusText(c.text);
        EXPECT_EQ(field->GetValue().utf8_string(), c.shown);
    }
}

TEST(StatusField, WorkerShowsStatusTextsOnOneLine) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    auto window = ui::CProgressWindow::Create(u"Kelvro Saving Data");
    ASSERT_TRUE(window);
    for (const FieldCase& c : kCases) {
        window->SetStatusText(c.text);
        EXPECT_EQ(sys::Utf16ToUtf8(window->StatusText()), c.shown);
    }
}

}  // namespace

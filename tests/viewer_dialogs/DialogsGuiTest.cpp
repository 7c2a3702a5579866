// The Save as PST and advanced settings dialogs in a real X server: controls
// where their dialog-unit rectangles put them, the radio and check-box
// enabling, Add and Remove in the manual list, the reset at opening, and a
// screenshot of each dialog left in the build directory for a person to
// look at. Skipped without a display.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <wx/app.h>
#include <wx/utils.h>

#include "platform/notes/LNNotes.h"
#include "platform/ui/WxProgressDialog.h"
#include "tests/viewer_dialogs/DialogTestSupport.h"
#include "viewer/dialogs/wx/Advancesettingdlg.h"
#include "viewer/dialogs/wx/savefilterDlg.h"
#include "tests/support/CommandOutput.h"

namespace {

using dialogtest::Wall;

void Settle() {
    for (int i = 0; i < 20; ++i) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// Grabs the dialog's screen rectangle with ImageMagick's import.
bool Screenshot(wxWindow& window, const std::string& name) {
    const wxRect r = window.GetScreenRect();
    const std::string path = std::string(NSF2PST_BINARY_DIR) + "/tests/viewer_dialogs/" + name;
    const std::string command = "import -window root -crop " + std::to_string(r.width) + "x" +
                                std::to_string(r.height) + "+" + std::to_string(r.x) + "+" +
                                std::to_string(r.y) + " " + path + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

class DialogsGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        if (!ui::EnsureToolkit()) GTEST_SKIP() << "no toolkit";
    }
    wxPoint Dlu(wxWindow& dialog, int x, int y) { return dialog.ConvertDialogToPixels(wxPoint(x, y)); }

    ExportSettings settings;
    LNNotesSession session;
    LNDatabase database;
};

TEST_F(DialogsGuiTest, SaveAsPstDialog) {
    settings.dateRanges.push_back(DateRange{1, 0, 2, 0});
    auto* dialog = new savefilterDlg(nullptr, settings, session, database,
                                     [] { return Wall(2026, 3, 11, 14, 30, 15, 3); });
    dialog->Show();
    Settle();
    EXPECT_EQ(dialog->GetTitle(), "Kelvro Show NSF Data v18.0");
    EXPECT_EQ(dialog->GetClientSize(), dialog->ConvertDialogToPixels(wxSize(407, 275)));
    EXPECT_EQ(dialog->PathEdit()->GetPosition(), Dlu(*dialog, 26, 24));
    EXPECT_EQ(dialog->RangeList()->GetPosition(), Dlu(*dialog, 41, 137));
    EXPECT_EQ(dialog->PeriodList()->GetCount(), 10u);
    EXPECT_EQ(dialog->PeriodList()->GetStringSelection(), "All Time");
    EXPECT_TRUE(settings.dateRanges.empty());
    EXPECT_TRUE(dialog->PeriodList()->IsEnabled());
    EXPECT_FALSE(dialog->RangeList()->IsEnabled());
    EXPECT_FALSE(dialog->StartPicker()->IsEnabled());
    EXPECT_EQ(dialog->RangeList()->GetColumnWidth(0), 160);

    EXPECT_TRUE(dialog->PredefinedRadio()->GetValue());
    EXPECT_FALSE(dialog->ManualRadio()->GetValue());
    dialog->OnManual();
    EXPECT_FALSE(dialog->PredefinedRadio()->GetValue());
    EXPECT_TRUE(dialog->ManualRadio()->GetValue());
    EXPECT_FALSE(dialog->PeriodList()->IsEnabled());
    EXPECT_TRUE(dialog->RangeList()->IsEnabled());
    dialog->StartPicker()->SetValue(wxDateTime(5, wxDateTime::Jan, 2026));
    dialog->EndPicker()->SetValue(wxDateTime(1, wxDateTime::Feb, 2026));
    dialog->OnAdd();
    dialog->OnAdd();  // same days: not added again
    dialog->StartPicker()->SetValue(wxDateTime(2, wxDateTime::Mar, 2026));
    dialog->EndPicker()->SetValue(wxDateTime(4, wxDateTime::Mar, 2026));
    dialog->OnAdd();
    ASSERT_EQ(dialog->RangeList()->GetItemCount(), 2);
    EXPECT_EQ(dialog->RangeList()->GetItemText(0, 0), "Monday, January 05, 2026");
    EXPECT_EQ(dialog->RangeList()->GetItemText(1, 1), "Wednesday, March 04, 2026");
    EXPECT_EQ(settings.dateRanges.size(), 2u);
    Settle();
    EXPECT_TRUE(Screenshot(*dialog, "save-as-pst-dialog.png"));

    dialog->RangeList()->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    dialog->OnRemove();
    ASSERT_EQ(dialog->RangeList()->GetItemCount(), 1);
    EXPECT_EQ(settings.dateRanges.size(), 1u);
    dialog->OnPredefined();
    EXPECT_TRUE(dialog->PredefinedRadio()->GetValue());
    EXPECT_FALSE(dialog->ManualRadio()->GetValue());
    EXPECT_TRUE(dialog->PeriodList()->IsEnabled());
    EXPECT_FALSE(dialog->RangeList()->IsEnabled());
    dialog->Destroy();
    Settle();
}

TEST_F(DialogsGuiTest, AdvancedSettingsDialog) {
    settings.includeSystemViews = 0;
    settings.useFolderMapping = 1;
    auto* dialog = new Advancesettingdlg(nullptr, settings, session, database);
    dialog->Show();
    Settle();
    EXPECT_EQ(dialog->GetClientSize(), dialog->ConvertDialogToPixels(wxSize(390, 310)));
    EXPECT_EQ(dialog->DomainEdit()->GetPosition(), Dlu(*dialog, 98, 194));
    EXPECT_EQ(settings.useFolderMapping, 0);
    EXPECT_EQ(settings.folderMapping.size(), 9u);
    EXPECT_TRUE(dialog->ExcludeAllCheck()->GetValue());
    EXPECT_TRUE(dialog->ExcludeAllCheck()->IsEnabled());
    EXPECT_FALSE(dialog->DomainEdit()->IsEnabled());
    EXPECT_FALSE(dialog->FolderList()->IsEnabled());
    EXPECT_EQ(dialog->FolderList()->GetStringSelection(), "Inbox");
    Settle();
    EXPECT_TRUE(Screenshot(*dialog, "advanced-settings-dialog-closed.png"));

    dialog->TranslationCheck()->SetValue(true);
    dialog->MappingCheck()->SetValue(true);
    dialog->ApplyEnabling();
    EXPECT_TRUE(dialog->DomainEdit()->IsEnabled());
    EXPECT_TRUE(dialog->FolderList()->IsEnabled());
    dialog->FolderNameEdit()->SetValue("Posteingang");
    dialog->DomainEdit()->SetValue("example.com");
    Settle();
    EXPECT_TRUE(Screenshot(*dialog, "advanced-settings-dialog-open.png"));
    dialog->Destroy();
    Settle();

    // Mode 1 lists the system views: "Exclude All Folder" is off and disabled.
    settings.includeSystemViews = 1;
    auto* second = new Advancesettingdlg(nullptr, settings, session, database);
    EXPECT_FALSE(second->ExcludeAllCheck()->GetValue());
    EXPECT_FALSE(second->ExcludeAllCheck()->IsEnabled());
    second->Destroy();
    Settle();
}

// ---- nsfviewer in the save-dialog-only mode, driven through the X server ----------

std::string Shell(const std::string& command) { return CommandOutput(command + " 2>/dev/null"); }

class SaveDialogOnlyGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        if (Shell("command -v xdotool").empty()) GTEST_SKIP() << "xdotool missing";
        work.Write("Folderpth.txt", "");
    }
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
    void Launch() {
        const std::string program = std::string(NSF2PST_BINARY_DIR) + "/viewer/nsfviewer";
        const std::string line = work.dir.string() + "/none.nsf/D /C 2/P out.pst/F" + work.dir.string() + "/";
        child = fork();
        if (child == 0) {
            unsetenv("NSF2PST_HEADLESS");
            execl(program.c_str(), program.c_str(), line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(child, 0);
        for (int i = 0; i < 600 && window.empty(); ++i) {
            window = Shell("xdotool search --onlyvisible --name 'Kelvro Show NSF Data' | head -1");
            while (!window.empty() && window.back() == '\n') window.pop_back();
            if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_FALSE(window.empty());
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const std::string geometry = Shell("xdotool getwindowgeometry " + window);
        const size_t at = geometry.find("Geometry: ");
        ASSERT_NE(at, std::string::npos);
        std::sscanf(geometry.c_str() + at + 10, "%dx%d", &width, &height);
    }
    // A click at a point given in the dialog's units (407 x 275).
    void Click(int x, int y) {
        const int px = x * width / 407;
        const int py = y * height / 275;
        Shell("xdotool mousemove --window " + window + " " + std::to_string(px) + " " + std::to_string(py) +
              " click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    int WaitForExit() {
        for (int i = 0; i < 300; ++i) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -2;
    }

    dialogtest::CTempDir work;
    pid_t child = -1;
    std::string window;
    int width = 0, height = 0;
};

TEST_F(SaveDialogOnlyGuiTest, CancelWritesOnlyTheByteZero) {
    Launch();
    Click(244, 263);  // Cancel
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(work.Read("Folderpth.txt"), std::string(1, '\0'));
    EXPECT_FALSE(std::filesystem::exists(work.dir / "config.txt"));
}

TEST_F(SaveDialogOnlyGuiTest, OkWritesTheTypedFolderAndConfig) {
    Launch();
    Click(192, 31);  // the path edit
    Shell("xdotool type --delay 20 '" + work.dir.string() + "'");
    Click(184, 263);  // OK
    EXPECT_EQ(WaitForExit(), 0);
    const std::u16string destination = work.Prefix();
    EXPECT_EQ(work.Read("Folderpth.txt"),
              "\x01" + dialogtest::U32(static_cast<uint32_t>(destination.size() * 2)) + dialogtest::U16Le(destination));
    ExportSettings settings;
    ASSERT_TRUE(ReadExportSettings(work.Path("config.txt"), settings));
    EXPECT_EQ(settings.destinationFolder, destination);
    EXPECT_TRUE(settings.dateRanges.empty());
    EXPECT_EQ(settings.exportRequested, 1);
}

}  // namespace

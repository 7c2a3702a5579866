// nsfviewer: shows the folders of a Notes database for the user to choose
// from, or hands all of them over in the batch mode, and leaves the choice
// in the selection file and config.txt of the work directory.
#include <cstdio>
#include <cstring>

#include "platform/sys/CommandLine.h"
#include "platform/ui/UserInterface.h"
#include "viewer/ConsoleViewerWindow.h"
#include "viewer/LotusNotesDlg.h"
#include "nsf2pst/Version.h"
#ifdef NSF2PST_VIEWER_WX
#include "platform/ui/WxProgressDialog.h"
#include "viewer/wx/LotusNotesWnd.h"
#endif
#ifdef NSF2PST_VIEWER_DIALOGS
#include "viewer/dialogs/wx/WxExportFlow.h"
#endif

namespace {

const char kUsage[] =
    "Usage: nsfviewer \"DATABASE.nsf/D SERVER/C MODE/P PST/F WORKDIR/\"\n"
    "Shows the folders of a Notes database to choose from (mode 1), or hands\n"
    "all of them over without a window (mode 3), leaving the choice in the\n"
    "work directory. nsf2pst starts it; see nsf2pst(1).\n"
    "  --help     show this text\n"
    "  --version  print the version and exit\n";

int RunConsoleViewer(CLotusNotesApp& app, const std::u16string& line, IExportFlow& flow) {
    if (ParseViewerCommandLine(line).mode != 3) {
        std::fprintf(stderr,
                     "nsfviewer: no display is available; without one only the batch mode (/C 3) can run.\n");
        return 2;
    }
    auto window = std::make_shared<CConsoleViewerWindow>();
    CLotusNotesDlg dialog(app, line, flow);
    dialog.Attach(window.get(), window);
    dialog.OnInitDialog();
    if (!dialog.FlowStarted()) return 1;
    window->RunModal();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("nsfviewer " NSF2PST_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    CLotusNotesApp& app = TheApp();
    app.InitInstance();
    const std::u16string line = sys::CommandLineText(argc, argv);
    auto flow = CreateExportFlow();
#ifdef NSF2PST_VIEWER_WX
    if (!ui::IsHeadless() && ui::EnsureToolkit()) {
#ifdef NSF2PST_VIEWER_DIALOGS
        // With a display, Export and the save-dialog-only mode show the Save as PST dialog.
        flow = CreateWxExportFlow();
#endif
        return RunWxViewer(app, line, *flow);
    }
#endif
    return RunConsoleViewer(app, line, *flow);
}

// nsfsaver: converts one batch of a Notes database into the PST per process
// run and ends with exit status 255; the outcome is left in setting.txt,
// runstate.txt and the run log of the work directory.
#include <cstdio>
#include <cstring>

#include "nsf2pst/Version.h"
#include "platform/sys/CommandLine.h"
#include "platform/sys/Process.h"
#include "worker/core/ConversionPasses.h"
#include "worker/core/SavingProcessDlg.h"

namespace {
const char kUsage[] =
    "Usage: nsfsaver \"DATABASE.nsf/D SERVER/C MODE/P PST/F WORKDIR/\"\n"
    "Converts one batch of a Notes database into the PST (mode 0: a mail run,\n"
    "mode 1: a calendar run) and leaves the outcome in the work directory.\n"
    "nsf2pst starts it; see nsf2pst(1).\n"
    "  --help     show this text\n"
    "  --version  print the version and exit\n";
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("nsfsaver " NSF2PST_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    sys::KeepFreedMemory();
    CsavingprocessApp app;
    CConversionPasses passes;
    CsavingprocessDlg dialog(app, sys::CommandLineText(argc, argv), passes);
    dialog.DoModal();
    return 0;
}

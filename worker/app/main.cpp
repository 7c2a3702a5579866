// nsfsaver: converts one batch of a Notes database into the PST per process
// run and ends with exit status 255; the outcome is left in setting.txt,
// runstate.txt and the run log of the work directory.
#include "platform/sys/CommandLine.h"
#include "worker/core/ConversionPasses.h"
#include "worker/core/SavingProcessDlg.h"

int main(int argc, char** argv) {
    CsavingprocessApp app;
    CConversionPasses passes;
    CsavingprocessDlg dialog(app, sys::CommandLineText(argc, argv), passes);
    dialog.DoModal();
    return 0;
}

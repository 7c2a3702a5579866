// nsfsaver: converts one batch of a Notes database into the PST per process
// run and ends with exit status 255; the outcome is left in setting.txt and
// the run log of the work directory.
#include "platform/sys/CommandLine.h"
#include "worker/core/ConversionPasses.h"
#include "worker/core/SavingProcessDlg.h"

namespace {

// The conversion passes are not linked into this build yet: a run opens
// everything, converts nothing and ends.
class CNoPasses : public IConversionPasses {
public:
    void RunMailFolder(CNsfConverter&, const MailRunInput&, const store::DispatchPtr&) override {}
    void RunCalendar(CNsfConverter&, const store::DispatchPtr&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    CsavingprocessApp app;
    CNoPasses passes;
    CsavingprocessDlg dialog(app, sys::CommandLineText(argc, argv), passes);
    dialog.DoModal();
    return 0;
}

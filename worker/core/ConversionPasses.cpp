#include "worker/core/ConversionPasses.h"

#include "worker/core/CalendarPass.h"
#include "worker/core/MailFolderPass.h"

void CConversionPasses::RunMailFolder(CNsfConverter& converter, const MailRunInput& input,
                                      const store::DispatchPtr& session) {
    RunFolder(converter, input, session);
}

void CConversionPasses::RunCalendar(CNsfConverter& converter, const store::DispatchPtr& session) {
    ::RunCalendar(converter, session);
}

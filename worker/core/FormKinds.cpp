#include "worker/core/FormKinds.h"

EFormKind FormKindOf(const std::u16string& form) {
    if (form == u"Memo" || form == u"NonDelivery Report" || form == u"Reply" || form == u"Return Receipt")
        return EFormKind::Mail;
    if (form == u"Task") return EFormKind::Task;
    if (form == u"Appointment" || form == u"Notice" || form == u"(ReplyNotice)") return EFormKind::Calendar;
    if (form == u"Person") return EFormKind::Contact;
    if (form == u"Group") return EFormKind::DistList;
    return EFormKind::Unknown;
}

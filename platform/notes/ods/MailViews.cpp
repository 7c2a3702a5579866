#include "platform/notes/ods/MailViews.h"

#include <array>
#include <utility>

#include "platform/notes/NotesState.h"

namespace notes::ods {

namespace {
bool IsAnyOf(const std::string& form, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (SameName(form, n)) return true;
    return false;
}

bool IsMail(const std::string& form) {
    return form.empty() || IsAnyOf(form, {"Memo", "Reply", "Reply With History", "Phone Message", "Delivery Report",
                                          "NonDelivery Report", "Return Receipt", "Trace Report", "Bookmark"});
}
}  // namespace

std::optional<EMailView> MailViewOf(const std::string& name) {
    static const std::array<std::pair<const char*, EMailView>, 14> names{{
        {"($All)", EMailView::All}, {"($Sent)", EMailView::Sent}, {"($Drafts)", EMailView::Drafts},
        {"($Calendar)", EMailView::Calendar}, {"($Meetings)", EMailView::Calendar}, {"($ToDo)", EMailView::ToDo},
        {"($Contacts)", EMailView::Contacts}, {"($People)", EMailView::Contacts}, {"My Contacts", EMailView::Contacts},
        {"($Groups)", EMailView::Groups}, {"Groups", EMailView::Groups}, {"($ByCategory)", EMailView::ByCategory},
        {"By Category", EMailView::ByCategory}, {"($Tasks)", EMailView::ToDo},
    }};
    for (const auto& [viewName, view] : names)
        if (name == viewName) return view;
    return std::nullopt;
}

bool Selects(EMailView view, const CDocumentFacts& f) {
    switch (view) {
        case EMailView::All: return true;
        case EMailView::Sent: return IsMail(f.form) && f.posted && !f.delivered;
        case EMailView::Drafts: return IsMail(f.form) && !f.posted && !f.delivered;
        case EMailView::Calendar: return IsAnyOf(f.form, {"Appointment", "Notice"});
        case EMailView::ToDo: return IsAnyOf(f.form, {"Task", "TaskNotice"});
        case EMailView::Contacts: return IsAnyOf(f.form, {"Person", "Contact", "DPABPerson"});
        case EMailView::Groups: return IsAnyOf(f.form, {"Group", "DPABGroup"});
        case EMailView::ByCategory: return f.categorized;
    }
    return false;
}

}  // namespace notes::ods

// iCalendar import into an appointment: the first VEVENT with start and end
// (in the zone its TZID's VTIMEZONE defines; any TZID without rules is read
// as Greenwich time; dates make an all-day event in the entry's zone),
// summary, organizer and attendees given only as CN parameters, description
// with "\n" escapes, location, categories ("NONE" for none), importance, the
// alarm and attachments carried as base64 ATTACH lines; its UID as the
// meeting's identity (unless one was put), and its RRULE, RDATE,
// EXDATE and the VEVENTs of changed instances as the appointment's series.
#include <cstdlib>

#include "platform/store/Addresses.h"
#include "platform/store/AppointmentImport.h"
#include "platform/store/Attachments.h"
#include "platform/store/CivilTime.h"
#include "platform/store/ContentLines.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/ICalendarModel.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"
#include "platform/sys/Text.h"

namespace store {
namespace {

// A time written in the host's local time (creation and modification times).
bool ICalTimeFromLocal(const std::string& text, CFileTime& out) {
    auto t = ParseCalTime(text);
    if (!t) return false;
    CFileTime asUtc{FileTimeFromMinutes(t->wallMinutes).value + t->second * 10000000LL};
    out = OleDateFromLocal(static_cast<double>(asUtc.value) / 864000000000.0 - 109205.0);
    return true;
}

// Parameter values are in the line's CHARSET, else in the system code page.
std::u16string ParamText(const CContentLine& line, const std::string& name) {
    std::string charset = line.Param("CHARSET");
    return charset.empty() ? sys::AnsiToUtf16(line.Param(name)) : FromCharset(line.Param(name), charset);
}

void ApplyOrganizer(CPropertyBag& p, const CContentLine& line) {
    std::u16string name = ParamText(line, "CN");
    if (name.empty() && !line.value.empty()) name = DecodeValue(line);
    if (Trim(name).empty()) return;
    auto list = ParseAddressList(name);
    CAddress a = list.empty() ? ParseAddress(name) : list.front();
    SetSender(p, a);
    SetSentRepresenting(p, a);
}

void ApplyAttendees(CMessageData& data, const CContentLine& line) {
    std::u16string names = ParamText(line, "CN");
    if (names.empty() && !line.value.empty()) names = DecodeValue(line);
    auto list = ParseAddressList(names);
    if (list.empty()) return;
    SetRecipients(data, 1, list);
    std::vector<std::u16string> shown;
    for (const auto& a : list) shown.push_back(a.name);
    data.props.SetNamed(Appointment(0x823B, ptString), Join(shown, u"; "));
}

// Every line of the event but its times, which the appointment's zone places.
void ApplyEventLine(CMessageData& data, const CContentLine& line) {
    CPropertyBag& p = data.props;
    const std::string& n = line.name;
    CFileTime t;
    if (n == "CREATED") {
        if (ICalTimeFromLocal(line.value, t)) p.Set(tagCreationTime, t);
    } else if (n == "LAST-MOD" || n == "LAST-MODIFIED") {
        if (ICalTimeFromLocal(line.value, t)) p.Set(tagLastModificationTime, t);
    } else if (n == "SUMMARY") {
        SetSubject(p, EventText(line));
    } else if (n == "ORGANIZER") {
        ApplyOrganizer(p, line);
    } else if (n == "ATTENDEE") {
        ApplyAttendees(data, line);
    } else if (n == "DESCRIPTION") {
        // An HTML body set before the import stays; the file carries the same description.
        if (!p.Has(tagHtml)) SetPlainBody(p, EventText(line));
    } else if (n == "LOCATION") {
        std::u16string text = EventText(line);
        if (!text.empty()) p.SetNamed(Appointment(0x8208, ptString), text);
    } else if (n == "CATEGORIES") {
        std::u16string text = DecodeValue(line);
        if (Trim(text) != u"NONE") SetCategories(p, text);
    } else if (n == "X-MICROSOFT-CDO-IMPORTANCE") {
        std::string v = TrimAscii(line.value);
        if (v == "0" || v == "1" || v == "2") p.Set(tagImportance, int32_t(v[0] - '0'));
    } else if (n == "ATTACH") {
        auto bytes = DecodeBase64(line.value);
        if (!bytes) ThrowDispatch(hrFail, "an attachment of the calendar file is not base64");
        std::u16string name = ParamText(line, "X-FILENAME");
        data.attachments.push_back(MakeAttachment(name, line.Param("FMTTYPE").empty() ? u"" : FromUtf8(line.Param("FMTTYPE")), std::move(*bytes)));
    }
}

void ApplyAlarm(CPropertyBag& p, const CCalComponent& event) {
    bool alarm = false;
    std::optional<int32_t> trigger;
    for (const auto& child : event.children) {
        if (child.name != "VALARM") continue;
        alarm = true;
        if (const CContentLine* line = child.Find("TRIGGER")) trigger = DurationMinutes(line->value);  // minutes before the start
    }
    if (!alarm) return;
    p.SetNamed(Common(0x8503, ptBoolean), true);
    if (trigger) p.SetNamed(Common(0x8501, ptInt32), *trigger);
    else if (!p.GetNamed(Common(0x8501, ptInt32))) p.SetNamed(Common(0x8501, ptInt32), int32_t(0));
}

// The first event without a RECURRENCE-ID is the entry; the others that
// name an instance of it are its changed instances.
struct CEvents {
    const CCalComponent* master = nullptr;
    std::vector<const CCalComponent*> changes;
};

CEvents FindEvents(const CCalComponent& calendar) {
    CEvents events;
    for (const auto& child : calendar.children) {
        if (child.name != "VEVENT") continue;
        if (child.Find("RECURRENCE-ID")) events.changes.push_back(&child);
        else if (!events.master) events.master = &child;
    }
    if (!events.master && !events.changes.empty()) {
        events.master = events.changes.front();
        events.changes.erase(events.changes.begin());
    }
    return events;
}

}  // namespace

void ImportICalendar(CMessageData& data, std::string_view bytes) {
    CCalComponent calendar = ParseCalendar(bytes);
    CEvents events = FindEvents(calendar);
    if (!events.master || !events.master->ended || !calendar.ended)
        ThrowDispatch(hrFail, "the calendar file is incomplete");
    const CCalComponent& event = *events.master;
    for (const auto& line : event.lines) ApplyEventLine(data, line);
    ApplyAlarm(data.props, event);
    CCalZones zones(calendar);
    CAppointmentImport appointment(data, zones);
    appointment.ApplyTimes(event);
    appointment.ApplyIdentity(event);
    appointment.ApplySeries(event, events.changes);
}

}  // namespace store

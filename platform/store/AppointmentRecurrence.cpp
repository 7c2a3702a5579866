// The series side of the appointment import: a repeating event's dates on
// the wall clock of its zone, planned as an Outlook series (recurrence blob,
// clip range, series zone, hidden exception attachments) with the instances
// no pattern holds as further items; the meeting identity and state that
// every item of the meeting shares.
#include <algorithm>

#include "platform/store/AppointmentImport.h"
#include "platform/store/Attachments.h"
#include "platform/store/CivilTime.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/MeetingIdentity.h"
#include "platform/store/StoreText.h"
#include "platform/store/TimeZone.h"

namespace store {
namespace {

constexpr uint32_t tagExceptionStartTime = 0x7FFB0040;
constexpr uint32_t tagExceptionEndTime = 0x7FFC0040;
constexpr uint32_t tagExceptionReplaceTime = 0x7FF90040;
constexpr int32_t attachEmbeddedMessage = 5;
constexpr char16_t exceptionClass[] = u"IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}";

// A series without an end is clipped at 31 August 4500, 23:59.
const CFileTime clipOfEndlessSeries = FileTimeFromMinutes(DaysFromCivil(4500, 8, 31) * minutesPerDay + 1439);

const CNamedKey keyGlobalId = Meeting(0x0003, ptBinary);
const CNamedKey keyCleanGlobalId = Meeting(0x0023, ptBinary);
const CNamedKey keyStateFlags = Appointment(0x8217, ptInt32);
const CNamedKey keyResponseStatus = Appointment(0x8218, ptInt32);

std::optional<std::u16string> TextOf(const CCalComponent& event, const char* name) {
    const CContentLine* line = event.Find(name);
    if (!line) return std::nullopt;
    return EventText(*line);
}

// The value of a change that differs from the series' own.
std::optional<std::u16string> Differing(std::optional<std::u16string> value, const std::u16string& series) {
    if (value && *value == series) return std::nullopt;
    return value;
}

std::string IdOf(const CPropertyBag& p) {
    const CPropValue* v = p.GetNamed(keyGlobalId);
    return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : std::string();
}

void SetIdentity(CPropertyBag& p, const std::string& cleanId, const CCivilDate& instanceDate) {
    p.SetNamed(keyCleanGlobalId, cleanId);
    p.SetNamed(keyGlobalId, WithInstanceDate(cleanId, instanceDate));
}

// Each exception message, as a copy the change can be made on.
template <class F>
void ForEachException(CMessageData& data, F change) {
    for (auto& a : data.attachments) {
        if (!IsExceptionAttachment(a)) continue;
        auto copy = std::make_shared<CMessageData>(*a.embedded);
        change(*copy);
        a.embedded = std::move(copy);
    }
}

}  // namespace

void SetMeetingIdentity(CMessageData& data, const std::string& cleanId) {
    if (cleanId.empty()) return;
    SetIdentity(data.props, cleanId, CCivilDate{0, 0, 0});
    for (auto& sibling : data.siblings) SetIdentity(sibling, cleanId, InstanceDateOf(IdOf(sibling)));
    ForEachException(data, [&](CMessageData& m) { SetIdentity(m.props, cleanId, InstanceDateOf(IdOf(m.props))); });
}

void SetMeetingOwnerChairs(CPropertyBag& p, bool ownerChairs) {
    p.SetNamed(keyStateFlags, int32_t(ownerChairs ? 0x1 : 0x3));    // meeting, (received)
    p.SetNamed(keyResponseStatus, int32_t(ownerChairs ? 1 : 3));     // organized, accepted
}

void ShareWithExceptions(CMessageData& data) {
    ForEachException(data, [&](CMessageData& m) {
        for (const CNamedKey& key : {keyStateFlags, keyResponseStatus, Keywords()}) {
            if (const CPropValue* v = data.props.GetNamed(key)) m.props.SetNamed(key, *v);
            else m.props.RemoveNamed(key);
        }
    });
}

int64_t CAppointmentImport::SeriesWall(const CCalTime& time) const {
    if (time.dateOnly) return time.wallMinutes;
    CPlaced placed = Place(time);
    if (*placed.zone == seriesZone) return placed.wall;
    return LocalFromUtc(seriesZone, placed.utc);
}

int64_t CAppointmentImport::SeriesEndWall() const {
    if (!end) return start->wall;
    int64_t wall = end->date || *end->zone == seriesZone ? end->wall : LocalFromUtc(seriesZone, end->utc);
    return std::max(wall, start->wall);
}

CFileTime CAppointmentImport::UtcOfWall(int64_t wall) const { return FileTimeFromMinutes(UtcFromLocal(seriesZone, wall)); }

std::optional<CInstanceChange> CAppointmentImport::ChangeOf(const CCalComponent& change, const std::string& uid) const {
    const CContentLine* id = change.Find("RECURRENCE-ID");
    auto original = id ? ParseCalTime(id->value, id->Param("TZID")) : std::nullopt;
    if (!original) return std::nullopt;
    const CContentLine* own = change.Find("UID");
    if (own && !uid.empty() && TrimAscii(own->value) != uid) return std::nullopt;  // another event's instance
    CInstanceChange c;
    c.originalStart = SeriesWall(*original);
    c.originalIsDay = original->dateOnly && !start->date;
    const CContentLine* s = change.Find("DTSTART");
    auto startTime = s ? ParseCalTime(s->value, s->Param("TZID")) : std::nullopt;
    c.start = startTime ? SeriesWall(*startTime) : c.originalStart;
    const CContentLine* e = change.Find("DTEND");
    auto endTime = e ? ParseCalTime(e->value, e->Param("TZID")) : std::nullopt;
    std::optional<int32_t> duration;
    if (const CContentLine* d = change.Find("DURATION")) duration = DurationMinutes(d->value);
    c.end = endTime ? SeriesWall(*endTime) : c.start + (duration ? *duration : SeriesEndWall() - start->wall);
    c.end = std::max(c.end, c.start);
    c.subject = Differing(TextOf(change, "SUMMARY"), data.props.GetString(tagSubject));
    const CPropValue* location = data.props.GetNamed(Appointment(0x8208, ptString));
    c.location = Differing(TextOf(change, "LOCATION"), location ? std::get<std::u16string>(*location) : u"");
    c.body = Differing(TextOf(change, "DESCRIPTION"), data.props.GetString(tagBody));
    return c;
}

CSeriesInput CAppointmentImport::SeriesInput(const CCalComponent& event, const std::vector<const CCalComponent*>& changes) const {
    CSeriesInput in;
    in.start = start->wall;
    in.end = SeriesEndWall();
    if (const CContentLine* rrule = event.Find("RRULE")) in.rule = ParseRecurrenceRule(rrule->value);
    if (in.rule && !in.rule->until.empty()) {
        if (auto until = ParseCalTime(in.rule->until)) {
            // A date ends with its day; a time without Z is on the series' clock.
            if (until->dateOnly) in.ruleEnd = until->wallMinutes + minutesPerDay - 1;
            else in.ruleEnd = until->utc ? SeriesWall(*until) : until->wallMinutes;
        }
    }
    for (const CContentLine* line : event.FindAll("RDATE"))
        for (const CCalTime& t : ParseCalTimes(*line)) in.extraStarts.push_back(SeriesWall(t));
    for (const CContentLine* line : event.FindAll("EXDATE"))
        for (const CCalTime& t : ParseCalTimes(*line)) {
            if (t.dateOnly && !start->date) in.excludedDays.push_back(t.wallMinutes / minutesPerDay);
            else in.excludedStarts.push_back(SeriesWall(t));
        }
    const CContentLine* uid = event.Find("UID");
    std::string uidText = uid ? TrimAscii(uid->value) : "";
    for (const CCalComponent* change : changes)
        if (auto c = ChangeOf(*change, uidText)) in.changes.push_back(std::move(*c));
    return in;
}

void CAppointmentImport::ApplyInstance(CPropertyBag& p, const CInstance& instance) const {
    CFileTime s = UtcOfWall(instance.start), e = UtcOfWall(instance.end);
    SetAppointmentStart(p, s);
    SetAppointmentEnd(p, e);
    p.SetNamed(Appointment(0x8213, ptInt32), static_cast<int32_t>(instance.end - instance.start));
    if (!globalId.empty()) SetIdentity(p, globalId, CivilFromDays(instance.originalStart / minutesPerDay));
    if (!instance.change) return;
    if (instance.change->subject) SetSubject(p, *instance.change->subject);
    if (instance.change->location) p.SetNamed(Appointment(0x8208, ptString), *instance.change->location);
    if (instance.change->body) SetPlainBody(p, *instance.change->body);
}

CPropertyBag CAppointmentImport::InstanceProps(const CInstance& instance) const {
    CPropertyBag p;
    ApplyInstance(p, instance);
    return p;
}

CAttachment CAppointmentImport::ExceptionAttachment(const CInstance& instance) const {
    auto message = std::make_shared<CMessageData>();
    message->props = data.props;
    message->recipients = data.recipients;
    CPropertyBag& m = message->props;
    RemoveSeries(m);
    ApplyInstance(m, instance);
    m.Set(tagMessageClass, std::u16string(exceptionClass));
    m.SetNamed(Appointment(0x8228, ptTime), UtcOfWall(instance.originalStart));  // the instance it replaces
    m.SetNamed(Meeting(0x000A, ptBoolean), true);                                 // an exception
    m.SetNamed(Appointment(0x8206, ptBoolean), instance.change && instance.change->body.has_value());
    CAttachment a;
    a.embedded = message;
    CPropertyBag& p = a.props;
    p.Set(tagAttachMethod, attachEmbeddedMessage);
    p.Set(tagAttachmentHidden, true);
    p.Set(tagAttachmentFlags, afException);
    p.Set(tagRenderingPosition, int32_t(-1));
    p.Set(tagDisplayName, m.GetString(tagSubject));
    // The exception's own times on the series' clock; the time it replaces in Greenwich time.
    p.Set(tagExceptionStartTime, FileTimeFromMinutes(instance.start));
    p.Set(tagExceptionEndTime, FileTimeFromMinutes(instance.end));
    p.Set(tagExceptionReplaceTime, UtcOfWall(instance.originalStart));
    return a;
}

void CAppointmentImport::ApplySeriesZone() {
    CPropertyBag& p = data.props;
    p.SetNamed(Appointment(0x8233, ptBinary), TimeZoneStruct(seriesZone));
    p.SetNamed(Appointment(0x8234, ptString), seriesZone.description);
    p.SetNamed(Appointment(0x8260, ptBinary), TimeZoneDefinition(seriesZone, true));
    p.SetNamed(Appointment(0x825E, ptBinary), TimeZoneDefinition(seriesZone));
    p.SetNamed(Appointment(0x825F, ptBinary), TimeZoneDefinition(seriesZone));
}

void CAppointmentImport::ApplyPattern(const CSeriesPlan& plan) {
    const CRecurrencePattern& pattern = *plan.pattern;
    CPropertyBag& p = data.props;
    p.SetNamed(Appointment(0x8216, ptBinary), AppointmentRecurrenceBlob(pattern));
    p.SetNamed(Appointment(0x8223, ptBoolean), true);
    p.SetNamed(Meeting(0x0005, ptBoolean), true);
    p.SetNamed(Appointment(0x8231, ptInt32), RecurrenceType(pattern));
    p.SetNamed(Appointment(0x8232, ptString), DescribeRecurrence(pattern));
    // The clip range: the midnights of the first and the last day on the series' clock.
    p.SetNamed(Appointment(0x8235, ptTime), UtcOfWall(pattern.startDate));
    p.SetNamed(Appointment(0x8236, ptTime), pattern.endType == endNever ? clipOfEndlessSeries : UtcOfWall(pattern.endDate));
    ApplySeriesZone();
    for (const CInstance& e : plan.exceptions) data.attachments.push_back(ExceptionAttachment(e));
}

void CAppointmentImport::ApplySeries(const CCalComponent& event, const std::vector<const CCalComponent*>& changes) {
    if (!start || (!event.Find("RRULE") && !event.Find("RDATE") && changes.empty())) return;
    // The plan's instances point at the changes of its input, which therefore outlives it.
    const CSeriesInput input = SeriesInput(event, changes);
    const CSeriesPlan plan = PlanSeries(input);
    std::vector<CInstance> singles = plan.singles;
    if (plan.pattern) {
        ApplyPattern(plan);
    } else if (!singles.empty()) {
        // No pattern: the appointment is the first instance, the others items of their own.
        ApplyInstance(data.props, singles.front());
        singles.erase(singles.begin());
    }
    for (const CInstance& single : singles) data.siblings.push_back(InstanceProps(single));
}

}  // namespace store

#include "platform/store/AppointmentImport.h"

#include "platform/store/Attachments.h"
#include "platform/store/CivilTime.h"
#include "platform/store/MeetingIdentity.h"
#include "platform/store/StoreText.h"
#include "platform/store/TimeZone.h"

namespace store {

std::u16string EventText(const CContentLine& line) {
    std::u16string text = DecodeValue(line), out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            char16_t next = text[i + 1];
            if (next == u'n' || next == u'N') {
                if (out.empty() || out.back() != u'\r') out.push_back(u'\r');
                out.push_back(u'\n');
                ++i;
                continue;
            }
            if (next == u',' || next == u';' || next == u'\\') {
                out.push_back(next);
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::optional<int32_t> DurationMinutes(const std::string& text) {
    std::string t = TrimAscii(text);
    int64_t total = 0, number = 0;
    bool inNumber = false, sawP = false;
    for (char c : t) {
        if (c == '+' || c == '-' || c == 'T' || c == 't') continue;
        if (c == 'P' || c == 'p') {
            sawP = true;
            continue;
        }
        if (c >= '0' && c <= '9') {
            number = number * 10 + (c - '0');
            if (number > 10000000) return std::nullopt;
            inNumber = true;
            continue;
        }
        if (!inNumber) return std::nullopt;
        switch (c) {
        case 'W': case 'w': total += number * 7 * 24 * 60; break;
        case 'D': case 'd': total += number * 24 * 60; break;
        case 'H': case 'h': total += number * 60; break;
        case 'M': case 'm': total += number; break;
        case 'S': case 's': total += number / 60; break;
        default: return std::nullopt;
        }
        number = 0;
        inNumber = false;
    }
    if (!sawP || inNumber) return std::nullopt;
    return static_cast<int32_t>(std::min<int64_t>(total, 0x7FFFFFFF));
}

bool IsExceptionAttachment(const CAttachment& a) {
    auto flags = a.props.GetInt(tagAttachmentFlags);
    return a.embedded && flags && (*flags & afException);
}

void RemoveSeries(CPropertyBag& p) {
    for (uint32_t lid : {0x8216u, 0x8231u, 0x8232u, 0x8260u}) {
        p.RemoveNamed(Appointment(lid, ptBinary));
        p.RemoveNamed(Appointment(lid, ptInt32));
        p.RemoveNamed(Appointment(lid, ptString));
    }
    p.SetNamed(Appointment(0x8223, ptBoolean), false);
    p.SetNamed(Meeting(0x0005, ptBoolean), false);
}

CFileTime CAppointmentImport::CPlaced::FileTime() const {
    return CFileTime{FileTimeFromMinutes(utc).value + second * 10000000LL};
}

CAppointmentImport::CAppointmentImport(CMessageData& item, const CCalZones& fileZones) : data(item), zones(fileZones) {
    // All-day dates lie in the file's zone, else in the zone the entry was
    // given (the start's display zone put before the import), else in the
    // host's zone, where an item made without zones is meant to be seen.
    dayZone = HostZone();
    if (const CTimeZoneInfo* first = zones.First()) {
        dayZone = *first;
        dayZoneFromFile = true;
    } else if (const CPropValue* s = data.props.GetNamed(Appointment(0x8233, ptBinary))) {
        if (auto zone = ZoneFromStruct(std::get<std::string>(*s), data.props.GetString(0))) dayZone = *zone;
        if (const CPropValue* name = data.props.GetNamed(Appointment(0x8234, ptString)))
            dayZone.keyName = dayZone.description = std::get<std::u16string>(*name);
    }
    seriesZone = greenwich;
}

CAppointmentImport::CPlaced CAppointmentImport::Place(const CCalTime& t) const {
    CPlaced p;
    p.wall = t.wallMinutes;
    p.second = t.second;
    p.date = t.dateOnly;
    if (t.dateOnly) {
        p.zone = &dayZone;
        p.fromFile = dayZoneFromFile;
    } else if (const CTimeZoneInfo* zone = t.utc ? nullptr : zones.Find(t.tzid)) {
        p.zone = zone;
        p.fromFile = true;
    } else {
        p.zone = &greenwich;  // Z, a zone without rules, or none: Greenwich time
    }
    p.utc = UtcFromLocal(*p.zone, p.wall);
    return p;
}

std::optional<CAppointmentImport::CPlaced> CAppointmentImport::Place(const CContentLine* line) const {
    if (!line) return std::nullopt;
    auto t = ParseCalTime(line->value, line->Param("TZID"));
    if (!t) return std::nullopt;
    return Place(*t);
}

// Without DTEND: the start plus DURATION, or the whole day of an all-day start.
std::optional<CAppointmentImport::CPlaced> CAppointmentImport::EndOf(const CCalComponent& event, const CPlaced& s) const {
    if (auto e = Place(event.Find("DTEND"))) return e;
    std::optional<int32_t> minutes;
    if (const CContentLine* duration = event.Find("DURATION")) minutes = DurationMinutes(duration->value);
    if (!minutes && !s.date) return std::nullopt;
    CPlaced e = s;
    e.wall = s.wall + minutes.value_or(static_cast<int32_t>(minutesPerDay));
    e.utc = s.date ? UtcFromLocal(*s.zone, e.wall) : s.utc + (e.wall - s.wall);
    return e;
}

void CAppointmentImport::SetDisplayZone(uint32_t lid, const CTimeZoneInfo& zone) {
    data.props.SetNamed(Appointment(lid, ptBinary), TimeZoneDefinition(zone));
    if (lid != 0x825E) return;
    data.props.SetNamed(Appointment(0x8233, ptBinary), TimeZoneStruct(zone));
    data.props.SetNamed(Appointment(0x8234, ptString), zone.description);
}

void CAppointmentImport::ApplyBusyStatus(const CCalComponent& event) {
    std::optional<int32_t> busy;
    if (const CContentLine* transp = event.Find("TRANSP")) {
        std::string v = TrimAscii(transp->value);
        if (EqualNoCase(Widen(v), u"TRANSPARENT")) busy = 0;
        if (EqualNoCase(Widen(v), u"OPAQUE")) busy = 2;
    }
    if (const CContentLine* status = event.Find("X-MICROSOFT-CDO-BUSYSTATUS")) {
        static const char16_t* const names[] = {u"FREE", u"TENTATIVE", u"BUSY", u"OOF"};
        for (int32_t i = 0; i < 4; ++i)
            if (EqualNoCase(Widen(TrimAscii(status->value)), names[i])) busy = i;
    }
    if (busy) data.props.SetNamed(Appointment(0x8205, ptInt32), *busy);
}

void CAppointmentImport::ApplyTimes(const CCalComponent& event) {
    CPropertyBag& p = data.props;
    start = Place(event.Find("DTSTART"));
    if (start) {
        seriesZone = *start->zone;
        SetAppointmentStart(p, start->FileTime());
        if (start->date) p.SetNamed(Appointment(0x8215, ptBoolean), true);
        if (start->fromFile) SetDisplayZone(0x825E, *start->zone);
        end = EndOf(event, *start);
    } else {
        end = Place(event.Find("DTEND"));
    }
    if (end) {
        SetAppointmentEnd(p, end->FileTime());
        if (end->fromFile) SetDisplayZone(0x825F, *end->zone);
    }
    ApplyBusyStatus(event);
}

void CAppointmentImport::ApplyIdentity(const CCalComponent& event) {
    CPropertyBag& p = data.props;
    if (const CPropValue* put = p.GetNamed(Meeting(0x0023, ptBinary))) {
        globalId = std::get<std::string>(*put);
        return;
    }
    const CContentLine* uid = event.Find("UID");
    if (!uid || TrimAscii(uid->value).empty()) return;
    globalId = GlobalObjectIdOfUid(TrimAscii(uid->value));
    p.SetNamed(Meeting(0x0003, ptBinary), globalId);
    p.SetNamed(Meeting(0x0023, ptBinary), globalId);
}

}  // namespace store

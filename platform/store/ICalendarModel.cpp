#include "platform/store/ICalendarModel.h"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <sstream>

#include "platform/store/CivilTime.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/RecurrenceRule.h"
#include "platform/store/StoreText.h"

namespace store {

const CContentLine* CCalComponent::Find(const std::string& lineName) const {
    for (const auto& line : lines)
        if (line.name == lineName) return &line;
    return nullptr;
}

std::vector<const CContentLine*> CCalComponent::FindAll(const std::string& lineName) const {
    std::vector<const CContentLine*> found;
    for (const auto& line : lines)
        if (line.name == lineName) found.push_back(&line);
    return found;
}

namespace {

std::string UpperValue(const CContentLine& line) {
    std::string value = TrimAscii(line.value);
    for (char& c : value) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return value;
}

}  // namespace

CCalComponent ParseCalendar(std::string_view bytes) {
    std::vector<CContentLine> lines = ParseContentLines(bytes);
    if (lines.empty() || lines.front().name != "BEGIN" || UpperValue(lines.front()) != "VCALENDAR")
        ThrowDispatch(hrFail, "not an iCalendar file");
    CCalComponent calendar;
    calendar.name = "VCALENDAR";
    std::vector<CCalComponent*> open{&calendar};
    for (size_t i = 1; i < lines.size() && !open.empty(); ++i) {
        CContentLine& line = lines[i];
        if (line.name == "BEGIN") {
            CCalComponent child;
            child.name = UpperValue(line);
            open.back()->children.push_back(std::move(child));
            open.push_back(&open.back()->children.back());
        } else if (line.name == "END") {
            // An END that closes nothing open is passed over, as is the rest of a component left open.
            std::string name = UpperValue(line);
            for (size_t k = open.size(); k-- > 0;) {
                if (open[k]->name != name) continue;
                open[k]->ended = true;
                open.resize(k);
                break;
            }
        } else {
            open.back()->lines.push_back(std::move(line));
        }
    }
    return calendar;
}

std::optional<CCalTime> ParseCalTime(const std::string& value, const std::string& tzid) {
    std::string t = TrimAscii(value);
    CCalTime out;
    out.tzid = tzid;
    if (!t.empty() && (t.back() == 'Z' || t.back() == 'z')) {
        out.utc = true;
        t.pop_back();
    }
    auto digits = [&](size_t pos, size_t n, int& v) {
        if (pos + n > t.size()) return false;
        v = 0;
        for (size_t k = pos; k < pos + n; ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            v = v * 10 + (t[k] - '0');
        }
        return true;
    };
    int year, month, day, hour = 0, minute = 0, second = 0;
    if (!digits(0, 4, year) || !digits(4, 2, month) || !digits(6, 2, day) || !ValidDate(year, month, day))
        return std::nullopt;
    if (t.size() == 8) {
        out.dateOnly = !out.utc;
        if (out.utc) return std::nullopt;
    } else if (t.size() != 15 || (t[8] != 'T' && t[8] != 't') || !digits(9, 2, hour) || !digits(11, 2, minute) ||
               !digits(13, 2, second) || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    out.wallMinutes = DaysFromCivil(year, month, day) * minutesPerDay + hour * 60 + minute;
    out.second = second;
    return out;
}

std::vector<CCalTime> ParseCalTimes(const CContentLine& line) {
    std::vector<CCalTime> times;
    std::istringstream in(line.value);
    std::string piece;
    while (std::getline(in, piece, ',')) {
        size_t slash = piece.find('/');
        if (slash != std::string::npos) piece.resize(slash);
        if (auto t = ParseCalTime(piece, line.Param("TZID"))) times.push_back(*t);
    }
    return times;
}

namespace {

// "+0100", "-0500", "+053000": minutes east of Greenwich.
std::optional<int32_t> ReadOffset(const CContentLine* line) {
    if (!line) return std::nullopt;
    std::string t = TrimAscii(line->value);
    if (t.size() < 5 || (t[0] != '+' && t[0] != '-')) return std::nullopt;
    for (size_t i = 1; i < t.size(); ++i)
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
    int32_t minutes = ((t[1] - '0') * 10 + (t[2] - '0')) * 60 + (t[3] - '0') * 10 + (t[4] - '0');
    return t[0] == '-' ? -minutes : minutes;
}

struct CObservance {
    int64_t start = 0;  // wall clock of the first change
    int32_t offsetTo = 0;
    std::optional<CRecurrenceRule> rule;
};

// The latest STANDARD or DAYLIGHT observance of a zone.
std::optional<CObservance> LatestObservance(const CCalComponent& zone, const std::string& kind) {
    std::optional<CObservance> latest;
    for (const auto& child : zone.children) {
        if (child.name != kind) continue;
        const CContentLine* start = child.Find("DTSTART");
        auto offset = ReadOffset(child.Find("TZOFFSETTO"));
        auto time = start ? ParseCalTime(start->value) : std::nullopt;
        if (!offset) continue;
        CObservance o;
        o.start = time ? time->wallMinutes : 0;
        o.offsetTo = *offset;
        if (const CContentLine* rrule = child.Find("RRULE")) o.rule = ParseRecurrenceRule(rrule->value);
        if (!latest || o.start >= latest->start) latest = o;
    }
    return latest;
}

// The yearly change of an observance: its rule's month and n-th weekday, else its first date.
CZoneDate ChangeDate(const CObservance& o) {
    int64_t day = o.start / minutesPerDay;
    CCivilDate first = CivilFromDays(day);
    CZoneDate d;
    d.hour = static_cast<uint16_t>((o.start % minutesPerDay) / 60);
    d.minute = static_cast<uint16_t>(o.start % 60);
    d.month = static_cast<uint16_t>(first.month);
    d.dayOfWeek = static_cast<uint16_t>(Weekday(day));
    d.week = static_cast<uint16_t>(first.day + 7 > DaysInMonth(first.year, first.month) ? 5 : (first.day - 1) / 7 + 1);
    if (!o.rule) return d;
    const CRecurrenceRule& r = *o.rule;
    if (r.byMonth.size() == 1) d.month = static_cast<uint16_t>(r.byMonth[0]);
    if (r.byDay.size() == 1) {
        d.dayOfWeek = static_cast<uint16_t>(r.byDay[0].weekday);
        int n = r.byDay[0].ordinal;
        if (n >= 1 && n <= 4) d.week = static_cast<uint16_t>(n);
        else if (n < 0) d.week = 5;
        else if (!r.byMonthDay.empty() && r.byMonthDay[0] > 0) d.week = static_cast<uint16_t>((r.byMonthDay[0] - 1) / 7 + 1);
    }
    return d;
}

std::u16string WindowsName(const std::string& tzid) {
    std::u16string name = FromUtf8(tzid);
    if (tzid.find('/') == std::string::npos) return name;
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString windows;
    icu::TimeZone::getWindowsID(icu::UnicodeString::fromUTF8(tzid), windows, status);
    if (U_FAILURE(status) || windows.isEmpty()) return name;
    return std::u16string(windows.getBuffer(), static_cast<size_t>(windows.length()));
}

}  // namespace

std::optional<CTimeZoneInfo> ZoneOfVTimeZone(const CCalComponent& vtimezone) {
    const CContentLine* tzid = vtimezone.Find("TZID");
    auto standard = LatestObservance(vtimezone, "STANDARD");
    auto daylight = LatestObservance(vtimezone, "DAYLIGHT");
    if (!tzid || (!standard && !daylight)) return std::nullopt;
    CTimeZoneInfo zone;
    zone.keyName = zone.description = WindowsName(TrimAscii(tzid->value));
    if (!standard || !daylight || !standard->rule || !daylight->rule) {
        zone.bias = -(standard ? standard->offsetTo : daylight->offsetTo);
        return zone;
    }
    zone.bias = -standard->offsetTo;
    zone.daylightBias = -(daylight->offsetTo - standard->offsetTo);
    zone.standardDate = ChangeDate(*standard);
    zone.daylightDate = ChangeDate(*daylight);
    return zone;
}

CCalZones::CCalZones(const CCalComponent& calendar) {
    for (const auto& child : calendar.children) {
        if (child.name != "VTIMEZONE") continue;
        const CContentLine* tzid = child.Find("TZID");
        if (auto zone = ZoneOfVTimeZone(child)) zones.emplace_back(TrimAscii(tzid->value), *zone);
    }
}

const CTimeZoneInfo* CCalZones::Find(const std::string& tzid) const {
    std::string wanted = TrimAscii(tzid);
    for (const auto& [name, zone] : zones)
        if (name == wanted) return &zone;
    return nullptr;
}

}  // namespace store

#include "worker/writers/CalendarZone.h"

#include <unicode/simpletz.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/sys/Text.h"
#include "worker/writers/CalendarDays.h"

namespace {

constexpr int daylightStartHour = 2;  // standard time
constexpr int daylightEndHour = 3;    // daylight time
constexpr int daylightMinutes = 60;

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return "";
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// Hours west of Greenwich, as a fraction (-5.5), as hours and minutes
// (-530) or as minutes and hours (-3005, the form Notes gives zones off the
// full hour), to minutes east.
std::optional<int> MinutesEast(const std::string& text) {
    const std::string t = Trimmed(text);
    double hours = 0;
    const char* first = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, t.data() + t.size(), hours);
    if (t.empty() || error != std::errc() || end != t.data() + t.size()) return std::nullopt;
    if (std::fabs(hours) >= 100) {
        const int whole = static_cast<int>(std::fabs(hours));
        const bool minutesFirst = whole % 100 <= 14 && whole / 100 % 15 == 0 && whole / 100 < 60;
        const double value = minutesFirst ? whole % 100 + whole / 100 / 60.0 : whole / 100 + (whole % 100) / 60.0;
        hours = value * (hours < 0 ? -1 : 1);
    }
    if (std::fabs(hours) > 14) return std::nullopt;
    return -static_cast<int>(std::lround(hours * 60));
}

std::string OffsetText(int minutesEast) {
    char text[24];
    std::snprintf(text, sizeof text, "%c%02d%02d", minutesEast < 0 ? '-' : '+', std::abs(minutesEast) / 60,
                  std::abs(minutesEast) % 60);
    return text;
}

// A name fit for a TZID parameter between double quotes.
std::string TzidOfName(const std::string& name) {
    std::string clean;
    for (char c : name) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != ';' && c != ':' && c != ',') clean += c;
    }
    clean = Trimmed(clean);
    if (clean.empty()) return clean;
    const std::string suffix = " Time";
    const bool endsInTime = clean.size() >= suffix.size() && clean.compare(clean.size() - suffix.size(), suffix.size(), suffix) == 0;
    return endsInTime ? clean : clean + " Standard Time";
}

const char* const weekdayCodes[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

}  // namespace

CCalendarZone::CCalendarZone() { MakeIcuZone(); }

std::optional<CCalendarZone::CChange> CCalendarZone::ReadChange(int month, int week, int weekday) {
    if (month < 1 || month > 12 || weekday < 1 || weekday > 7) return std::nullopt;
    if (week == 5) week = -1;
    if (week != -1 && (week < 1 || week > 4)) return std::nullopt;
    return CChange{month, week, weekday};
}

std::optional<CCalendarZone> CCalendarZone::FromNotesText(std::u16string_view text) {
    std::optional<int> minutes;
    bool observed = false;
    std::string rule, name;
    std::istringstream fields(sys::Utf16ToUtf8(text));
    for (std::string field; std::getline(fields, field, '$');) {
        const size_t eq = field.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trimmed(field.substr(0, eq)), value = field.substr(eq + 1);
        if (key == "Z") minutes = MinutesEast(value);
        else if (key == "DO") observed = Trimmed(value) == "1";
        else if (key == "DL") rule = value;
        else if (key == "ZN") name = value;
    }
    if (!minutes) return std::nullopt;
    CCalendarZone zone;
    zone.standardMinutesEast = *minutes;
    int v[6];
    std::istringstream numbers(rule);
    if (observed && numbers >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5]) {
        const auto start = ReadChange(v[0], v[1], v[2]), end = ReadChange(v[3], v[4], v[5]);
        if (start && end && start->month != end->month) {
            zone.daylight = true;
            zone.daylightStart = *start;
            zone.daylightEnd = *end;
        }
    }
    zone.tzid = TzidOfName(name);
    if (zone.tzid.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "UTC%c%02d:%02d", *minutes < 0 ? '-' : '+', std::abs(*minutes) / 60,
                      std::abs(*minutes) % 60);
        zone.tzid = text;
    }
    zone.MakeIcuZone();
    return zone;
}

void CCalendarZone::MakeIcuZone() {
    const int32_t raw = standardMinutesEast * 60000;
    const icu::UnicodeString id = icu::UnicodeString::fromUTF8(tzid);
    if (!daylight) {
        zone = std::make_shared<icu::SimpleTimeZone>(raw, id);
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    auto withDaylight = std::make_shared<icu::SimpleTimeZone>(
        raw, id, static_cast<int8_t>(daylightStart.month - 1), static_cast<int8_t>(daylightStart.week),
        static_cast<int8_t>(daylightStart.weekday), daylightStartHour * 3600000,
        static_cast<int8_t>(daylightEnd.month - 1), static_cast<int8_t>(daylightEnd.week),
        static_cast<int8_t>(daylightEnd.weekday), daylightEndHour * 3600000, daylightMinutes * 60000, status);
    if (U_SUCCESS(status)) {
        zone = std::move(withDaylight);
    } else {
        daylight = false;
        zone = std::make_shared<icu::SimpleTimeZone>(raw, id);
    }
}

int64_t CCalendarZone::WallClock(int64_t utcSeconds) const {
    int32_t raw = 0, dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(static_cast<UDate>(utcSeconds) * 1000.0, false, raw, dst, status);
    if (U_FAILURE(status)) return utcSeconds + int64_t{standardMinutesEast} * 60;
    return utcSeconds + (int64_t{raw} + dst) / 1000;
}

std::vector<std::string> CCalendarZone::Observance(const char* kind, const CChange& change, int hour,
                                                    int fromMinutes, int toMinutes) const {
    using namespace calendar_days;
    const int64_t onset = *NthWeekday(1601, change.month, change.weekday - 1, change.week);
    const std::string week = change.week == -1 ? "-1" : std::to_string(change.week);
    return {std::string("BEGIN:") + kind,
            "DTSTART:" + DateTimeText(onset * secondsPerDay + hour * 3600),
            "TZOFFSETFROM:" + OffsetText(fromMinutes),
            "TZOFFSETTO:" + OffsetText(toMinutes),
            "RRULE:FREQ=YEARLY;BYMONTH=" + std::to_string(change.month) + ";BYDAY=" + week +
                weekdayCodes[change.weekday - 1],
            std::string("END:") + kind};
}

std::vector<std::string> CCalendarZone::VTimezoneLines() const {
    std::vector<std::string> lines{"BEGIN:VTIMEZONE", "TZID:" + tzid};
    const int standard = standardMinutesEast, summer = standardMinutesEast + daylightMinutes;
    if (!daylight) {
        const std::string offset = OffsetText(standard);
        lines.insert(lines.end(), {"BEGIN:STANDARD", "DTSTART:16010101T000000", "TZOFFSETFROM:" + offset,
                                   "TZOFFSETTO:" + offset, "END:STANDARD"});
    } else {
        for (auto& line : Observance("STANDARD", daylightEnd, daylightEndHour, summer, standard)) lines.push_back(line);
        for (auto& line : Observance("DAYLIGHT", daylightStart, daylightStartHour, standard, summer))
            lines.push_back(line);
    }
    lines.push_back("END:VTIMEZONE");
    return lines;
}

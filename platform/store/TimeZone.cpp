#include "platform/store/TimeZone.h"

#include <unicode/basictz.h>
#include <unicode/calendar.h>
#include <unicode/tzrule.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <cmath>
#include <optional>
#include <sstream>

#include "platform/store/CivilTime.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

std::optional<double> ReadNumber(const std::string& text) {
    std::string t = TrimAscii(text);
    if (t.empty() || t.size() > 12) return std::nullopt;
    // from_chars reads the same whatever the process locale says about decimal points.
    double v = 0;
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(first, t.data() + t.size(), v);
    if (error != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Notes weeks are 1..4 and -1 for the last; days 1..7 from Sunday.
std::optional<CZoneDate> RuleDate(int month, int week, int day, uint16_t hour) {
    if (month < 1 || month > 12 || day < 1 || day > 7) return std::nullopt;
    if (week != -1 && (week < 1 || week > 5)) return std::nullopt;
    CZoneDate d;
    d.month = static_cast<uint16_t>(month);
    d.week = static_cast<uint16_t>(week == -1 ? 5 : week);
    d.dayOfWeek = static_cast<uint16_t>(day - 1);
    d.hour = hour;
    return d;
}

bool ReadDaylightRule(const std::string& text, CTimeZoneInfo& zone) {
    std::istringstream in(text);
    int v[6];
    for (int& x : v)
        if (!(in >> x)) return false;
    auto start = RuleDate(v[0], v[1], v[2], 2);
    auto end = RuleDate(v[3], v[4], v[5], 3);
    if (!start || !end) return false;
    zone.daylightDate = *start;
    zone.standardDate = *end;
    zone.daylightBias = -60;
    return true;
}

// The offset "Z=" in hours west of Greenwich, also as a fraction (-5.5) or
// as hours and minutes (-530).
std::optional<int32_t> ReadBias(const std::string& text) {
    auto v = ReadNumber(text);
    if (!v || std::fabs(*v) > 1400) return std::nullopt;
    double hours = *v;
    if (std::fabs(hours) >= 100) {
        int whole = static_cast<int>(std::fabs(hours));
        hours = (whole / 100 + (whole % 100) / 60.0) * (hours < 0 ? -1 : 1);
    }
    if (std::fabs(hours) > 14) return std::nullopt;
    return static_cast<int32_t>(std::lround(hours * 60));
}

}  // namespace

CTimeZoneInfo ParseNotesZone(std::u16string_view text) {
    CTimeZoneInfo greenwich;
    std::string ascii = ToUtf8(text);
    std::optional<int32_t> bias;
    bool daylight = false;
    std::string rule, name;
    std::istringstream fields(ascii);
    std::string field;
    while (std::getline(fields, field, '$')) {
        size_t eq = field.find('=');
        if (eq == std::string::npos) continue;
        std::string key = TrimAscii(field.substr(0, eq)), value = field.substr(eq + 1);
        if (key == "Z") bias = ReadBias(value);
        else if (key == "DO") daylight = TrimAscii(value) == "1";
        else if (key == "DL") rule = value;
        else if (key == "ZN") name = TrimAscii(value);
    }
    if (!bias) return greenwich;
    CTimeZoneInfo zone;
    zone.bias = *bias;
    if (daylight && !ReadDaylightRule(rule, zone)) {
        zone.daylightDate = {};
        zone.standardDate = {};
    }
    if (!name.empty()) {
        std::u16string wide = FromUtf8(name);
        bool hasTime = wide.size() >= 5 && wide.compare(wide.size() - 5, 5, u" Time") == 0;
        zone.keyName = hasTime ? wide : wide + u" Standard Time";
        zone.description = zone.keyName;
    } else if (*bias == 0 && zone.daylightDate.month == 0) {
        return greenwich;
    } else {
        char buf[48];
        snprintf(buf, sizeof buf, "UTC%+03d:%02d", -*bias / 60, std::abs(*bias) % 60);
        zone.keyName = Widen(buf);
        zone.description = zone.keyName;
    }
    return zone;
}

namespace {

void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
void PutSystemTime(std::string& out, const CZoneDate& d) {
    Put16(out, 0);  // year: every year
    Put16(out, d.month);
    Put16(out, d.dayOfWeek);
    Put16(out, d.week);
    Put16(out, d.hour);
    Put16(out, d.minute);
    Put16(out, 0);
    Put16(out, 0);
}

}  // namespace

std::string TimeZoneDefinition(const CTimeZoneInfo& zone, bool forRecurrence) {
    std::string out;
    out.push_back(2);
    out.push_back(1);
    Put16(out, static_cast<uint16_t>(6 + 2 * zone.keyName.size()));
    Put16(out, 0x0002);  // the key name is valid
    Put16(out, static_cast<uint16_t>(zone.keyName.size()));
    for (char16_t c : zone.keyName) Put16(out, c);
    Put16(out, 1);  // one rule
    out.push_back(2);
    out.push_back(1);
    Put16(out, 0x003E);
    Put16(out, forRecurrence ? 0x0003 : 0x0002);  // the effective rule (and the series' rule)
    Put16(out, 1601);
    out.append(14, '\0');
    Put32(out, zone.bias);
    Put32(out, zone.standardBias);
    Put32(out, zone.daylightBias);
    PutSystemTime(out, zone.standardDate);
    PutSystemTime(out, zone.daylightDate);
    return out;
}

std::string TimeZoneStruct(const CTimeZoneInfo& zone) {
    std::string out;
    Put32(out, zone.bias);
    Put32(out, zone.standardBias);
    Put32(out, zone.daylightBias);
    Put16(out, 0);
    PutSystemTime(out, zone.standardDate);
    Put16(out, 0);
    PutSystemTime(out, zone.daylightDate);
    return out;
}

namespace {

uint16_t Get16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}
int32_t Get32(std::string_view b, size_t at) {
    return static_cast<int32_t>(uint32_t(Get16(b, at)) | (uint32_t(Get16(b, at + 2)) << 16));
}
CZoneDate GetSystemTime(std::string_view b, size_t at) {
    CZoneDate d;
    d.month = Get16(b, at + 2);
    d.dayOfWeek = Get16(b, at + 4);
    d.week = Get16(b, at + 6);
    d.hour = Get16(b, at + 8);
    d.minute = Get16(b, at + 10);
    return d;
}

// The day of a yearly rule in a year: the week-th such weekday of the month, 5 = the last.
int64_t TransitionDay(const CZoneDate& d, int year) {
    int64_t first = DaysFromCivil(year, d.month, 1);
    int64_t day = first + (d.dayOfWeek - Weekday(first) + 7) % 7 + 7 * (std::max<int>(d.week, 1) - 1);
    int64_t last = first + DaysInMonth(year, d.month) - 1;
    while (day > last) day -= 7;
    return day;
}

int64_t TransitionMinutes(const CZoneDate& d, int year) {
    return TransitionDay(d, year) * minutesPerDay + d.hour * 60 + d.minute;
}

// Daylight time at a wall-clock time given in the clock that runs before each
// change (standard time before the change to daylight time, daylight time
// before the change back).
bool DaylightAtLocal(const CTimeZoneInfo& zone, int64_t local) {
    int year = CivilFromDays(local / minutesPerDay).year;
    int64_t toDaylight = TransitionMinutes(zone.daylightDate, year);
    int64_t toStandard = TransitionMinutes(zone.standardDate, year);
    if (toDaylight < toStandard) return local >= toDaylight && local < toStandard;
    return local >= toDaylight || local < toStandard;  // the southern hemisphere
}

}  // namespace

bool ObservesDaylight(const CTimeZoneInfo& zone) {
    return zone.daylightDate.month >= 1 && zone.daylightDate.month <= 12 && zone.standardDate.month >= 1 &&
           zone.standardDate.month <= 12 && zone.daylightBias != zone.standardBias;
}

int64_t LocalFromUtc(const CTimeZoneInfo& zone, int64_t utcMinutes) {
    int64_t standard = utcMinutes - zone.bias - zone.standardBias;
    if (!ObservesDaylight(zone)) return standard;
    int64_t daylight = utcMinutes - zone.bias - zone.daylightBias;
    int year = CivilFromDays(standard / minutesPerDay).year;
    int64_t toDaylightUtc = TransitionMinutes(zone.daylightDate, year) + zone.bias + zone.standardBias;
    int64_t toStandardUtc = TransitionMinutes(zone.standardDate, year) + zone.bias + zone.daylightBias;
    bool inDaylight = toDaylightUtc < toStandardUtc ? utcMinutes >= toDaylightUtc && utcMinutes < toStandardUtc
                                                    : utcMinutes >= toDaylightUtc || utcMinutes < toStandardUtc;
    return inDaylight ? daylight : standard;
}

int64_t UtcFromLocal(const CTimeZoneInfo& zone, int64_t localMinutes) {
    bool daylight = ObservesDaylight(zone) && DaylightAtLocal(zone, localMinutes);
    return localMinutes + zone.bias + (daylight ? zone.daylightBias : zone.standardBias);
}

namespace {

// The yearly change of an ICU rule as the wall-clock rule of the clock
// running before it; nothing for rules on fixed dates.
std::optional<CZoneDate> ZoneDateOf(const icu::AnnualTimeZoneRule& rule, int32_t rawBefore, int32_t savingsBefore) {
    const icu::DateTimeRule* r = rule.getRule();
    CZoneDate d;
    d.month = static_cast<uint16_t>(r->getRuleMonth() + 1);
    d.dayOfWeek = static_cast<uint16_t>(r->getRuleDayOfWeek() - 1);
    switch (r->getDateRuleType()) {
    case icu::DateTimeRule::DOW: {
        int week = r->getRuleWeekInMonth();
        d.week = static_cast<uint16_t>(week < 0 || week > 4 ? 5 : week);
        break;
    }
    case icu::DateTimeRule::DOW_GEQ_DOM: d.week = static_cast<uint16_t>((r->getRuleDayOfMonth() - 1) / 7 + 1); break;
    case icu::DateTimeRule::DOW_LEQ_DOM:
        d.week = static_cast<uint16_t>(r->getRuleDayOfMonth() >= 28 ? 5 : (r->getRuleDayOfMonth() - 7) / 7 + 1);
        break;
    default: return std::nullopt;
    }
    int64_t minutes = r->getRuleMillisInDay() / 60000;
    if (r->getTimeRuleType() == icu::DateTimeRule::UTC_TIME) minutes += (rawBefore + savingsBefore) / 60000;
    if (r->getTimeRuleType() == icu::DateTimeRule::STANDARD_TIME) minutes += savingsBefore / 60000;
    minutes = ((minutes % minutesPerDay) + minutesPerDay) % minutesPerDay;
    d.hour = static_cast<uint16_t>(minutes / 60);
    d.minute = static_cast<uint16_t>(minutes % 60);
    return d;
}

}  // namespace

namespace {

CTimeZoneInfo ReadHostZone() {
    CTimeZoneInfo zone;
    std::unique_ptr<icu::TimeZone> host(icu::TimeZone::createDefault());
    auto* basic = dynamic_cast<icu::BasicTimeZone*>(host.get());
    if (!basic) return zone;
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString id, windows;
    icu::TimeZone::getWindowsID(basic->getID(id), windows, status);
    if (U_SUCCESS(status) && !windows.isEmpty()) zone.keyName = zone.description = std::u16string(windows.getBuffer(), windows.length());
    icu::InitialTimeZoneRule* initial = nullptr;
    icu::AnnualTimeZoneRule *standard = nullptr, *daylight = nullptr;
    status = U_ZERO_ERROR;
    basic->getSimpleRulesNear(icu::Calendar::getNow(), initial, standard, daylight, status);
    std::unique_ptr<icu::TimeZoneRule> ownInitial(initial), ownStandard(standard), ownDaylight(daylight);
    if (U_FAILURE(status) || !initial) return zone;
    zone.bias = -initial->getRawOffset() / 60000;
    if (!standard || !daylight) {
        zone.bias = -(initial->getRawOffset() + initial->getDSTSavings()) / 60000;
        return zone;
    }
    int32_t raw = standard->getRawOffset(), savings = daylight->getDSTSavings();
    auto toDaylight = ZoneDateOf(*daylight, raw, 0), toStandard = ZoneDateOf(*standard, raw, savings);
    zone.bias = -raw / 60000;
    if (!toDaylight || !toStandard) return zone;
    zone.daylightBias = -savings / 60000;
    zone.daylightDate = *toDaylight;
    zone.standardDate = *toStandard;
    return zone;
}

}  // namespace

// The host's zone does not change while the process runs: read once.
const CTimeZoneInfo& HostZone() {
    static const CTimeZoneInfo zone = ReadHostZone();
    return zone;
}

std::optional<CTimeZoneInfo> ZoneFromStruct(std::string_view bytes, std::u16string keyName) {
    if (bytes.size() != 48) return std::nullopt;
    CTimeZoneInfo zone;
    zone.bias = Get32(bytes, 0);
    zone.standardBias = Get32(bytes, 4);
    zone.daylightBias = Get32(bytes, 8);
    zone.standardDate = GetSystemTime(bytes, 14);
    zone.daylightDate = GetSystemTime(bytes, 32);
    if (!keyName.empty()) zone.keyName = zone.description = std::move(keyName);
    return zone;
}

CVariant CTimeZoneObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>&) {
    // Name (0x60020003 in the library's numbering; 0 as the default member).
    if (kind == EInvokeKind::PropertyGet && (dispid == 0 || dispid == 0x60020003)) return CVariant(zone.keyName);
    ThrowUnknownMember("time zone", dispid, kind);
}

}  // namespace store

#include "platform/store/TimeZone.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <sstream>

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
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
}

}  // namespace

std::string TimeZoneDefinition(const CTimeZoneInfo& zone) {
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
    Put16(out, 0x0002);  // the effective rule
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

CVariant CTimeZoneObject::Invoke(int32_t dispid, EInvokeKind kind, const std::vector<CVariant>&) {
    // Name (0x60020003 in the library's numbering; 0 as the default member).
    if (kind == EInvokeKind::PropertyGet && (dispid == 0 || dispid == 0x60020003)) return CVariant(zone.keyName);
    ThrowUnknownMember("time zone", dispid, kind);
}

}  // namespace store

#include "platform/notes/TimeDate.h"

#include <cstdio>
#include <algorithm>
#include <regex>

namespace notes {

namespace {
constexpr DWORD kDstBit = 0x80000000u;
constexpr DWORD kEastBit = 0x40000000u;
constexpr long kHundredthsPerDay = 8640000L;

int ZoneOffsetMinutes(DWORD word1) {
    int hours = static_cast<int>((word1 >> 24) & 0x0F);
    int quarters = static_cast<int>((word1 >> 28) & 0x03);
    int minutes = hours * 60 + quarters * 15;
    return (word1 & kEastBit) ? minutes : -minutes;
}

DWORD ZoneBits(int zoneMinutesEast, bool dst) {
    int m = zoneMinutesEast < 0 ? -zoneMinutesEast : zoneMinutesEast;
    DWORD bits = (static_cast<DWORD>(m / 60) & 0x0F) << 24;
    bits |= (static_cast<DWORD>((m % 60) / 15) & 0x03) << 28;
    if (zoneMinutesEast > 0) bits |= kEastBit;
    if (dst) bits |= kDstBit;
    return bits;
}

bool ValidDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    int y2, m2, d2;
    FromJulianDay(JulianDay(y, m, d), &y2, &m2, &d2);
    return y2 == y && m2 == m && d2 == d;
}
}  // namespace

long JulianDay(int year, int month, int day) {
    long a = (14 - month) / 12;
    long y = year + 4800 - a;
    long m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void FromJulianDay(long jd, int* year, int* month, int* day) {
    long a = jd + 32044;
    long b = (4 * a + 3) / 146097;
    long c = a - 146097 * b / 4;
    long d = (4 * c + 3) / 1461;
    long e = c - 1461 * d / 4;
    long m = (5 * e + 2) / 153;
    *day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    *month = static_cast<int>(m + 3 - 12 * (m / 10));
    *year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

bool IsNullTime(const TIMEDATE& td) { return td.Innards[0] == 0 && td.Innards[1] == 0; }

std::optional<TIMEDATE> EncodeTime(const CTimeParts& p) {
    TIMEDATE td{};
    if (!p.hasDate && !p.hasTime) return std::nullopt;
    if (p.hasDate && !ValidDate(p.year, p.month, p.day)) return std::nullopt;
    if (p.hasTime && (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
                      p.second > 59 || p.hundredth < 0 || p.hundredth > 99))
        return std::nullopt;
    if (p.zoneMinutesEast % 15 != 0 || p.zoneMinutesEast < -15 * 60 || p.zoneMinutesEast > 15 * 60)
        return std::nullopt;
    long local = ((p.hour * 60L + p.minute) * 60 + p.second) * 100 + p.hundredth;
    if (!p.hasTime) {
        td.Innards[0] = ALLDAY;
        td.Innards[1] = static_cast<DWORD>(JulianDay(p.year, p.month, p.day));
        return td;
    }
    if (!p.hasDate) {
        td.Innards[0] = static_cast<DWORD>(local);
        td.Innards[1] = ANYDAY;
        return td;
    }
    long offset = (p.zoneMinutesEast + (p.dst ? 60 : 0)) * 6000L;
    long jd = JulianDay(p.year, p.month, p.day);
    long gmt = local - offset;
    while (gmt < 0) { gmt += kHundredthsPerDay; --jd; }
    while (gmt >= kHundredthsPerDay) { gmt -= kHundredthsPerDay; ++jd; }
    td.Innards[0] = static_cast<DWORD>(gmt);
    td.Innards[1] = static_cast<DWORD>(jd) | ZoneBits(p.zoneMinutesEast, p.dst);
    return td;
}

CTimeParts DecodeTime(const TIMEDATE& td) {
    CTimeParts p;
    if (IsNullTime(td)) return p;
    p.hasDate = td.Innards[1] != ANYDAY;
    p.hasTime = td.Innards[0] != ALLDAY;
    long jd = 0;
    long t = p.hasTime ? static_cast<long>(td.Innards[0]) : 0;
    if (p.hasDate) {
        jd = td.Innards[1] & 0x00FFFFFF;
        if (p.hasTime) {
            p.zoneMinutesEast = ZoneOffsetMinutes(td.Innards[1]);
            p.dst = (td.Innards[1] & kDstBit) != 0;
            t += (p.zoneMinutesEast + (p.dst ? 60 : 0)) * 6000L;
            while (t < 0) { t += kHundredthsPerDay; --jd; }
            while (t >= kHundredthsPerDay) { t -= kHundredthsPerDay; ++jd; }
        }
        FromJulianDay(jd, &p.year, &p.month, &p.day);
    }
    if (p.hasTime) {
        p.hundredth = static_cast<int>(t % 100);
        p.second = static_cast<int>(t / 100 % 60);
        p.minute = static_cast<int>(t / 6000 % 60);
        p.hour = static_cast<int>(t / 360000);
    }
    return p;
}

TIMEDATE WithZone(const TIMEDATE& td, int zoneMinutesEast, bool dst) {
    if (IsNullTime(td) || td.Innards[0] == ALLDAY || td.Innards[1] == ANYDAY) return td;
    TIMEDATE out = td;
    out.Innards[1] = (td.Innards[1] & 0x00FFFFFF) | ZoneBits(zoneMinutesEast, dst);
    return out;
}

std::string NotesTimeText(const TIMEDATE& td) {
    CTimeParts p = DecodeTime(td);
    char buf[64];
    if (p.hasDate && p.hasTime)
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", p.month, p.day, p.year, p.hour, p.minute,
                      p.second);
    else if (p.hasDate)
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", p.month, p.day, p.year);
    else if (p.hasTime)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    else
        buf[0] = 0;
    return buf;
}

std::optional<TIMEDATE> ParseIsoTime(const std::string& text, bool dst) {
    static const std::regex full(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:\.(\d{1,2})\d*)?)?(Z|[+-]\d{2}:?\d{2})?)?$)");
    static const std::regex timeOnly(R"(^T?(\d{2}):(\d{2})(?::(\d{2})(?:\.(\d{1,2}))?)?$)");
    std::smatch m;
    CTimeParts p;
    auto hundredths = [](const std::string& s) { return s.empty() ? 0 : (s.size() == 1 ? (s[0] - '0') * 10 : std::stoi(s)); };
    if (std::regex_match(text, m, full)) {
        p.hasDate = true;
        p.year = std::stoi(m[1]);
        p.month = std::stoi(m[2]);
        p.day = std::stoi(m[3]);
        if (m[4].matched) {
            p.hasTime = true;
            p.hour = std::stoi(m[4]);
            p.minute = std::stoi(m[5]);
            p.second = m[6].matched ? std::stoi(m[6]) : 0;
            p.hundredth = hundredths(m[7]);
            int offset = 0;
            std::string z = m[8];
            if (!z.empty() && z != "Z") {
                std::string digits = z.substr(1);
                digits.erase(std::remove(digits.begin(), digits.end(), ':'), digits.end());
                offset = std::stoi(digits.substr(0, 2)) * 60 + std::stoi(digits.substr(2));
                if (z[0] == '-') offset = -offset;
            }
            p.dst = dst;
            p.zoneMinutesEast = offset - (dst ? 60 : 0);
        }
        return EncodeTime(p);
    }
    if (std::regex_match(text, m, timeOnly)) {
        p.hasTime = true;
        p.hour = std::stoi(m[1]);
        p.minute = std::stoi(m[2]);
        p.second = m[3].matched ? std::stoi(m[3]) : 0;
        p.hundredth = hundredths(m[4]);
        return EncodeTime(p);
    }
    return std::nullopt;
}

std::string IsoTimeText(const TIMEDATE& td) {
    CTimeParts p = DecodeTime(td);
    char buf[64];
    std::string out;
    if (p.hasDate) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
        out = buf;
    }
    if (p.hasTime) {
        std::snprintf(buf, sizeof buf, "%s%02d:%02d:%02d", p.hasDate ? "T" : "", p.hour, p.minute, p.second);
        out += buf;
        if (p.hundredth) {
            std::snprintf(buf, sizeof buf, ".%02d", p.hundredth);
            out += buf;
        }
        if (p.hasDate) {
            int off = p.zoneMinutesEast + (p.dst ? 60 : 0);
            int a = off < 0 ? -off : off;
            std::snprintf(buf, sizeof buf, "%c%02d:%02d", off < 0 ? '-' : '+', a / 60, a % 60);
            out += buf;
        }
    }
    return out;
}

}  // namespace notes

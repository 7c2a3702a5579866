#include "platform/sys/Time.h"

#include <chrono>
#include <cmath>
#include <string>

namespace sys {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const long long oleEpochDays = DaysFromCivil(1899, 12, 30);

CSystemTime FromTm(const std::tm& tm) {
    CSystemTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.dayOfWeek = tm.tm_wday;
    return t;
}

}  // namespace

CSystemTime ToLocal(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return FromTm(tm);
}

CSystemTime ToUtc(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    return FromTm(tm);
}

CSystemTime LocalNow() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    CSystemTime st = ToLocal(t);
    st.milliseconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return st;
}

std::time_t FromLocal(const CSystemTime& local) {
    std::tm tm{};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

double ToOleDate(const CSystemTime& t) {
    long long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - oleEpochDays;
    double fraction = (t.hour * 3600.0 + t.minute * 60.0 + t.second + t.milliseconds / 1000.0) / 86400.0;
    // Before the epoch the day counts down while the fraction still counts forward.
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

CSystemTime FromOleDate(double oleDate) {
    double dayPart = std::trunc(oleDate);
    double fraction = std::fabs(oleDate - dayPart);
    long long totalMs = std::llround(fraction * 86400000.0);
    long long days = static_cast<long long>(dayPart);
    if (totalMs >= 86400000LL) {
        totalMs -= 86400000LL;
        days += oleDate >= 0 ? 1 : -1;
    }
    CSystemTime t;
    CivilFromDays(days + oleEpochDays, t.year, t.month, t.day);
    t.hour = static_cast<int>(totalMs / 3600000);
    t.minute = static_cast<int>(totalMs / 60000 % 60);
    t.second = static_cast<int>(totalMs / 1000 % 60);
    t.milliseconds = static_cast<int>(totalMs % 1000);
    t.dayOfWeek = static_cast<int>(((days + oleEpochDays) % 7 + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    return t;
}

long LocalUtcOffsetSeconds(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_gmtoff;
}

std::optional<CSystemTime> ParseMonthFirstDate(std::u16string_view text) {
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    };
    auto number = [&](int& out, size_t maxDigits) {
        size_t start = i;
        long value = 0;
        while (i < text.size() && i - start < maxDigits && text[i] >= u'0' && text[i] <= u'9')
            value = value * 10 + (text[i++] - u'0');
        out = static_cast<int>(value);
        return i > start;
    };
    auto expect = [&](char16_t c) {
        if (i < text.size() && text[i] == c) {
            ++i;
            return true;
        }
        return false;
    };
    CSystemTime t;
    skipBlanks();
    if (!number(t.month, 2) || !expect(u'/') || !number(t.day, 2) || !expect(u'/') || !number(t.year, 4))
        return std::nullopt;
    skipBlanks();
    if (i < text.size()) {
        if (!number(t.hour, 2) || !expect(u':') || !number(t.minute, 2)) return std::nullopt;
        if (expect(u':') && !number(t.second, 2)) return std::nullopt;
        skipBlanks();
        if (i + 1 < text.size() && (text[i + 1] == u'M' || text[i + 1] == u'm')) {
            char16_t ap = text[i];
            if (t.hour < 1 || t.hour > 12) return std::nullopt;
            if (ap == u'P' || ap == u'p') t.hour = t.hour % 12 + 12;
            else if (ap == u'A' || ap == u'a') t.hour = t.hour % 12;
            else return std::nullopt;
            i += 2;
        }
        skipBlanks();
        if (i != text.size()) return std::nullopt;
    }
    static const int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > monthDays[t.month - 1] || t.year < 100 ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month == 2 && t.day == 29 && !leap) return std::nullopt;
    long long days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
    t.dayOfWeek = static_cast<int>(((days % 7) + 7 + 4) % 7);
    return t;
}

}  // namespace sys

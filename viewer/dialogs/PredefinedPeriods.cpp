#include "viewer/dialogs/PredefinedPeriods.h"

#include <chrono>
#include <cstdio>

#include "platform/sys/Text.h"

namespace {

using namespace std::chrono;

const std::array<const char16_t*, kPeriodCount> periodNames = {
    u"All Time",          u"Last 1 week Items", u"Last 2 week Items",  u"Last 3 week Items",
    u"Last 3 month Items", u"Last 6 month Items", u"Last 9 month Items", u"Last 1 Year Items",
    u"Last 2 Year Items", u"Last 3 Year Items"};

sys_days DaysOf(const sys::CSystemTime& t) {
    return sys_days{year{t.year} / month{static_cast<unsigned>(t.month)} / day{static_cast<unsigned>(t.day)}};
}

// The same time of day on the day `days` before `t`.
double DaysBefore(const sys::CSystemTime& t, int days) {
    const year_month_day shifted{DaysOf(t) - std::chrono::days{days}};
    sys::CSystemTime result = t;
    result.year = static_cast<int>(shifted.year());
    result.month = static_cast<int>(static_cast<unsigned>(shifted.month()));
    result.day = static_cast<int>(static_cast<unsigned>(shifted.day()));
    result.milliseconds = 0;
    return sys::ToOleDate(result);
}

double Midnight(int y, int m, int d) {
    sys::CSystemTime t;
    t.year = y;
    t.month = m;
    t.day = d;
    return sys::ToOleDate(t);
}

// Midnight of day 1 of month M - back, one year earlier when that month is
// 0 or less.
double FirstOfMonthBefore(const sys::CSystemTime& now, int back) {
    int m = now.month - back;
    int y = now.year;
    if (m <= 0) {
        m += 12;
        y -= 1;
    }
    return Midnight(y, m, 1);
}

DateRange Range(double start, double end) {
    DateRange range;
    range.start = start;
    range.end = end;
    return range;
}

}  // namespace

const std::array<const char16_t*, kPeriodCount>& PeriodNames() { return periodNames; }

std::optional<DateRange> PredefinedRange(int index, const sys::CSystemTime& now) {
    const int d = now.dayOfWeek;
    const double lastMonthEnd = FirstOfMonthBefore(now, 0) - 1;
    const double lastYearEnd = Midnight(now.year - 1, 12, 31);
    switch (index) {
    case 1: return Range(DaysBefore(now, d + 6), DaysBefore(now, d));
    case 2: return Range(DaysBefore(now, d + 13), DaysBefore(now, d));
    case 3: return Range(DaysBefore(now, d + 20), DaysBefore(now, d));
    case 4: return Range(FirstOfMonthBefore(now, 3), lastMonthEnd);
    case 5: return Range(FirstOfMonthBefore(now, 6), lastMonthEnd);
    case 6: return Range(FirstOfMonthBefore(now, 9), lastMonthEnd);
    case 7: return Range(Midnight(now.year - 1, 1, 1), lastYearEnd);
    case 8: return Range(Midnight(now.year - 2, 1, 1), lastYearEnd);
    case 9: return Range(Midnight(now.year - 3, 1, 1), lastYearEnd);
    default: return std::nullopt;
    }
}

std::u16string DayText(const sys::CSystemTime& date) {
    static const char* const weekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                           "Thursday", "Friday", "Saturday"};
    static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    const weekday wd{DaysOf(date)};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %s %02d, %d", weekdays[wd.c_encoding()],
                  months[(date.month >= 1 && date.month <= 12) ? date.month - 1 : 0], date.day, date.year);
    return sys::Widen(text);
}

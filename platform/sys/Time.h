// Local time, OLE Automation dates and the month-first date parser.
// Local time follows TZ.
#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

namespace sys {

struct CSystemTime {
    int year = 0, month = 0, day = 0;        // month 1..12
    int hour = 0, minute = 0, second = 0;
    int milliseconds = 0;
    int dayOfWeek = 0;                       // 0 = Sunday
};

CSystemTime LocalNow();
CSystemTime ToLocal(std::time_t t);
CSystemTime ToUtc(std::time_t t);
// Local broken-down time to time_t (mktime semantics, DST resolved by the zone).
std::time_t FromLocal(const CSystemTime& local);

// OLE Automation date: days since 1899-12-30, time of day as the fraction.
// These convert broken-down wall-clock time, with no zone involved.
double ToOleDate(const CSystemTime& wallClock);
CSystemTime FromOleDate(double oleDate);

// Seconds east of UTC of local time at t (e.g. +3600 in Berlin in winter).
long LocalUtcOffsetSeconds(std::time_t t);

// Reads "M/D/YYYY H:M:S" (leading zeros optional, the time optional, an
// optional AM/PM) and returns the wall-clock fields, or nothing.
std::optional<CSystemTime> ParseMonthFirstDate(std::u16string_view text);

}  // namespace sys

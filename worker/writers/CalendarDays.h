// Day arithmetic of the calendar writer on the proleptic Gregorian
// calendar: days and seconds since 1970-01-01 (Greenwich instants or wall
// clocks alike), weekdays, the n-th weekday of a month, and the iCalendar
// texts of dates and wall-clock times.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace calendar_days {

constexpr int64_t secondsPerDay = 86400;

inline int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

inline int64_t DayOf(int year, int month, int day) {
    using namespace std::chrono;
    return sys_days{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                    std::chrono::day{static_cast<unsigned>(day)}}
        .time_since_epoch()
        .count();
}

inline std::chrono::year_month_day Civil(int64_t day) {
    return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{day}}};
}

inline int YearOf(int64_t day) { return static_cast<int>(Civil(day).year()); }
inline int MonthOf(int64_t day) { return static_cast<int>(static_cast<unsigned>(Civil(day).month())); }
inline int DayOfMonth(int64_t day) { return static_cast<int>(static_cast<unsigned>(Civil(day).day())); }

// 0 = Sunday ... 6 = Saturday.
inline int Weekday(int64_t day) {
    return static_cast<int>(std::chrono::weekday{std::chrono::sys_days{std::chrono::days{day}}}.c_encoding());
}

// Months since January of year 0.
inline int64_t MonthIndex(int64_t day) { return int64_t{YearOf(day)} * 12 + MonthOf(day) - 1; }

inline int DaysInMonth(int year, int month) {
    using namespace std::chrono;
    const year_month_day_last last{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} / std::chrono::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

// The day of the month's n-th weekday (n 1..5, -1 the last); nothing when
// the month has no fifth such weekday.
inline std::optional<int64_t> NthWeekday(int year, int month, int weekday, int n) {
    const int64_t first = DayOf(year, month, 1);
    const int days = DaysInMonth(year, month);
    if (n == -1) {
        const int64_t last = first + days - 1;
        return last - (Weekday(last) - weekday + 7) % 7;
    }
    const int64_t day = first + (weekday - Weekday(first) + 7) % 7 + 7 * (n - 1);
    if (n < 1 || day >= first + days) return std::nullopt;
    return day;
}

// "20180402" of a day.
inline std::string DateText(int64_t day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", YearOf(day), MonthOf(day), DayOfMonth(day));
    return text;
}

// "20180402T090000" of a wall-clock time in seconds.
inline std::string DateTimeText(int64_t seconds) {
    const int64_t day = FloorDiv(seconds, secondsPerDay);
    const int64_t inDay = seconds - day * secondsPerDay;
    char text[24];
    std::snprintf(text, sizeof text, "%sT%02d%02d%02d", DateText(day).c_str(), static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return text;
}

}  // namespace calendar_days

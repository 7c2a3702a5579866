#include "platform/store/CivilTime.h"

#include <chrono>

namespace store {
namespace {

using std::chrono::days;
using std::chrono::sys_days;

// 1601-01-01, the first day the appointment structures count from.
constexpr sys_days day1601 = sys_days{std::chrono::year{1601} / std::chrono::January / 1};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
    const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    return (sys_days{date} - day1601).count();
}

CCivilDate CivilFromDays(int64_t count) {
    const std::chrono::year_month_day date{day1601 + days{count}};
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

int Weekday(int64_t count) { return static_cast<int>(std::chrono::weekday{day1601 + days{count}}.c_encoding()); }

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    const std::chrono::year_month_day_last last{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                                                std::chrono::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

bool ValidDate(int year, int month, int day) {
    return year >= 1601 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

int64_t MonthIndex(int64_t days) {
    CCivilDate d = CivilFromDays(days);
    return int64_t(d.year - 1601) * 12 + (d.month - 1);
}

int64_t DaysOfMonthIndex(int64_t monthIndex) {
    int64_t year = 1601 + FloorDiv(monthIndex, 12);
    int month = static_cast<int>(monthIndex - (year - 1601) * 12) + 1;
    return DaysFromCivil(static_cast<int>(year), month, 1);
}

}  // namespace store

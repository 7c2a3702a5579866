#include "platform/store/CivilTime.h"

namespace store {
namespace {

// Days from 0000-03-01 to 1601-01-01 in the era-based civil count.
constexpr int64_t daysTo1601 = 584694;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
    int64_t y = year - (month <= 2 ? 1 : 0);
    int64_t era = FloorDiv(y, 400);
    int64_t yoe = y - era * 400;
    int64_t mp = (month + 9) % 12;
    int64_t doy = (153 * mp + 2) / 5 + day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - daysTo1601;
}

CCivilDate CivilFromDays(int64_t days) {
    int64_t z = days + daysTo1601;
    int64_t era = FloorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    CCivilDate d;
    d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
    return d;
}

int Weekday(int64_t days) {
    // 1601-01-01 was a Monday.
    int64_t w = (days + 1) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

int DaysInMonth(int year, int month) {
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : lengths[month - 1];
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

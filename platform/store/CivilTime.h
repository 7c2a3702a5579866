// Calendar arithmetic of the proleptic Gregorian calendar in the units the
// appointment structures count in: days and minutes since 1601-01-01 00:00
// (a wall clock when local, Greenwich time when UTC).
#pragma once
#include <cstdint>

#include "platform/store/MessageData.h"

namespace store {

constexpr int64_t minutesPerDay = 1440;
constexpr int64_t minutesPerWeek = 7 * minutesPerDay;

struct CCivilDate {
    int year = 1601, month = 1, day = 1;
    bool operator==(const CCivilDate&) const = default;
};

// Days since 1601-01-01 of a date; the fields are not checked.
int64_t DaysFromCivil(int year, int month, int day);
inline int64_t DaysFromCivil(const CCivilDate& d) { return DaysFromCivil(d.year, d.month, d.day); }
CCivilDate CivilFromDays(int64_t days);
// 0 = Sunday ... 6 = Saturday.
int Weekday(int64_t days);
int DaysInMonth(int year, int month);
bool ValidDate(int year, int month, int day);
// Months since January 1601 of the month a day lies in.
int64_t MonthIndex(int64_t days);
// The first day of a month counted from January 1601.
int64_t DaysOfMonthIndex(int64_t monthIndex);

// Minutes since 1601 and FILETIME (100-ns ticks since 1601).
inline CFileTime FileTimeFromMinutes(int64_t minutes) { return CFileTime{minutes * 600000000LL}; }
inline int64_t MinutesFromFileTime(const CFileTime& t) {
    return t.value >= 0 ? t.value / 600000000LL : -((-t.value + 599999999LL) / 600000000LL);
}

}  // namespace store

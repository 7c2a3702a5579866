// The predefined periods of the Save as PST dialog and the one date range
// each stands for, computed from a given local "now": whole weeks ending on
// the most recent Sunday, whole months before the current month, whole years
// before the current year. Also the day text of a manual range row.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "platform/sys/Time.h"
#include "worker/core/ExportSettings.h"

inline constexpr int kPeriodCount = 10;
inline constexpr int kAllTimePeriod = 0;

// The drop-down texts in list order; index 0 is "All Time".
const std::array<const char16_t*, kPeriodCount>& PeriodNames();

// The range of period `index` for the local time `now` (seconds resolution);
// nothing for "All Time" or an index outside the list.
std::optional<DateRange> PredefinedRange(int index, const sys::CSystemTime& now);

// A date as the manual list shows it: weekday, month name, two-digit day and
// year ("Wednesday, March 05, 2014").
std::u16string DayText(const sys::CSystemTime& date);

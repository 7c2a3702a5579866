// iCalendar recurrence rules (RRULE): the rule parts that calendars write
// for daily, weekly, monthly and yearly repeats, and the occurrences a rule
// gives from its first start, on the wall clock of the event's zone.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace store {

enum class ERecurFrequency { Daily, Weekly, Monthly, Yearly };

struct CWeekdayNum {
    int ordinal = 0;  // 0 = every such weekday, 1..53 the n-th, -1.. from the end
    int weekday = 0;  // 0 = Sunday ... 6 = Saturday
    bool operator==(const CWeekdayNum&) const = default;
};

struct CRecurrenceRule {
    ERecurFrequency frequency = ERecurFrequency::Daily;
    int interval = 1;
    std::optional<int> count;
    std::string until;  // the UNTIL value as written (date, local or UTC date-time)
    std::vector<CWeekdayNum> byDay;
    std::vector<int> byMonthDay, byMonth, bySetPos;
    int weekStart = 1;  // Monday unless WKST says otherwise
    std::optional<int> byHour, byMinute;
};

// Reads "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH;UNTIL=...". Nothing for rules
// whose parts this calendar cannot follow (sub-daily frequencies, year days,
// week numbers, several hours or minutes, values out of range).
std::optional<CRecurrenceRule> ParseRecurrenceRule(std::string_view text);

// The starts of the occurrences, wall-clock minutes since 1601, in order,
// the first start included: those up to `lastStart` (the rule's end,
// inclusive) and at most `most` of them.
std::vector<int64_t> ExpandRule(const CRecurrenceRule& rule, int64_t firstStart, int64_t lastStart, size_t most);

}  // namespace store

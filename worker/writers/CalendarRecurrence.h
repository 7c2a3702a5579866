// How the occurrences of a repeating calendar entry are said in iCalendar:
// the series starts with its first occurrence; a recurrence rule (RRULE)
// covers the dates that follow a daily, weekly, monthly (by date or by
// weekday position) or yearly pattern, the dates it gives that the series
// lacks are excluded (EXDATE: deleted instances) and the occurrences outside
// it are listed (RDATE); a moved or changed occurrence is an override (its
// own VEVENT with RECURRENCE-ID). Without a fitting rule every occurrence
// after the first is listed, so none is lost.
//
// A rule fits when it gives every occurrence at the series' time of day and
// at least half of what it gives are occurrences (custom dates: all of it).
// Its interval is the one Notes was given when that agrees with the dates,
// else the largest the dates allow; where several rules fit, the one with
// the fewest exclusions wins, then the unit Notes was given, then the
// coarser unit.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "worker/writers/CalendarRecord.h"

struct CRecurrenceOverride {
    int64_t originalStart = 0, start = 0, end = 0;
    bool operator==(const CRecurrenceOverride&) const = default;
};

struct CRecurrencePlan {
    int64_t start = 0, end = 0;                 // the first occurrence as the series has it
    std::string rule;                           // the RRULE value, empty without one
    std::vector<int64_t> exceptionDates;        // EXDATE starts
    std::vector<int64_t> extraDates;            // RDATE starts
    std::vector<CRecurrenceOverride> overrides; // by original start
};

// occurrences: wall-clock seconds (all-day entries: their days' midnights);
// unit and interval: "RepeatUnit" and "RepeatInterval" (0 = not given).
// Occurrences with the same original start count once.
CRecurrencePlan PlanRecurrence(std::vector<CalendarOccurrence> occurrences, std::u16string_view unit, int interval);

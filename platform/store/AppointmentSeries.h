// A repeating event planned as Outlook keeps it: a recurring series with its
// deleted and changed instances where a pattern follows the event's dates,
// and the instances no pattern holds, each to become an item of its own, so
// that no instance is lost and none is added. Times are wall-clock minutes
// since 1601 in the series' zone.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/store/RecurrencePattern.h"
#include "platform/store/RecurrenceRule.h"

namespace store {

// One instance given on its own (a VEVENT with a RECURRENCE-ID).
struct CInstanceChange {
    int64_t originalStart = 0;
    bool originalIsDay = false;  // given as a date: the instance on that day
    int64_t start = 0, end = 0;
    std::optional<std::u16string> subject, location, body;
};

struct CSeriesInput {
    int64_t start = 0, end = 0;  // the first instance
    std::optional<CRecurrenceRule> rule;
    std::optional<int64_t> ruleEnd;  // the last start the rule allows; none: the rule has no end
    std::vector<int64_t> extraStarts;                 // RDATE
    std::vector<int64_t> excludedStarts, excludedDays;  // EXDATE (times, and dates in days)
    std::vector<CInstanceChange> changes;
};

struct CInstance {
    int64_t start = 0, end = 0, originalStart = 0;
    const CInstanceChange* change = nullptr;
};

struct CSeriesPlan {
    std::optional<CRecurrencePattern> pattern;
    std::vector<CInstance> exceptions;  // the changed instances of the pattern, in its order
    std::vector<CInstance> singles;     // instances of their own, in order of their starts
};

// Instances of a series without an end are followed this far.
constexpr size_t mostSingleInstances = 1000;

// The plan's instances point into input.changes: keep the input while the plan is used.
CSeriesPlan PlanSeries(const CSeriesInput& input);
CSeriesPlan PlanSeries(CSeriesInput&&) = delete;

}  // namespace store

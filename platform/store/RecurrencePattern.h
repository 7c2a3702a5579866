// The recurrence of an Outlook appointment series: the pattern (daily,
// weekly, monthly on a day or on the n-th weekday, yearly), its range, the
// deleted and changed instances, as the appointment's recurrence blob holds
// them; the days a pattern gives; the pattern an iCalendar rule maps onto.
// Dates and times are wall-clock minutes since 1601-01-01 in the series' zone.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/store/RecurrenceRule.h"

namespace store {

constexpr uint16_t recurDaily = 0x200A, recurWeekly = 0x200B, recurMonthly = 0x200C, recurYearly = 0x200D;
enum class EPatternType : uint16_t { Day = 0, Week = 1, Month = 2, MonthNth = 3 };
constexpr uint32_t endAfterDate = 0x2021, endAfterCount = 0x2022, endNever = 0x2023;
constexpr uint32_t neverEndsDate = 0x5AE980DF;  // 31 December 4500, 23:59

// One changed instance of a series.
struct CExceptionInfo {
    int64_t start = 0, end = 0, originalStart = 0;
    std::optional<std::u16string> subject, location;
    bool changedBody = false;
};

struct CRecurrencePattern {
    uint16_t frequency = recurDaily;
    EPatternType type = EPatternType::Day;
    uint32_t period = 1440;      // minutes for Day patterns, weeks for Week, months for Month and MonthNth
    uint32_t dayMask = 0;        // Week and MonthNth: bit 0 Sunday ... bit 6 Saturday
    uint32_t dayOfMonth = 0;     // Month (31 = the last day)
    uint32_t nth = 0;            // MonthNth: 1..4, 5 = the last
    uint32_t endType = endNever;
    uint32_t occurrenceCount = 10;
    uint32_t firstDayOfWeek = 0;
    std::vector<uint32_t> deletedDates;   // midnights of the original dates of deleted and changed instances
    std::vector<uint32_t> modifiedDates;  // midnights of the dates the changed instances moved to
    uint32_t startDate = 0, endDate = neverEndsDate;
    uint32_t startTimeOffset = 0, endTimeOffset = 0;  // minutes after midnight; the end may pass into later days
    std::vector<CExceptionInfo> exceptions;           // in the order of their original starts
};

// The pattern an iCalendar rule maps onto, for a series whose first start is
// `firstStart`; nothing when no Outlook pattern follows the rule. The range
// fields are left to the caller.
std::optional<CRecurrencePattern> PatternForRule(const CRecurrenceRule& rule, int64_t firstStart);

// The days (since 1601) on which the pattern's instances fall, from its start
// date, up to lastDay inclusive and at most `most` of them.
std::vector<int64_t> PatternDays(const CRecurrencePattern& pattern, int64_t lastDay, size_t most);

// The pattern's FirstDateTime: where its period starts counting.
uint32_t FirstDateTime(const CRecurrencePattern& pattern);

// The recurrence blob of an appointment (the appointment form of the pattern).
std::string AppointmentRecurrenceBlob(const CRecurrencePattern& pattern);

// Outlook's recurrence type: 1 daily, 2 weekly, 3 monthly, 4 yearly.
int32_t RecurrenceType(const CRecurrencePattern& pattern);
// A description of the pattern in words ("every 2 weeks on Monday and Thursday ...").
std::u16string DescribeRecurrence(const CRecurrencePattern& pattern);

}  // namespace store

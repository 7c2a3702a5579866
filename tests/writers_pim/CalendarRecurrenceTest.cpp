// The plan that says a series of occurrences in iCalendar terms, and the
// Notes zones whose wall clocks the plan is made on.
#include <gtest/gtest.h>

#include <cstring>

#include "worker/writers/CalendarDays.h"
#include "worker/writers/CalendarRecurrence.h"
#include "worker/writers/CalendarZone.h"

namespace {

using calendar_days::DayOf;

int64_t At(int year, int month, int day, int hour = 9, int minute = 0) {
    return DayOf(year, month, day) * calendar_days::secondsPerDay + hour * 3600 + minute * 60;
}

// An unmoved occurrence of the given length.
CalendarOccurrence Held(int64_t start, int64_t minutes = 60) { return {start, start + minutes * 60, start}; }

struct PlanCase {
    const char* name;
    std::vector<CalendarOccurrence> occurrences;
    std::u16string unit;
    int interval;
    std::string rule;
    std::vector<int64_t> exceptions;
    std::vector<int64_t> extras;
    std::vector<CRecurrenceOverride> overrides;
};

TEST(PlanRecurrenceTest, RuleExclusionsExtrasAndOverrides) {
    const int64_t movedFrom = At(2018, 4, 9), movedTo = At(2018, 4, 10, 10);
    const PlanCase cases[] = {
        {"daily", {Held(At(2018, 5, 1)), Held(At(2018, 5, 2)), Held(At(2018, 5, 3)), Held(At(2018, 5, 4))},
         u"D", 1, "FREQ=DAILY;COUNT=4;INTERVAL=1", {}, {}, {}},
        {"every third day, interval not given",
         {Held(At(2018, 5, 1)), Held(At(2018, 5, 4)), Held(At(2018, 5, 7))}, u"D", 0,
         "FREQ=DAILY;COUNT=3;INTERVAL=3", {}, {}, {}},
        // Notes' daily repeat without weekends: a weekly rule on workdays.
        {"workdays",
         {Held(At(2018, 5, 3)), Held(At(2018, 5, 4)), Held(At(2018, 5, 7)), Held(At(2018, 5, 8)),
          Held(At(2018, 5, 9))},
         u"D", 1, "FREQ=WEEKLY;COUNT=5;INTERVAL=1;BYDAY=MO,TU,WE,TH,FR", {}, {}, {}},
        {"weekly on two days, every other week",
         {Held(At(2018, 5, 7)), Held(At(2018, 5, 10)), Held(At(2018, 5, 21)), Held(At(2018, 5, 24))}, u"W", 2,
         "FREQ=WEEKLY;COUNT=4;INTERVAL=2;BYDAY=MO,TH", {}, {}, {}},
        {"monthly by date, one deleted",
         {Held(At(2018, 1, 15)), Held(At(2018, 2, 15)), Held(At(2018, 4, 15)), Held(At(2018, 5, 15))}, u"MD", 1,
         "FREQ=MONTHLY;COUNT=5;INTERVAL=1;BYMONTHDAY=15", {At(2018, 3, 15)}, {}, {}},
        // Months without a 31st have no occurrence: nothing to exclude.
        {"monthly on the 31st", {Held(At(2018, 1, 31)), Held(At(2018, 3, 31)), Held(At(2018, 5, 31))}, u"MD", 1,
         "FREQ=MONTHLY;COUNT=3;INTERVAL=1;BYMONTHDAY=31", {}, {}, {}},
        {"monthly on the second Tuesday",
         {Held(At(2024, 1, 9)), Held(At(2024, 2, 13)), Held(At(2024, 3, 12)), Held(At(2024, 4, 9))}, u"MP", 1,
         "FREQ=MONTHLY;COUNT=4;INTERVAL=1;BYDAY=2TU", {}, {}, {}},
        {"monthly on the last Friday",
         {Held(At(2018, 8, 31)), Held(At(2018, 9, 28)), Held(At(2018, 10, 26))}, u"MP", 1,
         "FREQ=MONTHLY;COUNT=3;INTERVAL=1;BYDAY=-1FR", {}, {}, {}},
        {"yearly on a leap day", {Held(At(2016, 2, 29)), Held(At(2020, 2, 29)), Held(At(2024, 2, 29))}, u"Y", 1,
         "FREQ=YEARLY;COUNT=3;INTERVAL=1;BYMONTH=2;BYMONTHDAY=29", {}, {}, {}},
        {"custom dates", {Held(At(2018, 1, 5, 12)), Held(At(2018, 2, 20, 12)), Held(At(2018, 3, 7, 12))}, u"C", 0,
         "", {}, {At(2018, 2, 20, 12), At(2018, 3, 7, 12)}, {}},
        // Custom dates that happen to be regular still take a rule, but only
        // one that gives no date the series lacks.
        {"regular custom dates", {Held(At(2018, 1, 1)), Held(At(2018, 1, 8)), Held(At(2018, 1, 15))}, u"C", 0,
         "FREQ=WEEKLY;COUNT=3;INTERVAL=1;BYDAY=MO", {}, {}, {}},
        {"custom dates with a gap", {Held(At(2018, 1, 1)), Held(At(2018, 1, 8)), Held(At(2018, 1, 22))}, u"C", 0,
         "", {}, {At(2018, 1, 8), At(2018, 1, 22)}, {}},
        {"weekly, one deleted and one moved, out of order",
         {{movedTo, movedTo + 3600, movedFrom}, Held(At(2018, 3, 12)), Held(At(2018, 3, 19)), Held(At(2018, 4, 2))},
         u"W", 1, "FREQ=WEEKLY;COUNT=5;INTERVAL=1;BYDAY=MO", {At(2018, 3, 26)}, {},
         {{movedFrom, movedTo, movedTo + 3600}}},
        {"one instance longer", {Held(At(2018, 5, 1)), Held(At(2018, 5, 2), 90), Held(At(2018, 5, 3))}, u"D", 1,
         "FREQ=DAILY;COUNT=3;INTERVAL=1", {}, {}, {{At(2018, 5, 2), At(2018, 5, 2), At(2018, 5, 2, 10, 30)}}},
        // The rule with fewer exclusions wins over the unit Notes was given.
        {"one instance at another time of day",
         {Held(At(2018, 5, 1)), Held(At(2018, 5, 2)), Held(At(2018, 5, 3, 14)), Held(At(2018, 5, 4))}, u"D", 1,
         "FREQ=WEEKLY;COUNT=3;INTERVAL=1;BYDAY=TU,WE,FR", {}, {At(2018, 5, 3, 14)}, {}},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CRecurrencePlan plan = PlanRecurrence(c.occurrences, c.unit, c.interval);
        EXPECT_EQ(plan.rule, c.rule);
        EXPECT_EQ(plan.exceptionDates, c.exceptions);
        EXPECT_EQ(plan.extraDates, c.extras);
        EXPECT_EQ(plan.overrides, c.overrides);
    }
}

TEST(PlanRecurrenceTest, SeriesStartsWithItsFirstInstanceAsItWasMade) {
    const int64_t first = At(2018, 3, 12), movedTo = At(2018, 3, 13, 11);
    const CRecurrencePlan plan =
        PlanRecurrence({Held(At(2018, 3, 19), 30), {movedTo, movedTo + 1800, first}}, u"W", 1);
    EXPECT_EQ(plan.start, first);
    EXPECT_EQ(plan.end, first + 1800);
    EXPECT_EQ(plan.rule, "FREQ=WEEKLY;COUNT=2;INTERVAL=1;BYDAY=MO");
    ASSERT_EQ(plan.overrides.size(), 1u);
    EXPECT_EQ(plan.overrides[0].originalStart, first);
}

struct ZoneCase {
    const char* text;
    int64_t utc;
    int64_t wall;
};

TEST(CalendarZoneTest, WallClockOfNotesZones) {
    const char* europe = "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe";
    const char* eastern = "Z=5$DO=1$DL=3 2 1 11 1 1$ZX=11$ZN=Eastern";
    const char* sydney = "Z=-10$DO=1$DL=10 1 1 4 1 1$ZX=56$ZN=AUS Eastern";
    const ZoneCase cases[] = {
        {europe, At(2018, 3, 25, 0, 59), At(2018, 3, 25, 1, 59)},
        {europe, At(2018, 3, 25, 1), At(2018, 3, 25, 3)},   // 2:00 local, clocks go forward
        {europe, At(2018, 10, 28, 0, 59), At(2018, 10, 28, 2, 59)},
        {europe, At(2018, 10, 28, 1), At(2018, 10, 28, 2)},  // 3:00 summer time, back to 2:00
        {eastern, At(2024, 3, 10, 6, 59), At(2024, 3, 10, 1, 59)},
        {eastern, At(2024, 3, 10, 7), At(2024, 3, 10, 3)},
        {eastern, At(2024, 11, 3, 5, 59), At(2024, 11, 3, 1, 59)},
        {eastern, At(2024, 11, 3, 7), At(2024, 11, 3, 2)},
        {sydney, At(2018, 1, 10), At(2018, 1, 10, 20)},
        {sydney, At(2018, 7, 10), At(2018, 7, 10, 19)},
        {"Z=-5.5$DO=0$ZX=35$ZN=India", At(2018, 1, 1), At(2018, 1, 1, 14, 30)},
        {"Z=-530$DO=0$ZN=India", At(2018, 1, 1), At(2018, 1, 1, 14, 30)},
        {"Z=-3005$DO=0$ZX=35$ZN=India", At(2018, 1, 1), At(2018, 1, 1, 14, 30)},
        {"Z=-4505$DO=0$ZN=Nepal", At(2018, 1, 1), At(2018, 1, 1, 14, 45)},
    };
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(c.text);
        const auto zone = CCalendarZone::FromNotesText(std::u16string(c.text, c.text + std::strlen(c.text)));
        ASSERT_TRUE(zone);
        EXPECT_EQ(zone->WallClock(c.utc), c.wall);
    }
    EXPECT_FALSE(CCalendarZone::FromNotesText(u"DO=1$ZN=Nowhere"));
    EXPECT_FALSE(CCalendarZone::FromNotesText(u"Z=x$ZN=Nowhere"));
}

// Occurrences at the same local time on both sides of a change of the
// clocks are one rule once read on the zone's wall clock.
TEST(CalendarZoneTest, SeriesAcrossDaylightSavingIsOneRule) {
    struct SeriesCase {
        const char16_t* zone;
        std::vector<int64_t> utcStarts;
        std::u16string unit;
        int64_t wallStart;
        std::string rule;
    };
    const SeriesCase cases[] = {
        {u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe",
         {At(2018, 3, 19, 8), At(2018, 3, 26, 7), At(2018, 4, 2, 7)}, u"W", At(2018, 3, 19),
         "FREQ=WEEKLY;COUNT=3;INTERVAL=1;BYDAY=MO"},
        {u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe",
         {At(2018, 10, 27, 7), At(2018, 10, 28, 8), At(2018, 10, 29, 8)}, u"D", At(2018, 10, 27),
         "FREQ=DAILY;COUNT=3;INTERVAL=1"},
        {u"Z=5$DO=1$DL=3 2 1 11 1 1$ZX=11$ZN=Eastern",
         {At(2024, 1, 9, 15), At(2024, 2, 13, 15), At(2024, 3, 12, 14), At(2024, 4, 9, 14)}, u"MP",
         At(2024, 1, 9, 10), "FREQ=MONTHLY;COUNT=4;INTERVAL=1;BYDAY=2TU"},
    };
    for (const SeriesCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const auto zone = CCalendarZone::FromNotesText(c.zone);
        ASSERT_TRUE(zone);
        std::vector<CalendarOccurrence> wall;
        for (int64_t utc : c.utcStarts) wall.push_back(Held(zone->WallClock(utc)));
        const CRecurrencePlan plan = PlanRecurrence(wall, c.unit, 1);
        EXPECT_EQ(plan.start, c.wallStart);
        EXPECT_EQ(plan.rule, c.rule);
        EXPECT_TRUE(plan.exceptionDates.empty());
        EXPECT_TRUE(plan.extraDates.empty());
        EXPECT_TRUE(plan.overrides.empty());
    }
}

}  // namespace

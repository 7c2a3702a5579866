// The predefined periods for fixed local times: every weekday, year ends,
// January, February and December, and the day texts of manual rows.
#include <gtest/gtest.h>

#include "tests/viewer_dialogs/DialogTestSupport.h"
#include "viewer/dialogs/PredefinedPeriods.h"

namespace {

using dialogtest::Ole;
using dialogtest::Wall;

struct WeekCase {
    sys::CSystemTime now;
    int period;
    double start, end;
};

TEST(PredefinedPeriods, WeeksEndOnTheMostRecentSundayAtTheCurrentTime) {
    // 2026-03-08 is a Sunday; every day of that week ends its weeks there.
    for (int d = 0; d < 7; ++d) {
        const sys::CSystemTime now = Wall(2026, 3, 8 + d, 14, 30, 15, d);
        SCOPED_TRACE(d);
        const WeekCase cases[] = {
            {now, 1, Ole(2026, 3, 2, 14, 30, 15), Ole(2026, 3, 8, 14, 30, 15)},
            {now, 2, Ole(2026, 2, 23, 14, 30, 15), Ole(2026, 3, 8, 14, 30, 15)},
            {now, 3, Ole(2026, 2, 16, 14, 30, 15), Ole(2026, 3, 8, 14, 30, 15)},
        };
        for (const WeekCase& c : cases) {
            const auto range = PredefinedRange(c.period, c.now);
            ASSERT_TRUE(range);
            EXPECT_EQ(range->start, c.start) << c.period;
            EXPECT_EQ(range->end, c.end) << c.period;
            EXPECT_EQ(range->startStatus, DateValid);
            EXPECT_EQ(range->endStatus, DateValid);
        }
    }
}

TEST(PredefinedPeriods, WeeksCrossTheYearEnd) {
    // Saturday 2026-01-03: the last Sunday is 2025-12-28.
    const sys::CSystemTime now = Wall(2026, 1, 3, 8, 0, 1, 6);
    EXPECT_EQ(PredefinedRange(3, now)->start, Ole(2025, 12, 8, 8, 0, 1));
    EXPECT_EQ(PredefinedRange(3, now)->end, Ole(2025, 12, 28, 8, 0, 1));
    // Leap day: Wednesday 2024-03-06 goes back to Monday 2024-02-26.
    EXPECT_EQ(PredefinedRange(1, Wall(2024, 3, 6, 9, 0, 0, 3))->start, Ole(2024, 2, 26, 9, 0, 0));
}

struct MonthCase {
    const char* name;
    sys::CSystemTime now;
    int period;
    double start, end;
};

TEST(PredefinedPeriods, MonthsAndYearsAreWholeAndEndAtMidnight) {
    const sys::CSystemTime january = Wall(2026, 1, 20, 16, 45, 0, 2);
    const sys::CSystemTime february = Wall(2026, 2, 11, 10, 0, 0, 3);
    const sys::CSystemTime december = Wall(2026, 12, 31, 23, 59, 59, 4);
    const MonthCase cases[] = {
        {"Jan 3 months", january, 4, Ole(2025, 10, 1), Ole(2025, 12, 31)},
        {"Jan 6 months", january, 5, Ole(2025, 7, 1), Ole(2025, 12, 31)},
        {"Jan 9 months", january, 6, Ole(2025, 4, 1), Ole(2025, 12, 31)},
        {"Jan 1 year", january, 7, Ole(2025, 1, 1), Ole(2025, 12, 31)},
        {"Feb 3 months", february, 4, Ole(2025, 11, 1), Ole(2026, 1, 31)},
        {"Feb 6 months", february, 5, Ole(2025, 8, 1), Ole(2026, 1, 31)},
        {"Feb 9 months", february, 6, Ole(2025, 5, 1), Ole(2026, 1, 31)},
        {"Feb 2 years", february, 8, Ole(2024, 1, 1), Ole(2025, 12, 31)},
        {"Dec 3 months", december, 4, Ole(2026, 9, 1), Ole(2026, 11, 30)},
        {"Dec 6 months", december, 5, Ole(2026, 6, 1), Ole(2026, 11, 30)},
        {"Dec 9 months", december, 6, Ole(2026, 3, 1), Ole(2026, 11, 30)},
        {"Dec 1 year", december, 7, Ole(2025, 1, 1), Ole(2025, 12, 31)},
        {"Dec 3 years", december, 9, Ole(2023, 1, 1), Ole(2025, 12, 31)},
        {"Mar 3 months, leap year", Wall(2024, 3, 15, 12, 0, 0, 5), 4, Ole(2023, 12, 1), Ole(2024, 2, 29)},
    };
    for (const MonthCase& c : cases) {
        const auto range = PredefinedRange(c.period, c.now);
        ASSERT_TRUE(range) << c.name;
        EXPECT_EQ(range->start, c.start) << c.name;
        EXPECT_EQ(range->end, c.end) << c.name;
    }
}

TEST(PredefinedPeriods, AllTimeAndUnknownIndexesGiveNoRange) {
    const sys::CSystemTime now = Wall(2026, 3, 11, 1, 2, 3, 3);
    EXPECT_FALSE(PredefinedRange(0, now));
    EXPECT_FALSE(PredefinedRange(10, now));
    EXPECT_FALSE(PredefinedRange(-1, now));
    EXPECT_EQ(std::u16string(PeriodNames()[0]), u"All Time");
    EXPECT_EQ(std::u16string(PeriodNames()[9]), u"Last 3 Year Items");
}

TEST(PredefinedPeriods, DayTextNamesWeekdayAndMonthWithTwoDigitDay) {
    EXPECT_EQ(DayText(Wall(2026, 3, 4, 13, 0, 0)), u"Wednesday, March 04, 2026");
    EXPECT_EQ(DayText(Wall(2025, 12, 28)), u"Sunday, December 28, 2025");
    EXPECT_EQ(DayText(Wall(2024, 2, 29)), u"Thursday, February 29, 2024");
}

}  // namespace

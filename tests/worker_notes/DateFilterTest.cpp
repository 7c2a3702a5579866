#include "worker/notes/DateFilter.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

constexpr double Jan1 = 43101.0;   // 2018-01-01 00:00
constexpr double Jan31 = 43131.0;  // 2018-01-31 00:00
constexpr double Mar1 = 43160.0;
constexpr double Mar31 = 43190.0;

DateRange Range(double start, double end, int32_t startStatus = DateValid,
                int32_t endStatus = DateValid)
{
    return DateRange{start, startStatus, end, endStatus};
}

struct FilterCase {
    const char* name;
    std::vector<DateRange> ranges;
    OleTimestamp t;
    bool accepted;
};

class InDateRangesCases : public ::testing::TestWithParam<FilterCase> {};

TEST_P(InDateRangesCases, Decides)
{
    EXPECT_EQ(InDateRanges(GetParam().ranges, GetParam().t), GetParam().accepted);
}

const double NaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Ranges, InDateRangesCases,
    ::testing::Values(
        FilterCase{"EmptyListAcceptsAll", {}, {Jan1 + 3.5}, true},
        FilterCase{"EmptyListAcceptsInvalid", {}, {0, DateInvalid}, true},
        FilterCase{"EmptyListAcceptsNull", {}, {0, DateNull}, true},
        FilterCase{"Inside", {Range(Jan1, Jan31)}, {Jan1 + 10.25}, true},
        FilterCase{"EqualsStart", {Range(Jan1, Jan31)}, {Jan1}, true},
        FilterCase{"EqualsEnd", {Range(Jan1, Jan31)}, {Jan31}, true},
        FilterCase{"JustAfterEnd", {Range(Jan1, Jan31)}, {Jan31 + 1.0 / 86400}, false},
        FilterCase{"Before", {Range(Jan1, Jan31)}, {Jan1 - 0.5}, false},
        FilterCase{"SecondRange", {Range(Jan1, Jan31), Range(Mar1, Mar31)}, {Mar1 + 2}, true},
        FilterCase{"BetweenRanges", {Range(Jan1, Jan31), Range(Mar1, Mar31)}, {Mar1 - 2}, false},
        FilterCase{"InvalidTimeRejected", {Range(Jan1, Jan31)}, {Jan1 + 2, DateInvalid}, false},
        FilterCase{"NullTimeRejected", {Range(Jan1, Jan31)}, {Jan1 + 2, DateNull}, false},
        FilterCase{"NotANumberRejected", {Range(Jan1, Jan31)}, {NaN}, false},
        FilterCase{"StartEqualsEnd", {Range(Jan1, Jan1)}, {Jan1}, true},
        FilterCase{"ReversedRangeEnclosesNothingInside", {Range(Jan31, Jan1)}, {Jan1 + 5}, false},
        FilterCase{"ReversedRangeKeepsItsBounds", {Range(Jan31, Jan1)}, {Jan31}, true},
        FilterCase{"InvalidStartNoInterior", {Range(Jan1, Jan31, DateInvalid)}, {Jan1 + 5}, false},
        FilterCase{"InvalidStartEndStillEqual", {Range(Jan1, Jan31, DateInvalid)}, {Jan31}, true},
        FilterCase{"InvalidStartNotEqual", {Range(Jan1, Jan31, DateInvalid)}, {Jan1}, false},
        FilterCase{"NullEndNotEqual", {Range(Jan1, Jan31, DateValid, DateNull)}, {Jan31}, false},
        FilterCase{"NullEndStartEqual", {Range(Jan1, Jan31, DateValid, DateNull)}, {Jan1}, true},
        // Before 1899-12-30 the time of day counts forwards: -1.25 is
        // 29 Dec 1899 06:00 and -1.75 is the same day at 18:00, later.
        FilterCase{"Pre1900Order", {Range(-1.25, 0.0)}, {-1.75}, true},
        FilterCase{"Pre1900Before", {Range(-1.75, 0.0)}, {-1.25}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// The Save as PST dialog's logic: manual ranges (end before start, equal
// ends, duplicates by day text, removal keeping rows and ranges paired) and
// OK (destination check and backslash, predefined periods from a fixed now,
// the manual mode without ranges).
#include <gtest/gtest.h>

#include "tests/viewer_dialogs/DialogTestSupport.h"
#include "viewer/dialogs/SaveFilterModel.h"

namespace {

using dialogtest::Ole;
using dialogtest::Wall;
using Choice = CSaveFilterModel::EPeriodChoice;
using Added = CSaveFilterModel::EAddResult;

class SaveFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.dateRanges.push_back(DateRange{1, 0, 2, 0});
        model.Initialize();
    }
    dialogtest::CTempDir dir;
    ExportSettings settings;
    // Wednesday 2026-03-11 14:30:15
    CSaveFilterModel model{settings, [] { return Wall(2026, 3, 11, 14, 30, 15, 3); }};
};

TEST_F(SaveFilterTest, OpeningSelectsAllTimeAndEmptiesTheRanges) {
    EXPECT_TRUE(settings.dateRanges.empty());
    EXPECT_EQ(model.Choice(), Choice::Predefined);
    EXPECT_EQ(model.SelectedPeriod(), 0);
    EXPECT_TRUE(model.PeriodListEnabled());
    EXPECT_FALSE(model.ManualControlsEnabled());
    model.SetChoice(Choice::Manual);
    EXPECT_FALSE(model.PeriodListEnabled());
    EXPECT_TRUE(model.ManualControlsEnabled());
}

TEST_F(SaveFilterTest, AddKeepsRowsAndRangesPairedAndRefusesEndBeforeStart) {
    model.SetChoice(Choice::Manual);
    struct Case {
        sys::CSystemTime start, end;
        Added result;
    };
    const Case cases[] = {
        {Wall(2026, 1, 5, 9), Wall(2026, 1, 4, 23), Added::EndBeforeStart},
        {Wall(2026, 1, 5, 9), Wall(2026, 1, 5, 9), Added::Added},          // equal ends accepted
        {Wall(2026, 1, 5, 18), Wall(2026, 1, 5, 20), Added::Duplicate},    // same day texts
        {Wall(2026, 1, 5, 9), Wall(2026, 2, 1, 9), Added::Added},
        {Wall(2026, 1, 5, 9), Wall(2026, 1, 5, 8), Added::EndBeforeStart}, // same day, earlier time
    };
    for (const Case& c : cases) EXPECT_EQ(model.Add(c.start, c.end), c.result);
    ASSERT_EQ(model.Rows().size(), 2u);
    EXPECT_EQ(model.Rows()[0].startText, u"Monday, January 05, 2026");
    EXPECT_EQ(model.Rows()[1].endText, u"Sunday, February 01, 2026");
    ASSERT_EQ(settings.dateRanges.size(), 2u);
    EXPECT_EQ(settings.dateRanges[1].start, Ole(2026, 1, 5, 9));
    EXPECT_EQ(settings.dateRanges[1].end, Ole(2026, 2, 1, 9));
    // An invalid end is not compared.
    EXPECT_EQ(model.Add(Wall(2026, 5, 5), Wall(2026, 5, 4), true, false), Added::Added);
    EXPECT_EQ(settings.dateRanges[2].endStatus, DateInvalid);

    model.Remove(-1);
    model.Remove(7);
    EXPECT_EQ(model.Rows().size(), 3u);
    model.Remove(0);
    ASSERT_EQ(model.Rows().size(), 2u);
    EXPECT_EQ(model.Rows()[0].endText, u"Sunday, February 01, 2026");
    EXPECT_EQ(settings.dateRanges[0].end, Ole(2026, 2, 1, 9));
}

TEST_F(SaveFilterTest, OkChecksTheDestinationAndAddsTheSeparator) {
    EXPECT_EQ(model.Confirm(dir.Path("missing")), kInvalidDestinationMessage);
    EXPECT_EQ(model.Confirm(u""), kInvalidDestinationMessage);
    EXPECT_TRUE(settings.destinationFolder.empty());
    EXPECT_EQ(model.Confirm(dir.Path()), u"");
    EXPECT_EQ(settings.destinationFolder, dir.Prefix());
    EXPECT_EQ(model.Confirm(dir.Prefix()), u"");
    EXPECT_EQ(settings.destinationFolder, dir.Prefix());
    EXPECT_TRUE(settings.dateRanges.empty());  // "All Time"
    EXPECT_EQ(settings.exportRequested, 1);
}

TEST_F(SaveFilterTest, ManualModeWithoutRangesKeepsTheDialogButStoresTheFolder) {
    model.SetChoice(Choice::Manual);
    EXPECT_EQ(model.Confirm(dir.Path()), kNoDateRangeMessage);
    EXPECT_EQ(settings.destinationFolder, dir.Prefix());
    model.Add(Wall(2026, 1, 5), Wall(2026, 1, 6));
    EXPECT_EQ(model.Confirm(dir.Path()), u"");
    EXPECT_EQ(settings.dateRanges.size(), 1u);
}

TEST_F(SaveFilterTest, PredefinedPeriodReplacesManualRangesOnOk) {
    model.SetChoice(Choice::Manual);
    model.Add(Wall(2020, 1, 5), Wall(2020, 1, 6));
    model.Add(Wall(2021, 1, 5), Wall(2021, 1, 6));
    model.SetChoice(Choice::Predefined);
    model.SelectPeriod(1);
    EXPECT_EQ(model.Confirm(dir.Path()), u"");
    ASSERT_EQ(settings.dateRanges.size(), 1u);
    EXPECT_EQ(settings.dateRanges[0].start, Ole(2026, 3, 2, 14, 30, 15));
    EXPECT_EQ(settings.dateRanges[0].end, Ole(2026, 3, 8, 14, 30, 15));

    model.SelectPeriod(0);
    EXPECT_EQ(model.Confirm(dir.Path()), u"");
    EXPECT_TRUE(settings.dateRanges.empty());
}

}  // namespace

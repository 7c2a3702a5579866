#include <gtest/gtest.h>

#include "platform/notes/HtmlApi.h"
#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNItem.h"
#include "platform/notes/TimeDate.h"

using namespace notes;

TEST(TimeDate, JulianDaysOfKnownDates) {
    EXPECT_EQ(JulianDay(2000, 1, 1), 2451545);
    EXPECT_EQ(JulianDay(2013, 3, 5), 2456357);
    int y, m, d;
    FromJulianDay(2456357, &y, &m, &d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20130305);
}

struct CIsoCase {
    const char* iso;
    bool dst;
    DWORD gmtHundredths;   // expected Innards[0]
    long julianDay;        // expected low 24 bits of Innards[1]
    const char* notesText; // LNDatetime::GetText in the value's own zone
    LNINT zone;            // LNDatetime::GetTimeZone
};

class TimeDateIso : public ::testing::TestWithParam<CIsoCase> {};

TEST_P(TimeDateIso, EncodesGreenwichTimeWithZoneBits) {
    const auto& c = GetParam();
    auto td = ParseIsoTime(c.iso, c.dst);
    ASSERT_TRUE(td);
    EXPECT_EQ(td->Innards[0], c.gmtHundredths);
    EXPECT_EQ(static_cast<long>(td->Innards[1] & 0xFFFFFF), c.julianDay);
    EXPECT_EQ((td->Innards[1] & 0x80000000u) != 0, c.dst);
    LNDatetime dt(*td);
    EXPECT_STREQ(dt.GetText().GetTextPtr(), c.notesText);
    EXPECT_EQ(dt.GetTimeZone(), c.zone);
    EXPECT_EQ(IsoTimeText(*td), c.iso);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeDateIso,
    ::testing::Values(
        // 14:07:09 at +01:00 is 13:07:09 GMT.
        CIsoCase{"2013-03-05T14:07:09+01:00", false, 4722900, 2456357, "03/05/2013 14:07:09", -1},
        // New York in summer: offset -04:00 includes the DST hour, zone 5.
        CIsoCase{"2013-07-01T20:30:00-04:00", true, 30 * 6000, 2456476, "07/01/2013 20:30:00", 5},
        CIsoCase{"2020-01-01T00:15:00+05:30", false, (18 * 60 + 45) * 6000, 2458849, "01/01/2020 00:15:00", -530},
        CIsoCase{"1999-12-31", false, ALLDAY, 2451544, "12/31/1999", 0}));

TEST(TimeDate, AdjustToGreenwichKeepsTheInstant) {
    auto td = ParseIsoTime("2013-03-05T00:30:00+02:00", false);
    ASSERT_TRUE(td);
    LNDatetime dt(*td);
    ASSERT_EQ(dt.AdjustTimeZone(0), 0u);
    LNINT m, d, y, h, mi, s;
    dt.GetDate(&m, &d, &y);
    dt.GetTime(&h, &mi, &s);
    EXPECT_EQ(m * 100 + d, 304);   // previous day in Greenwich
    EXPECT_EQ(y, 2013);
    EXPECT_EQ(h * 100 + mi, 2230);
    EXPECT_EQ(dt.GetTimeZone(), 0);
}

TEST(TimeDate, NullValueGivesZeroParts) {
    LNDatetime none;
    LNINT m = -1, d = -1, y = -1;
    none.GetDate(&m, &d, &y);
    EXPECT_EQ(m + d + y, 0);
    EXPECT_TRUE(none.GetText().IsNull());
}

TEST(TimeDate, InvalidTextsAreRefused) {
    for (const char* bad : {"2013-02-30T10:00:00Z", "2013-13-01", "yesterday", "2013-03-05T25:00:00Z",
                            "2013-03-05T10:00:00+01:07"})
        EXPECT_FALSE(ParseIsoTime(bad, false)) << bad;
}

TEST(TimeDate, ConvertToTextUsesTheEightyByteBuffer) {
    auto td = ParseIsoTime("2013-03-05T14:07:09+01:00", false);
    char buffer[80];
    WORD length = 0;
    ASSERT_EQ(ConvertTIMEDATEToText(nullptr, nullptr, &*td, buffer, sizeof buffer, &length), 0u);
    EXPECT_STREQ(buffer, "03/05/2013 14:07:09");
    EXPECT_EQ(length, 19);
}

TEST(TimeDate, TimeListRoundTripsThroughCanonicalBytes) {
    CTimeValues v;
    v.times.push_back(*ParseIsoTime("2013-03-05T14:07:09+01:00", false));
    v.ranges.push_back({*ParseIsoTime("2013-03-06", false), *ParseIsoTime("2013-03-07", false)});
    std::string raw = EncodeTimeList(v);
    EXPECT_EQ(raw.size(), 2u + 4 + 8 + 16);
    auto back = DecodeTimes(raw);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->times.size(), 1u);
    EXPECT_EQ(back->times[0].Innards[0], v.times[0].Innards[0]);
    EXPECT_EQ(back->ranges[0].Upper.Innards[1], v.ranges[0].Upper.Innards[1]);
}

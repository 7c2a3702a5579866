// Repeating, all-day and meeting entries read from a Notes database: the
// series and identity in the record, and the .ics files written from them.
#include <gtest/gtest.h>

#include "PimFixture.h"
#include "worker/writers/CalendarWriter.h"

namespace {

class CalendarSeriesTest : public CCalendarFixture {
protected:
    CalendarSeriesTest() : CCalendarFixture("repeats.json") {}
};

const std::string kEurope =
    "BEGIN:VTIMEZONE\r\n"
    "TZID:W. Europe Standard Time\r\n"
    "BEGIN:STANDARD\r\n"
    "DTSTART:16011028T030000\r\n"
    "TZOFFSETFROM:+0200\r\n"
    "TZOFFSETTO:+0100\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
    "END:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\n"
    "DTSTART:16010325T020000\r\n"
    "TZOFFSETFROM:+0100\r\n"
    "TZOFFSETTO:+0200\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
    "END:DAYLIGHT\r\n"
    "END:VTIMEZONE\r\n";

const std::string kTail = "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:1\r\nEND:VEVENT\r\n";

// Weekly on Mondays at 9:00 in a European zone across the start of summer
// time; 26 March deleted, 9 April moved to Tuesday 10:00.
TEST_F(CalendarSeriesTest, WeeklyMeetingWithDeletedAndMovedInstance) {
    const std::string zone = ";TZID=\"W. Europe Standard Time\":";
    const std::string expected =
        "BEGIN:VCALENDAR\r\n" + kEurope +
        "BEGIN:VEVENT\r\n"
        "CREATED:20180301T080000\r\n"
        "DTEND" + zone + "20180312T100000\r\n"
        "DTSTART" + zone + "20180312T090000\r\n"
        "RRULE:FREQ=WEEKLY;COUNT=5;INTERVAL=1;BYDAY=MO\r\n"
        "EXDATE" + zone + "20180326T090000\r\n"
        "LAST-MOD:20180403T080000\r\n"
        "UID:A1B2C3D4E5F60718293A4B5C6D7E8F90\r\n"
        "SUMMARY;CHARSET=utf-8:Weekly team meeting\r\n"
        "ORGANIZER;CN=\"Jane Doe\"\r\n"
        "ATTENDEE;CN=\"CN=John Smith/O=Acme\"\r\n"
        "LOCATION;CHARSET=utf-8:Room 2.01\r\n" +
        kTail +
        "BEGIN:VEVENT\r\n"
        "UID:A1B2C3D4E5F60718293A4B5C6D7E8F90\r\n"
        "RECURRENCE-ID" + zone + "20180409T090000\r\n"
        "DTEND" + zone + "20180410T110000\r\n"
        "DTSTART" + zone + "20180410T100000\r\n"
        "SUMMARY;CHARSET=utf-8:Weekly team meeting\r\n"
        "LOCATION;CHARSET=utf-8:Room 2.01\r\n"
        "END:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    EXPECT_EQ(Ics(300), expected);
    EXPECT_EQ(LogText(), u"Item Name:\tJane Doe Weekly team meeting\r\n");
}

// A three-day event: whole days, the end the day after the last.
TEST_F(CalendarSeriesTest, AllDayEventAsDates) {
    EXPECT_EQ(Ics(308),
              "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
              "CREATED:20180501T100000\r\n"
              "DTEND;VALUE=DATE:20180618\r\n"
              "DTSTART;VALUE=DATE:20180615\r\n"
              "LAST-MOD:20180501T100000\r\n"
              "SUMMARY;CHARSET=utf-8:Trade fair\r\n" +
                  kTail + "END:VCALENDAR\r\n");
}

// An anniversary kept at local midnight in New York (4:00 Greenwich time)
// is 4 July each year; 2021 was deleted.
TEST_F(CalendarSeriesTest, AnniversaryIsAYearlyWholeDay) {
    EXPECT_EQ(Ics(312),
              "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
              "CREATED:20190601T100000\r\n"
              "DTEND;VALUE=DATE:20190705\r\n"
              "DTSTART;VALUE=DATE:20190704\r\n"
              "RRULE:FREQ=YEARLY;COUNT=4;INTERVAL=1;BYMONTH=7;BYMONTHDAY=4\r\n"
              "EXDATE;VALUE=DATE:20210704\r\n"
              "LAST-MOD:20210705T100000\r\n"
              "UID:00000000000000000000000000000138\r\n"
              "SUMMARY;CHARSET=utf-8:Founding day\r\n" +
                  kTail + "END:VCALENDAR\r\n");
}

// Dates without a pattern, and without a zone: Greenwich time.
TEST_F(CalendarSeriesTest, CustomDatesAreListed) {
    const std::string zone = ";TZID=\"Greenwich Mean Time\":";
    EXPECT_EQ(Ics(320),
              "BEGIN:VCALENDAR\r\n"
              "BEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\n"
              "BEGIN:STANDARD\r\nDTSTART:16010101T000000\r\nTZOFFSETFROM:+0000\r\nTZOFFSETTO:+0000\r\nEND:STANDARD\r\n"
              "END:VTIMEZONE\r\n"
              "BEGIN:VEVENT\r\n"
              "CREATED:20171201T100000\r\n"
              "DTEND" + zone + "20180105T130000\r\n"
              "DTSTART" + zone + "20180105T120000\r\n"
              "RDATE" + zone + "20180220T120000\r\n"
              "RDATE" + zone + "20180307T120000\r\n"
              "LAST-MOD:20171201T100000\r\n"
              "UID:00000000000000000000000000000140\r\n"
              "SUMMARY;CHARSET=utf-8:Audits\r\n" +
                  kTail + "END:VCALENDAR\r\n");
}

// A reminder is an instant: it ends when it starts.
TEST_F(CalendarSeriesTest, ReminderEndsWhenItStarts) {
    const std::string zone = ";TZID=\"Greenwich Mean Time\":";
    EXPECT_EQ(Ics(324),
              "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
              "CREATED:20180501T100000\r\n"
              "DTEND" + zone + "20180502T073000\r\n"
              "DTSTART" + zone + "20180502T073000\r\n"
              "LAST-MOD:20180501T100000\r\n"
              "SUMMARY;CHARSET=utf-8:Call the bank\r\n" +
                  kTail + "END:VCALENDAR\r\n");
    EXPECT_EQ(record.endText, record.startText);
}

struct IdentityCase {
    LNNOTEID noteId;
    std::u16string uid;
    uint8_t isMeeting, ownerIsChair, allDay;
    size_t occurrences;
};

// The meeting's identity and whose it is go to the store as properties: a
// single entry's file has no UID (nor METHOD) line.
TEST_F(CalendarSeriesTest, IdentityAndSeriesInTheRecord) {
    const IdentityCase cases[] = {
        {300, u"A1B2C3D4E5F60718293A4B5C6D7E8F90", 1, 1, 0, 4},
        {304, u"B1B2C3D4E5F60718293A4B5C6D7E8F91", 1, 0, 0, 1},  // an invitation Bob sent to Jane
        {308, u"00000000000000000000000000000134", 0, 0, 1, 1},
        {312, u"00000000000000000000000000000138", 0, 0, 1, 3},
        {316, u"0000000000000000000000000000013C", 0, 0, 0, 4},
    };
    for (const IdentityCase& c : cases) {
        SCOPED_TRACE(c.noteId);
        const std::string ics = Ics(c.noteId);
        EXPECT_EQ(record.uid, c.uid);
        EXPECT_EQ(record.isMeeting, c.isMeeting);
        EXPECT_EQ(record.ownerIsChair, c.ownerIsChair);
        EXPECT_EQ(record.allDay, c.allDay);
        EXPECT_EQ(record.occurrences.size(), c.occurrences);
        EXPECT_EQ(ics.find("METHOD:"), std::string::npos);
        EXPECT_EQ(ics.find("UID:") != std::string::npos, c.occurrences >= 2);
    }
}

}  // namespace

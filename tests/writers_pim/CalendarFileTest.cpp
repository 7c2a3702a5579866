// iCalendar files written from records, compared byte for byte with files
// spelled out by hand.
#include <gtest/gtest.h>

#include "PimFixture.h"
#include "platform/sys/Text.h"
#include "worker/writers/CalendarWriter.h"

namespace {

class CalendarFileTest : public CPimFixture {
protected:
    std::string Event(const CalendarRecord& record) {
        const std::u16string path = TempFile("4t.ics");
        EXPECT_EQ(WriteCalendarFile(*converter, record, path, 0), 1);
        return ReadBytes(path);
    }
};

const std::string kHead = "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n";
const std::string kTail = "END:VEVENT\r\nEND:VCALENDAR\r\n";

TEST(ICalendarTimeTest, PartsPaddedToTwoDigitsYearFirst) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"2/5/2018 9:7:30", u"20180205T090730"},
        {u"12/31/1999 23:59:59", u"19991231T235959"},
        {u"1/1/2000 0:0:0", u"20000101T000000"},
        {u"7/4/12345 1:2:3", u"123450704T010203"},
        {u"2/5/2018", u"T"},
        {u"", u"T"},
    };
    for (const auto& [text, time] : cases) EXPECT_EQ(ICalendarTime(text), time) << sys::Utf16ToUtf8(text);
}

TEST_F(CalendarFileTest, EveryLineInItsOrder) {
    CalendarRecord r;
    r.startTimeZone = u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=25$ZN=W. Europe";
    r.createdText = u"2/5/2018 9:7:30";
    r.startText = u"3/1/2018 8:0:0";
    r.endText = u"3/1/2018 9:30:0";
    r.lastModifiedText = u"2/6/2018 10:11:12";
    r.summary = u"Budget review";
    r.organizer = u"jane@acme.example";
    r.requiredAttendees = u"John Smith;bob@example.com";
    r.optionalAttendees = u"Ann";
    r.description = u"First paragraph\r\nSecond paragraph";
    r.location = u"Room 1;Room 2";
    r.categories = u"Work;Finance";
    r.importance = 2;
    r.alarmEnabled = 1;
    r.alarmOffsetMinutes = -15;
    const std::string expected =
        "BEGIN:VCALENDAR\r\n"
        "BEGIN:VTIMEZONE\r\n"
        "TZID:Greenwich Mean Time\r\n"
        "END:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\n"
        "CREATED:20180205T090730\r\n"
        "DTEND;TZID=\"Greenwich Mean Time\":20180301T093000\r\n"
        "DTSTART;TZID=\"Greenwich Mean Time\":20180301T080000\r\n"
        "LAST-MOD:20180206T101112\r\n"
        "SUMMARY;CHARSET=utf-8:Budget review\r\n"
        "ORGANIZER;CN=\"jane@acme.example\"\r\n"
        "ATTENDEE;CN=\"John Smith;bob@example.com\"\r\n"
        "DESCRIPTION;CHARSET=utf-8:First paragraph\r\\nSecond paragraph\r\n"
        "LOCATION;CHARSET=utf-8:Room 1;Room 2\r\n"
        "CATEGORIES:Work,Finance\r\n"
        "X-MICROSOFT-CDO-IMPORTANCE:2\r\n"
        "BEGIN:VALARM\r\n"
        "TRIGGER:-PT-15M\r\n"
        "ACTION:DISPLAY\r\n"
        "DESCRIPTION:Reminder\r\n"
        "END:VALARM\r\n"
        "END:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    EXPECT_EQ(Event(r), expected);
    EXPECT_EQ(LogText(), u"Item Name:\tjane@acme.example Budget review\r\n");
    EXPECT_EQ(app.errorCount, 0u);
}

// No start fields and no "StartTimeZone": no DTSTART or DTEND, and the
// time-zone block is only its begin and end.
TEST_F(CalendarFileTest, EmptyRecordGivesTheSkeletonEvent) {
    EXPECT_EQ(Event(CalendarRecord()), kHead + "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:0\r\n" + kTail);
    EXPECT_EQ(LogText(), u"Item Name:\t\r\n");
}

TEST_F(CalendarFileTest, StartWithoutTimeZoneStillNamesGreenwich) {
    CalendarRecord r;
    r.startText = u"10/9/2021 14:5:0";
    r.endText = u"10/9/2021 15:5:0";
    r.summary = u"Call";
    EXPECT_EQ(Event(r), kHead +
                            "DTEND;TZID=\"Greenwich Mean Time\":20211009T150500\r\n"
                            "DTSTART;TZID=\"Greenwich Mean Time\":20211009T140500\r\n"
                            "SUMMARY;CHARSET=utf-8:Call\r\n"
                            "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:0\r\n" +
                            kTail);
    EXPECT_EQ(LogText(), u"Item Name:\tCall\r\n");
}

struct AlarmCase {
    int32_t offset;
    std::string lines;
};

TEST_F(CalendarFileTest, AlarmBlockWithTriggerOnlyForANonZeroOffset) {
    const AlarmCase cases[] = {
        {0, "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"},
        {-15, "BEGIN:VALARM\r\nTRIGGER:-PT-15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"},
        {30, "BEGIN:VALARM\r\nTRIGGER:-PT30M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"},
    };
    for (const AlarmCase& c : cases) {
        SCOPED_TRACE(c.offset);
        CalendarRecord r;
        r.alarmEnabled = 1;
        r.alarmOffsetMinutes = c.offset;
        r.importance = 1;
        EXPECT_EQ(Event(r), kHead + "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:1\r\n" + c.lines + kTail);
    }
    CalendarRecord disabled;
    disabled.alarmOffsetMinutes = -15;
    EXPECT_EQ(Event(disabled), kHead + "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:0\r\n" + kTail);
}

TEST_F(CalendarFileTest, DescriptionLineFeedsBecomeEscapes) {
    CalendarRecord r;
    r.description = u"One\nTwo\r\n\r\nThree";
    r.importance = -1;
    EXPECT_EQ(Event(r), kHead + "DESCRIPTION;CHARSET=utf-8:One\\nTwo\r\\n\r\\nThree\r\n"
                                "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:-1\r\n" +
                            kTail);
}

// Organizer, attendees and categories go out in the ANSI code page;
// summary, description and location in UTF-8 whatever the code page.
TEST_F(CalendarFileTest, AnsiLinesFollowTheCodePage) {
    CalendarRecord r;
    r.summary = u"R\u00e9union";
    r.organizer = u"Ren\u00e9e \u0434";
    r.requiredAttendees = u"Zo\u00eb";
    r.location = u"Caf\u00e9";
    r.categories = u"\u00c9t\u00e9;X";
    const std::string summary = "SUMMARY;CHARSET=utf-8:R\xC3\xA9union\r\n";
    const std::string utf8Tail = "LOCATION;CHARSET=utf-8:Caf\xC3\xA9\r\n";

    SetEnv("NSF2PST_CODEPAGE", "windows-1252");
    EXPECT_EQ(Event(r), kHead + summary + "ORGANIZER;CN=\"Ren\xE9" "e ?\"\r\nATTENDEE;CN=\"Zo\xEB\"\r\n" + utf8Tail +
                            "CATEGORIES:\xC9t\xE9,X\r\nX-MICROSOFT-CDO-IMPORTANCE:0\r\n" + kTail);

    UnsetEnv("NSF2PST_CODEPAGE");
    if (sys::AnsiCodePageName() != "UTF-8") GTEST_SKIP() << "default code page is " << sys::AnsiCodePageName();
    EXPECT_EQ(Event(r), kHead + summary + "ORGANIZER;CN=\"Ren\xC3\xA9" "e \xD0\xB4\"\r\nATTENDEE;CN=\"Zo\xC3\xAB\"\r\n" +
                            utf8Tail + "CATEGORIES:\xC3\x89t\xC3\xA9,X\r\nX-MICROSOFT-CDO-IMPORTANCE:0\r\n" + kTail);
}

TEST_F(CalendarFileTest, FileThatCannotBeCreatedIsCountedAndLogged) {
    EXPECT_EQ(WriteCalendarFile(*converter, CalendarRecord(), TempFile("missing/4t.ics"), 0), 0);
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_EQ(LogText(), u"ERROR:Invalid Path. Calendar Entry cannot be dump. \r\n");
}

// The document is opened again for its attachments; without a database
// that fails and ends the writer with its error line. The file written so
// far stays.
TEST_F(CalendarFileTest, FailureWhileWritingIsCountedAndLogged) {
    CalendarRecord r;
    r.summary = u"S";
    r.attachmentNames = u"a.txt, ";
    const std::u16string path = TempFile("4t.ics");
    EXPECT_EQ(WriteCalendarFile(*converter, r, path, 4), 0);
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_EQ(LogText(), u"Item Name:\tS\r\nAttachments:\tERROR:Calendar Entry is Not Dump \r\n");
    EXPECT_EQ(ReadBytes(path), kHead + "SUMMARY;CHARSET=utf-8:S\r\n");
}

}  // namespace

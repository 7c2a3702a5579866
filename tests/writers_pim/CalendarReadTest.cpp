// Calendar entries read from a Notes database and written as .ics files:
// the form walk for start and end, Greenwich time, time zones, alarm,
// descriptions and their fall-backs, addresses, attachments and document
// links.
#include <gtest/gtest.h>

#include "PimFixture.h"
#include "platform/notes/LNErrors.h"
#include "platform/sys/Text.h"
#include "worker/writers/CalendarWriter.h"

namespace {

const std::string kAttach = "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=";
const std::string kLink1 =
    "PE5ETD4NCjxSRVBMSUNBIDg1MjU3QTFCOjAwNDlEN0UyPg0KPFZJRVcgT0YwMDAwMDAwMTowMDAwMDAwMi1PTjAwMDAwMDAzOjAwMDAwMDA0Pg0K"
    "PE5PVEUgT0YwMDAwMDAwQTowMDAwMDAwQi1PTjAwMDAwMDBDOjAwMDAwMDBEPg0KPFJFTT5UaGUgYnVkZ2V0PC9SRU0+DQo8L05ETD4=";
const std::string kLink2 =
    "PE5ETD4NCjxSRVBMSUNBIDAwMDAwMDNDOjAwMDAxQTJCPg0KPFZJRVcgT0YxMTExMTExMToyMjIyMjIyMi1PTjMzMzMzMzMzOjQ0NDQ0NDQ0Pg0K"
    "PE5PVEUgT0Y1NTU1NTU1NTo2NjY2NjY2Ni1PTjc3Nzc3Nzc3Ojg4ODg4ODg4Pg0KPFJFTT5NaW51dGVzPC9SRU0+DQo8L05ETD4=";

class CalendarReadTest : public CCalendarFixture {
protected:
    CalendarReadTest() : CCalendarFixture("calendar.json") {}
};

TEST_F(CalendarReadTest, EntryFieldsInGreenwichTime) {
    ReadCalendarEntry(*converter, 200, record);
    EXPECT_EQ(record.startText, u"3/1/2018 8:0:0");
    EXPECT_EQ(record.endText, u"3/1/2018 9:30:0");
    EXPECT_EQ(record.createdText, u"2/5/2018 9:7:30") << "creation time stays in its own zone";
    EXPECT_EQ(record.lastModifiedText, u"2/6/2018 10:11:12");
    EXPECT_EQ(record.startTimeZone, u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=25$ZN=W. Europe");
    EXPECT_EQ(record.endTimeZone, u"Z=-1$DO=1;ZN=W. Europe");
    EXPECT_EQ(record.alarmEnabled, 1);
    EXPECT_EQ(record.alarmOffsetMinutes, -15);
    EXPECT_EQ(record.summary, u"Budget review");
    EXPECT_EQ(record.description, u"First paragraph\r\nSecond paragraph");
    EXPECT_EQ(record.descriptionIsHtml, 0);
    EXPECT_EQ(record.requiredAttendees, u"CN=John Smith/O=Acme;bob@example.com");
    EXPECT_EQ(record.optionalAttendees, u"CN=Ann Lee/O=Acme");
    EXPECT_EQ(record.organizer, u"Jane Doe");
    EXPECT_EQ(record.sendTo, u"John Smith;bob@example.com");
    EXPECT_EQ(record.copyTo, u"Carl Cole");
    EXPECT_EQ(record.blindCopyTo, u"");
    EXPECT_EQ(record.categories, u"Work;Finance");
    EXPECT_EQ(record.location, u"Room 1");
    EXPECT_EQ(record.importance, 2);
    EXPECT_EQ(record.attachmentNames, u"agenda.txt, ");
    EXPECT_EQ(LogText(), u"");
}

TEST_F(CalendarReadTest, WholeEventWithAttachment) {
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
        "ORGANIZER;CN=\"Jane Doe\"\r\n"
        "ATTENDEE;CN=\"CN=John Smith/O=Acme;bob@example.com\"\r\n" +
        kAttach + "\"agenda.txt\":YWdlbmRh\r\n"
        "DESCRIPTION;CHARSET=utf-8:First paragraph\r\\nSecond paragraph\r\n"
        "LOCATION;CHARSET=utf-8:Room 1\r\n"
        "CATEGORIES:Work,Finance\r\n"
        "X-MICROSOFT-CDO-IMPORTANCE:2\r\n"
        "BEGIN:VALARM\r\n"
        "TRIGGER:-PT-15M\r\n"
        "ACTION:DISPLAY\r\n"
        "DESCRIPTION:Reminder\r\n"
        "END:VALARM\r\n"
        "END:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    EXPECT_EQ(Ics(200), expected);
    EXPECT_EQ(LogText(), u"Item Name:\tJane Doe Budget review\r\nAttachments:\tagenda.txt,\r\n");
    EXPECT_EQ(TempFiles(), std::vector<std::string>{"200t.ics"}) << "the detached file is deleted";
}

// A form whose "StartDate" field is no date/time field: no start and end;
// no "StartTimeZone" item: the time-zone block stays empty; no categories;
// an alarm without offset has no trigger.
TEST_F(CalendarReadTest, EntryWithoutStartFields) {
    const std::string expected =
        "BEGIN:VCALENDAR\r\n"
        "BEGIN:VTIMEZONE\r\n"
        "END:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\n"
        "CREATED:20200704T120000\r\n"
        "LAST-MOD:20200704T123000\r\n"
        "SUMMARY;CHARSET=utf-8:Status meeting\r\n"
        "DESCRIPTION;CHARSET=utf-8:Plain body\r\n"
        "CATEGORIES:NONE\r\n"
        "X-MICROSOFT-CDO-IMPORTANCE:1\r\n"
        "BEGIN:VALARM\r\n"
        "ACTION:DISPLAY\r\n"
        "DESCRIPTION:Reminder\r\n"
        "END:VALARM\r\n"
        "END:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    EXPECT_EQ(Ics(204), expected);
    EXPECT_EQ(record.startText, u"");
    EXPECT_EQ(record.endText, u"");
    EXPECT_EQ(LogText(), u"Item Name:\tStatus meeting\r\n");
}

// A start field on the form but no times in the document: no DTSTART or
// DTEND rather than a time made of zeros.
TEST_F(CalendarReadTest, StartFieldWithoutTimesGivesNoStartOrEnd) {
    EXPECT_EQ(Ics(232), "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\nEND:VTIMEZONE\r\n"
                        "BEGIN:VEVENT\r\nCREATED:20210102T030405\r\nLAST-MOD:20210102T030405\r\n"
                        "SUMMARY;CHARSET=utf-8:No times\r\nCATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:1\r\n"
                        "END:VEVENT\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(record.startText, u"");
    EXPECT_EQ(record.endText, u"");
}

TEST_F(CalendarReadTest, DocumentLinksEmbeddedWhenKept) {
    app.settings.saveDocLinks = 1;
    ReadCalendarEntry(*converter, 208, record);
    const std::string description = sys::Utf16ToUtf8(record.description);
    EXPECT_EQ(description.substr(0, 4), "See:");
    std::string escaped;
    for (char c : description) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    const std::string expected =
        "BEGIN:VCALENDAR\r\n"
        "BEGIN:VTIMEZONE\r\n"
        "END:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\n"
        "CREATED:20210102T030405\r\n"
        "DTEND;TZID=\"Greenwich Mean Time\":20210110T090000\r\n"
        "DTSTART;TZID=\"Greenwich Mean Time\":20210110T080000\r\n"
        "LAST-MOD:20210102T030405\r\n"
        "SUMMARY;CHARSET=utf-8:Links\r\n" +
        kAttach + "\"1.ndl\":" + kLink1 + "\r\n" + kAttach + "\"2.ndl\":" + kLink2 + "\r\n" +
        "DESCRIPTION;CHARSET=utf-8:" + escaped + "\r\n"
        "CATEGORIES:NONE\r\n"
        "X-MICROSOFT-CDO-IMPORTANCE:1\r\n"
        "END:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    EXPECT_EQ(Ics(208), expected);
    EXPECT_EQ(LogText(), u"Item Name:\tLinks\r\nLink Documents :\t1.ndl,2.ndl,\r\n");
    EXPECT_EQ(TempFiles(), std::vector<std::string>{"208t.ics"}) << "link files are deleted";
}

TEST_F(CalendarReadTest, DocumentLinksLeftOutByDefault) {
    const std::string ics = Ics(208);
    EXPECT_EQ(ics.find("ATTACH"), std::string::npos);
    EXPECT_EQ(LogText(), u"Item Name:\tLinks\r\n");
}

TEST_F(CalendarReadTest, SealedBodyOnlyWhenDecryptionIsAsked) {
    ReadCalendarEntry(*converter, 212, record);
    EXPECT_EQ(record.summary, u"Sealed");
    EXPECT_EQ(record.description, u"");
    app.settings.removeEncryption = 1;
    ReadCalendarEntry(*converter, 212, record);
    EXPECT_EQ(record.description, u"Secret body");
    EXPECT_EQ(record.descriptionIsHtml, 0);
}

TEST_F(CalendarReadTest, HtmlBodyInEitherCharacterWidth) {
    for (LNNOTEID noteId : {216u, 220u}) {
        ReadCalendarEntry(*converter, noteId, record);
        EXPECT_EQ(record.description, u"<p>Gr\u00fc\u00dfe</p>") << noteId;
        EXPECT_EQ(record.descriptionIsHtml, 1) << noteId;
    }
    EXPECT_NE(Ics(216).find("DESCRIPTION;CHARSET=utf-8:<p>Gr\xC3\xBC\xC3\x9F" "e</p>\r\n"), std::string::npos);
}

TEST_F(CalendarReadTest, AltSendToStandsInForEmptyInternetAddresses) {
    ReadCalendarEntry(*converter, 224, record);
    EXPECT_EQ(record.sendTo, u"jane@acme.com;bob@example.com");
}

TEST_F(CalendarReadTest, NotesErrorEndsTheReadingAndIsLogged) {
    ReadCalendarEntry(*converter, 200, record);
    ReadCalendarEntry(*converter, 228, record);  // its form is not in the database
    EXPECT_EQ(record.summary, u"");
    EXPECT_EQ(record.attachmentNames, u"");
    char text[512] = {};
    LNGetErrorMessageText(ERR_INVALID_NOTE, text, sizeof text);
    EXPECT_EQ(LogText(), sys::AnsiToUtf16(text) + u"\r\n");
    ReadCalendarEntry(*converter, 999, record);  // no such document: nothing to read, nothing logged
    EXPECT_EQ(LogText(), sys::AnsiToUtf16(text) + u"\r\n");
}

}  // namespace

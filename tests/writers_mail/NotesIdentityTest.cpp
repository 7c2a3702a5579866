// What the readers take of a document for the store besides its texts: the
// document's own times and Internet message identifiers, and the task's
// start and due with the instants their days begin, wherever the host is.
#include <ctime>

#include "WriterFixture.h"
#include "worker/writers/ContactRecord.h"
#include "worker/writers/ContactWriter.h"

namespace {

constexpr char description[] = R"({
  "title": "Identity",
  "forms": {
    "Task": [{"name": "Subject", "type": "text"}, {"name": "StartDate", "type": "datetime"},
             {"name": "tmpStartDate", "type": "datetime"}, {"name": "DueDate", "type": "datetime"}],
    "Person": [{"name": "FullNameInput", "type": "text"}],
    "Group": [{"name": "ListName", "type": "text"}]
  },
  "documents": [
    {"noteId": 2310, "form": "Memo", "created": "2013-03-05T14:07:09+01:00", "modified": "2013-07-06T08:00:30+02:00",
     "items": {"Subject": "Re: plan", "$MessageID": " <OF1.2@acme.example> ", "In_Reply_To": "<OF0.1@acme.example>",
               "References": ["<OF0.0@acme.example>", "<OF0.1@acme.example>"]}},
    {"noteId": 2314, "form": "Memo", "created": "2014-01-02T23:30:00-05:00",
     "items": {"$MessageID": "bare.id@acme.example", "References": "<a@x>\r\n\t<b@x>  <c@x>"}},
    {"noteId": 2318, "form": "Memo", "items": {"Subject": "No identifiers"}},
    {"noteId": 2410, "form": "Task", "items": {"Subject": "Start only in StartDate",
       "StartDate": {"datetime": "2024-02-03T09:00:00+01:00"}, "DueDate": {"datetime": "2024-02-10T17:30:00-05:00"}}},
    {"noteId": 2414, "form": "Task", "items": {"tmpStartDate": {"datetimes": ["2024-03-01"]}}},
    {"noteId": 2418, "form": "Task", "items": {"StartDate": {"datetime": "2024-02-03T09:00:00+01:00"},
       "tmpStartDate": {"datetimes": ["2024-02-05T08:00:00+01:00", "2024-02-06T08:00:00+01:00"]}}},
    {"noteId": 2422, "form": "Task", "items": {"StartDate": {"datetime": "2024-07-01T00:30:00+02:00", "dst": true}}},
    {"noteId": 2426, "form": "Task", "items": {"tmpStartDate": {"datetime": "2024-07-02T03:00:00+05:30"}}},
    {"noteId": 2510, "form": "Person", "created": "2015-01-02T10:00:00+01:00", "modified": "2015-01-03T11:00:00+01:00",
     "items": {"FullNameInput": "Ann Lee"}},
    {"noteId": 2514, "form": "Group", "created": "2016-06-02T10:00:00+02:00", "modified": "2016-06-03T11:00:00+02:00",
     "items": {"ListName": "Team", "Members": "a@x.org"}}
  ]
})";

class NotesIdentityTest : public CWriterFixture {
protected:
    void SetUp() override
    {
        CWriterFixture::SetUp();
        // A host west of Greenwich: the instants must come from the Notes
        // values' own zones, never from the host's.
        SetEnv("TZ", "America/New_York");
        tzset();
        OpenDatabaseFromText(description);
    }
};

TEST_F(NotesIdentityTest, MailKeepsItsTimesAndMessageIdentifiers)
{
    struct {
        LNNOTEID noteId;
        NotesIdentity expected;
    } cases[] = {
        {2310, {u"3/5/2013 13:7:9", u"7/6/2013 6:0:30", u"<OF1.2@acme.example>", u"<OF0.1@acme.example>",
                u"<OF0.0@acme.example> <OF0.1@acme.example>"}},
        // No "Subject" item: the message stays empty, the identity does not;
        // a time the note lacks stays empty.
        {2314, {u"1/3/2014 4:30:0", u"", u"<bare.id@acme.example>", u"", u"<a@x> <b@x> <c@x>"}},
        {2318, {}},
    };
    for (const auto& c : cases) {
        mail.Clear();
        ReadMailRecord(*converter, c.noteId, mail);
        const NotesIdentity& got = mail.identity;
        EXPECT_EQ(got.createdText, c.expected.createdText) << c.noteId;
        EXPECT_EQ(got.messageIdText, c.expected.messageIdText) << c.noteId;
        EXPECT_EQ(got.inReplyToText, c.expected.inReplyToText) << c.noteId;
        EXPECT_EQ(got.referencesText, c.expected.referencesText) << c.noteId;
        EXPECT_EQ(got.lastModifiedText, c.expected.lastModifiedText) << c.noteId;
    }
}

TEST_F(NotesIdentityTest, TaskDatesComeFromTheFieldThatHoldsAValue)
{
    struct {
        LNNOTEID noteId;
        std::u16string start, startInstant, due, dueInstant;
    } cases[] = {
        // The empty "tmpStartDate" after "StartDate" leaves the start alone;
        // the day of 3 February begins at 23:00 the day before in Greenwich.
        {2410, u"02/03/2024 09:00:00", u"2/2/2024 23:0:0", u"02/10/2024 17:30:00", u"2/10/2024 5:0:0"},
        // A date without time has no zone: no instant.
        {2414, u"03/01/2024", u"", u"", u""},
        // Both fields filled: the later one wins, and a list has no instant.
        {2418, u"02/05/2024 08:00:00;02/06/2024 08:00:00", u"", u"", u""},
        // Daylight time: Berlin summer midnight is 22:00 Greenwich time.
        {2422, u"07/01/2024 00:30:00", u"6/30/2024 22:0:0", u"", u""},
        {2426, u"07/02/2024 03:00:00", u"7/1/2024 18:30:0", u"", u""},
    };
    for (const auto& c : cases) {
        task.Clear();
        ReadTaskRecord(*converter, c.noteId, task);
        EXPECT_EQ(task.StartDateText, c.start) << c.noteId;
        EXPECT_EQ(task.startInstantText, c.startInstant) << c.noteId;
        EXPECT_EQ(task.DueDateText, c.due) << c.noteId;
        EXPECT_EQ(task.dueInstantText, c.dueInstant) << c.noteId;
    }
}

TEST_F(NotesIdentityTest, ContactsAndGroupsKeepTheirTimes)
{
    ContactRecord contact;
    ReadContact(*converter, 2510, contact);
    EXPECT_EQ(contact.identity.createdText, u"1/2/2015 9:0:0");
    EXPECT_EQ(contact.identity.lastModifiedText, u"1/3/2015 10:0:0");
    ReadContact(*converter, 2514, contact);
    EXPECT_EQ(contact.identity.createdText, u"6/2/2016 8:0:0");
    EXPECT_EQ(contact.identity.lastModifiedText, u"6/3/2016 9:0:0");
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/notes/NotesState.h"
#include "platform/sys/Text.h"
#include "tests/notes/TestDatabase.h"

namespace {

const char* const kMailbox = R"J({
  "title": "Box", "replicaId": "0000003C00001A2B",
  "forms": {"Task": [{"name": "Subject", "type": "text"}, {"name": "tmpStartDate", "type": "datetime"},
                     {"name": "Body", "type": "richtext"}]},
  "documents": [
    {"noteId": 100, "form": "Memo", "created": "2013-03-05T14:07:09+01:00",
     "items": {"Subject": ["Hello", "World"], "From": "CN=John Smith/O=Acme", "SendTo": ["a@x", "b@x"],
               "CopyTo": "c@x", "Importance": "1", "Categories": ["Work", "Q1"],
               "Body": {"richtext": ["Line one", {"text": " bold", "bold": true}, "Line two",
                 {"doclink": {"replicaId": "0000003C00001A2B", "view": "000000010000000200000003000000AA",
                              "document": "0000000500000006000000070000000B", "description": "Budget"}},
                 {"doclink": {"replicaId": "0000000100000002", "description": "Other db"}}]}},
     "attachments": [{"name": "a b.txt", "text": "alpha"}, {"name": "Фото.bin", "base64": "AAEC"}]},
    {"noteId": 104, "form": "Memo", "encrypted": true,
     "items": {"Subject": "Secret", "Body": {"richtext": ["classified"]}}},
    {"noteId": 108, "form": "Appointment",
     "items": {"StartDateTime": {"datetime": "2013-03-05T10:00:00+01:00"},
               "EndDateTime": {"datetime": "2013-03-05T11:30:00+01:00"},
               "Repeats": "1", "OrgConfidential": "1", "$Alarm": {"number": 1}, "$AlarmOffset": {"number": -15},
               "$AlarmDescription": "Soon", "AppointmentType": "3", "Subject": "Meeting",
               "Body": "Agenda text", "RequiredAttendees": ["x", "y"], "Importance": "3"}},
    {"noteId": 112, "form": "Task", "items": {"Subject": "Do it", "Importance": "2",
     "tmpStartDate": {"datetimes": ["2013-03-05T10:00:00+01:00", "2013-03-06"]},
     "HtmlU": {"html": "<b>wide</b>"}, "HtmlA": {"html": "<b>narrow é</b>", "charset": "ansi"}}}
  ],
  "views": [{"name": "($Inbox)", "folder": true, "noteId": 500, "type": 0,
             "entries": [100, {"noteId": 104, "unread": true}, null, 108]}]
})J";

class LNClasses : public ::testing::Test {
protected:
    LNClasses() : db(kMailbox) { db.Open(); }
    std::string Utf8(const LNString& s) { return sys::Utf16ToUtf8(sys::LmbcsToUtf16(s.GetBytes())); }
    CTestDatabase db;
};

TEST_F(LNClasses, ViewEntriesCarryUnreadMarksAndNullEntries) {
    LNViewFolder view;
    ASSERT_EQ(db.database.GetViewFolder(500, &view), 0u);
    ASSERT_EQ(view.Open(0x10001), 0u);
    ASSERT_EQ(view.GetEntryCount(), 4);
    EXPECT_FALSE(view[0].IsUnread());
    EXPECT_TRUE(view[1].IsUnread());
    EXPECT_TRUE(view[2].IsNull());
    EXPECT_EQ(view[3].GetNoteID(), 108u);
    EXPECT_THROW(view[4], LNSTATUS);
    EXPECT_TRUE(view.IsFolder());
    EXPECT_STREQ(view.GetName(), "($Inbox)");
    LNDocument doc;
    ASSERT_EQ(view[1].GetDocument(&doc), 0u);
    EXPECT_EQ(doc.GetNoteID(), 104u);
    std::vector<LNViewFolder> all;
    ASSERT_EQ(db.database.GetViewFolders(&all, 1), 0u);
    // Task 112 is in no view: the folder of unlisted documents holds it.
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].GetNoteID(), notes::kUnfiledFolderId);
    ASSERT_EQ(all[1].GetEntryCount(), 1);
    EXPECT_EQ(all[1][0].GetNoteID(), 112u);
    EXPECT_NE(db.database.GetViewFolder(100, &view), 0u);   // a document is not a view
}

TEST_F(LNClasses, MailMessageReadsTheTemplateItems) {
    LNDocument doc = db.OpenDocument(100);
    LNMailMessage mail = doc;
    ASSERT_EQ(mail.Open(0), 0u);
    EXPECT_STREQ(mail.GetSubject().GetText(), "Hello;World");
    EXPECT_STREQ(mail.GetSender().GetText(), "CN=John Smith/O=Acme");
    EXPECT_STREQ(mail.GetRecipients(0).GetText(), "a@x;b@x");
    EXPECT_STREQ(mail.GetRecipients(1).GetText(), "c@x");
    EXPECT_STREQ(mail.GetRecipients(2).GetText(), "");
    EXPECT_EQ(mail.GetMailImportance(), 2);
    LNINT m = -1, d = -1, y = -1;
    mail.GetDateSent().GetDate(&m, &d, &y);   // no PostedDate: all parts 0
    EXPECT_EQ(m + d + y, 0);
    EXPECT_STREQ(mail.GetCategories().GetText(), "Work;Q1");
    EXPECT_EQ(std::string(mail.GetBody().GetText()), "Line one bold\r\nLine two");
    EXPECT_STREQ(doc.GetFormName(), "Memo");
    LNINT h, mi, s;
    doc.GetCreated().GetTime(&h, &mi, &s);
    EXPECT_EQ(h * 10000 + mi * 100 + s, 140709);
}

TEST_F(LNClasses, ImportanceMapping) {
    struct { LNNOTEID id; LNINT expected; } cases[] = {{100, 2}, {108, 0}, {112, 1}, {104, 1}};
    for (const auto& c : cases) {
        LNMailMessage mail = db.OpenDocument(c.id);
        ASSERT_EQ(mail.Open(), 0u);
        EXPECT_EQ(mail.GetMailImportance(), c.expected) << c.id;
    }
}

TEST_F(LNClasses, ItemsReportTypesSizesAndRawValues) {
    LNDocument doc = db.OpenDocument(112);
    struct { const char* name; LNITEMTYPE type; } cases[] = {
        {"Subject", LNITEMTYPE_TEXT}, {"tmpStartDate", LNITEMTYPE_DATETIMES}, {"HtmlU", LNITEMTYPE_HTML}};
    for (const auto& c : cases) {
        LNItem item;
        ASSERT_EQ(doc.GetItem(c.name, &item), 0u) << c.name;
        EXPECT_EQ(item.GetType(), c.type) << c.name;
    }
    LNItem missing;
    EXPECT_EQ(doc.GetItem("Nope", &missing), static_cast<LNSTATUS>(ERR_ITEM_NOT_FOUND));
    LNText wrong;
    EXPECT_EQ(doc.GetItem("tmpStartDate", &wrong), static_cast<LNSTATUS>(ERR_ITEM_DATATYPE));
    LNDatetimes times;
    ASSERT_EQ(doc.GetItem("tmpStartDate", &times), 0u);
    EXPECT_STREQ(times.GetText(), "03/05/2013 10:00:00;03/06/2013");
    EXPECT_TRUE(doc.HasItem("subject"));   // item names ignore letter case
}

TEST_F(LNClasses, HtmlItemsStoredAsUtf16AndAnsiReadBack) {
    LNDocument doc = db.OpenDocument(112);
    struct { const char* name; bool wide; const char* text; } cases[] = {
        {"HtmlU", true, "<b>wide</b>"}, {"HtmlA", false, "<b>narrow é</b>"}};
    for (const auto& c : cases) {
        LNItem item;
        ASSERT_EQ(doc.GetItem(c.name, &item), 0u);
        std::string raw(static_cast<size_t>(item.GetValueSize()), '\0');
        ASSERT_EQ(item.Read(raw.data(), item.GetValueSize()), 0u);
        EXPECT_EQ(static_cast<uint8_t>(raw[0]) | static_cast<uint8_t>(raw[1]) << 8, 21);
        EXPECT_EQ(raw[3] == '\0', c.wide) << c.name;
        std::string body = raw.substr(2);
        std::u16string text = c.wide ? sys::FromUtf16LeBytes(body) : sys::AnsiToUtf16(body);
        EXPECT_EQ(sys::Utf16ToUtf8(text), c.text);
    }
}

TEST_F(LNClasses, EncryptedBodyIsInvisibleUntilDecrypted) {
    LNDocument doc = db.OpenDocument(104);
    EXPECT_TRUE(doc.IsEncrypted());
    EXPECT_TRUE(doc.HasItem("Subject"));
    EXPECT_FALSE(doc.HasItem("Body"));
    LNRichText body;
    EXPECT_NE(doc.GetItem("Body", &body), 0u);
    ASSERT_EQ(doc.Decrypt(), 0u);
    ASSERT_EQ(doc.GetItem("Body", &body), 0u);
    EXPECT_STREQ(body.GetText(), "classified");
    doc.Close();
    LNDocument again = db.OpenDocument(104);   // reopened: sealed again
    EXPECT_FALSE(again.HasItem("Body"));
    LNDocument plain = db.OpenDocument(100);
    EXPECT_EQ(plain.Decrypt(), static_cast<LNSTATUS>(ERR_NOT_ENCRYPTED));
}

TEST_F(LNClasses, CalendarEntryGivesRangeAlarmAndAttendees) {
    LNCalendarEntry entry = db.OpenDocument(108);
    ASSERT_EQ(entry.Open(), 0u);
    LNDatetimeRange range = entry.GetDatetimeRange();
    LNDatetime start = range.GetBegin();
    start.AdjustTimeZone(0);
    LNINT h, mi, s;
    start.GetTime(&h, &mi, &s);
    EXPECT_EQ(h * 100 + mi, 900);
    EXPECT_STREQ(range.GetEnd().GetText(), "03/05/2013 11:30:00");
    EXPECT_TRUE(entry.IsRepeating());
    EXPECT_TRUE(entry.GetIsPrivate());
    EXPECT_TRUE(entry.GetIsAlarmEnabled());
    EXPECT_EQ(entry.GetAlarmOffsetMinutes(), -15);
    EXPECT_STREQ(entry.GetAlarmDatetime().GetText(), "03/05/2013 09:45:00");
    EXPECT_STREQ(entry.GetAlarmDescription(), "Soon");
    EXPECT_EQ(entry.GetEntryType(), 3);
    EXPECT_STREQ(entry.GetBriefDescription(), "Meeting");
    EXPECT_STREQ(entry.GetDetailedDescription(), "Agenda text");
    EXPECT_STREQ(entry.GetRequiredAttendees().GetText(), "x;y");
    EXPECT_STREQ(entry.GetOptionalAttendees().GetText(), "");
}

TEST_F(LNClasses, FormFieldsComeInFormOrder) {
    LNDocument doc = db.OpenDocument(112);
    LNForm form;
    ASSERT_EQ(doc.GetFormNote(&form), 0u);
    ASSERT_EQ(form.Open(), 0u);
    std::vector<LNFormField> fields;
    ASSERT_EQ(form.GetFormFields(&fields), 0u);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_STREQ(fields[1].GetName(), "tmpStartDate");
    EXPECT_EQ(fields[1].GetType(), 46);
    EXPECT_EQ(fields[2].GetType(), 49);
    LNDocument memo = db.OpenDocument(100);
    EXPECT_NE(memo.GetFormNote(&form), 0u);   // no form "Memo" in the database
}

TEST_F(LNClasses, AttachmentsDetachTheirBytes) {
    LNDocument doc = db.OpenDocument(100);
    ASSERT_TRUE(doc.HasAttachments());
    std::vector<LNAttachment> attachments;
    ASSERT_EQ(doc.GetAttachments(&attachments), 0u);
    ASSERT_EQ(attachments.size(), 2u);
    EXPECT_STREQ(attachments[0].GetAttachmentName(), "a b.txt");
    EXPECT_EQ(Utf8(attachments[1].GetAttachmentName()), "Фото.bin");
    EXPECT_EQ(attachments[1].GetFileSize(), 3);
    auto target = db.dir / "out.bin";
    ASSERT_EQ(attachments[1].Detach(LNString(target.string())), 0u);
    std::ifstream in(target, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), std::string("\0\1\2", 3));
    EXPECT_EQ(attachments[0].Detach(LNString((db.dir / "no/such/dir/x").string())), static_cast<LNSTATUS>(ERR_FILE_WRITE));
    EXPECT_FALSE(db.OpenDocument(108).HasAttachments());
}

TEST_F(LNClasses, LinkCursorWalksDocumentLinks) {
    LNDocument doc = db.OpenDocument(100);
    EXPECT_TRUE(doc.HasLinks());
    EXPECT_FALSE(db.OpenDocument(112).HasLinks());
    LNRichText body;
    ASSERT_EQ(doc.GetItem("Body", &body), 0u);
    LNRTCursor cursor;
    ASSERT_EQ(body.GetCursor(&cursor), 0u);
    LNDocumentLink link;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_DOCUMENT_LINK, &link), 0u);
    EXPECT_EQ(link.GetDatabaseReplicaID().Innards[0], 0x1A2Bu);
    EXPECT_EQ(link.GetDatabaseReplicaID().Innards[1], 0x3Cu);
    EXPECT_EQ(link.GetViewUniversalID().Note.Innards[0], 0xAAu);
    EXPECT_EQ(link.GetDocumentUniversalID().File.Innards[1], 5u);
    EXPECT_STREQ(link.GetDescription(), "Budget");
    ASSERT_EQ(cursor.GotoNext(LNRTTYPE_DOCUMENT_LINK, &link), 0u);
    EXPECT_STREQ(link.GetDescription(), "Other db");
    EXPECT_EQ(link.GetDocumentUniversalID().Note.Innards[0], 0u);
    EXPECT_EQ(cursor.GotoNext(LNRTTYPE_DOCUMENT_LINK, &link), static_cast<LNSTATUS>(ERR_NOT_FOUND));
}

TEST_F(LNClasses, OpenLimitFailsEveryOpenAfterTheNth) {
    setenv("NSFDB_OPEN_LIMIT", "3", 1);
    notes::ResetOpenCount();
    std::vector<LNSTATUS> results;
    for (int i = 0; i < 5; ++i) {
        LNDocument doc;
        db.database.GetDocument(100, &doc);
        results.push_back(doc.Open());
        EXPECT_EQ(doc.IsOpen(), results.back() == 0);
    }
    unsetenv("NSFDB_OPEN_LIMIT");
    EXPECT_EQ(results, (std::vector<LNSTATUS>{0, 0, 0, 263, 263}));
    LNDocument doc;
    db.database.GetDocument(100, &doc);
    EXPECT_EQ(doc.Open(), 0u);
}

TEST_F(LNClasses, FailuresHaveMessageTexts) {
    char buffer[512];
    EXPECT_GT(LNGetErrorMessageText(ERR_NOTE_HANDLES, buffer, sizeof buffer), 0);
    EXPECT_NE(std::string(buffer).find("too many documents"), std::string::npos);
    LNGetErrorMessageText(0xDEAD, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Unknown error code 0xDEAD");
    EXPECT_EQ(LNGetErrorMessageText(ERR_ITEM_NOT_FOUND, buffer, 5), 4);
    EXPECT_STREQ(buffer, "Note");
    LNDocument closed;
    db.database.GetDocument(100, &closed);
    EXPECT_THROW(closed.GetFormName(), LNSTATUS);
    EXPECT_EQ(db.database.GetDocument(999, &closed), 0u);
    EXPECT_EQ(closed.Open(), static_cast<LNSTATUS>(ERR_INVALID_NOTE));
    LNDatabase missing;
    EXPECT_EQ(db.session.GetDatabase("/no/such/file.nsf", &missing), static_cast<LNSTATUS>(ERR_NOEXIST));
}

TEST_F(LNClasses, StringTranslateToUtf16) {
    LNDocument doc = db.OpenDocument(100);
    std::vector<LNAttachment> attachments;
    doc.GetAttachments(&attachments);
    LNString name = attachments[1].GetAttachmentName();
    std::vector<char> buffer(static_cast<size_t>(name.GetByteLength()) * 2 + 2, 'x');
    ASSERT_EQ(LNStringTranslate(name, LNCHARSET_UNICODE, static_cast<LNINT>(buffer.size()), buffer.data()), 0u);
    std::u16string wide(reinterpret_cast<const char16_t*>(buffer.data()));
    EXPECT_EQ(wide, u"Фото.bin");
    LNString back;
    ASSERT_EQ(LNStringTranslate(wide.c_str(), LNCHARSET_UNICODE, &back), 0u);
    EXPECT_EQ(back, name);
    alignas(char16_t) char tiny[6];
    ASSERT_EQ(LNStringTranslate(name, LNCHARSET_UNICODE, sizeof tiny, tiny), 0u);   // two characters and a zero
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(tiny)), u"Фо");
}

}  // namespace

namespace {

TEST(LNDatabaseFile, DamagedOrForeignFilesDoNotOpen) {
    CTestDatabase db(R"({"title": "t"})");
    db.Write("junk.nsf", "this is not a database");
    LNNotesSession session;
    session.Initialize();
    LNDatabase junk;
    ASSERT_EQ(session.GetDatabase((db.dir / "junk.nsf").string().c_str(), &junk), 0u);
    EXPECT_EQ(junk.Open(), static_cast<LNSTATUS>(ERR_DB_CORRUPT));
    EXPECT_FALSE(junk.IsOpen());
    LNDatabase remote;
    EXPECT_EQ(session.GetDatabase(db.path.string().c_str(), &remote, "CN=Server/O=Acme"), static_cast<LNSTATUS>(ERR_NOEXIST));
    LNDatabase local;
    ASSERT_EQ(session.GetDatabase(db.path.string().c_str(), &local, ""), 0u);
    ASSERT_EQ(local.Open(), 0u);
    EXPECT_STREQ(local.GetTitle(), "t");
    EXPECT_NE(local.GetDatabaseHandle(), 0u);
    local.Close();
    EXPECT_EQ(local.GetDatabaseHandle(), 0u);
    LNDocument doc;
    EXPECT_EQ(local.GetDocument(4, &doc), static_cast<LNSTATUS>(ERR_DB_NOT_OPEN));
    session.Term();
}

}  // namespace

// Address sources of the translation: domain names, CSV lines and files, and
// the person documents of a Names.nsf address book.
#include <gtest/gtest.h>

#include "platform/notes/LNNotes.h"
#include "tests/viewer_dialogs/DialogTestSupport.h"
#include "tools/nsfdb/Description.h"
#include "viewer/dialogs/AddressSources.h"

namespace {

TEST(DomainName, LabelsAndEndings) {
    struct Case {
        const char16_t* domain;
        bool valid;
    };
    const Case cases[] = {
        {u"example.com", true},     {u"my-mail_2.org", true},  {u".de", true},
        {u"ACME.Co", true},         {u"", false},              {u"example", false},
        {u"example.c", false},      {u"mail.example.com", false}, {u"example.c0m", false},
        {u"exa mple.com", false},   {u"exa@mple.com", false},  {u"example.", false},
        {u"example.com ", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidDomainName(c.domain), c.valid) << sys::Utf16ToUtf8(c.domain);
}

TEST(CsvLine, KeysAndValues) {
    struct Case {
        const char16_t* line;
        ECsvLine kind;
        const char16_t* key;
        const char16_t* value;
    };
    const Case cases[] = {
        {u"John Smith, john.smith@example.com", ECsvLine::Entry, u"john smith", u"john.smith@example.com"},
        {u"\"John Smith\", john.smith@example.com", ECsvLine::Entry, u"john smith", u"john.smith@example.com"},
        {u"\"John Smith  \"\", john@example.com", ECsvLine::Entry, u"john smith", u"john@example.com"},
        {u"\"  Jane, Doe\",jane@example.com", ECsvLine::Entry, u"jane, doe", u"jane@example.com"},
        {u"  Bob  ,\"bob@example.com\",", ECsvLine::Entry, u"bob", u"bob@example.com"},
        {u"Ann,a@example.com,b@example.com", ECsvLine::Entry, u"ann", u"a@example.com,b@example.com"},
        {u"Name,Email Address", ECsvLine::Entry, u"name", u"Email Address"},
        {u"Nobody,", ECsvLine::Entry, u"nobody", u""},
        {u"\"Unclosed, x@example.com", ECsvLine::Ignored, u"", u""},
        {u"no comma here", ECsvLine::Invalid, u"", u""},
        {u"", ECsvLine::Invalid, u"", u""},
        {u"\t", ECsvLine::Invalid, u"", u""},
    };
    for (const Case& c : cases) {
        std::u16string key, value;
        const std::string name = sys::Utf16ToUtf8(c.line);
        ASSERT_EQ(ParseCsvLine(c.line, key, value), c.kind) << name;
        if (c.kind != ECsvLine::Entry) continue;
        EXPECT_EQ(key, c.key) << name;
        EXPECT_EQ(value, c.value) << name;
    }
}

TEST(CsvFile, HeadingsDuplicatesLineEndsAndAnEmptyLine) {
    dialogtest::CTempDir dir;
    dir.Write("good.csv",
              "Name,Email\r\n\"Ann Lee\",ann@a.com\r\nBOB,bob@b.com\r\nbob,robert@b.com\r\n\"unclosed\r\nEve,eve@e.com\r\n");
    SettingsMap map;
    uint8_t used = 0;
    EXPECT_EQ(ReadCsvFile(dir.Path("good.csv"), map, used), ECsvResult::Read);
    EXPECT_EQ(used, 1);
    const SettingsMap expected = {
        {u"name", u"Email"}, {u"ann lee", u"ann@a.com"}, {u"bob", u"robert@b.com"}, {u"eve", u"eve@e.com"}};
    EXPECT_EQ(map, expected);

    dir.Write("gap.csv", "Ann,ann@a.com\n\nBob,bob@b.com\n");
    SettingsMap partial;
    used = 0;
    EXPECT_EQ(ReadCsvFile(dir.Path("gap.csv"), partial, used), ECsvResult::NotValid);
    EXPECT_EQ(used, 1);
    EXPECT_EQ(partial, (SettingsMap{{u"ann", u"ann@a.com"}}));

    used = 0;
    EXPECT_EQ(ReadCsvFile(dir.Path("missing.csv"), partial, used), ECsvResult::CannotOpen);
    EXPECT_EQ(used, 0);
}

TEST(CsvFile, TheShippedSampleIsValid) {
    SettingsMap map;
    uint8_t used = 0;
    ASSERT_EQ(ReadCsvFile(sys::Utf8ToUtf16(NSF2PST_SOURCE_DIR "/viewer/sample.csv"), map, used), ECsvResult::Read);
    EXPECT_EQ(map.at(u"jane doe"), u"jane.doe@example.com");
}

constexpr char kNamesBook[] = R"json({
  "title": "Address book",
  "forms": {
    "Person": [{"name": "FullNameInput", "type": "text"}, {"name": "FirstName", "type": "text"},
               {"name": "MiddleInitial", "type": "text"}, {"name": "LastName", "type": "text"},
               {"name": "email_1", "type": "text"}, {"name": "MailAddress", "type": "richtext"},
               {"name": "miscPhone1", "type": "text"}],
    "Memo": [{"name": "Subject", "type": "text"}]
  },
  "documents": [
    {"form": "Person", "items": {"FullNameInput": "John Smith", "email_1": "john@acme.com"}},
    {"form": "Person", "items": {"FullNameInput": "JOHN SMITH", "MailAddress": {"richtext": ["js@other.org"]}}},
    {"form": "Person", "items": {"FirstName": "Mary", "MiddleInitial": "K", "LastName": "Major",
                                 "email_1": ["m1@x.com", "m2@x.com"]}},
    {"form": "Person", "items": {"FullNameInput": "No Address", "FirstName": "No"}},
    {"form": "Person", "items": {"LastName": "Solo", "email_1": "", "miscPhone1": "solo@x.com"}},
    {"form": "Memo", "items": {"Subject": "not a person", "FullNameInput": "Memo Person", "email_1": "m@x.com"}}
  ]
})json";

TEST(NamesAddressBook, PersonsByFullNameAndJoinedNames) {
    dialogtest::CTempDir dir;
    nsfdb::BuildDatabase(nsfdb::Json::parse(kNamesBook), dir.dir, dir.dir / "names.nsf");
    LNNotesSession session;
    LNDatabase database;
    SettingsMap map{{u"kept", u"kept@x.com"}};
    uint8_t used = 0;
    ASSERT_TRUE(ReadNamesAddressBook(session, database, dir.Path("names.nsf"), map, used));
    EXPECT_EQ(used, 1);
    const SettingsMap expected = {
        {u"kept", u"kept@x.com"},
        {u"john smith", u"john@acme.com;js@other.org"},
        {u"mary k major", u"m1@x.com;m2@x.com"},
        {u"solo", u"solo@x.com"},
    };
    EXPECT_EQ(map, expected);
    EXPECT_FALSE(database.IsOpen());
    EXPECT_FALSE(session.IsInitialized());
}

TEST(NamesAddressBook, AnUnopenableDatabaseReadsNothing) {
    dialogtest::CTempDir dir;
    dir.Write("broken.nsf", "not a database");
    LNNotesSession session;
    LNDatabase database;
    SettingsMap map;
    uint8_t used = 0;
    EXPECT_FALSE(ReadNamesAddressBook(session, database, dir.Path("missing.nsf"), map, used));
    EXPECT_FALSE(ReadNamesAddressBook(session, database, dir.Path("broken.nsf"), map, used));
    EXPECT_EQ(used, 0);
    EXPECT_TRUE(map.empty());
    EXPECT_FALSE(session.IsInitialized());
}

TEST(AddressMap, RepeatedKeysCollectAddresses) {
    SettingsMap map;
    AddAddress(map, u"a", u"1@x.com");
    AddAddress(map, u"a", u"2@x.com");
    AddAddress(map, u"b", u"3@x.com");
    EXPECT_EQ(map, (SettingsMap{{u"a", u"1@x.com;2@x.com"}, {u"b", u"3@x.com"}}));
}

}  // namespace

// vCard and group files written from records, compared byte for byte with
// files spelled out by hand.
#include <gtest/gtest.h>

#include "PimFixture.h"
#include "platform/sys/Text.h"
#include "worker/writers/ContactWriter.h"
#include "worker/writers/GroupWriter.h"

namespace {

const std::string kAdrHome = "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:";
const std::string kAdrWork = "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:";
const std::string kAdrPostal = "ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:";
const std::string kEmptyAddresses =
    kAdrHome + ";;;;;\r\n" + kAdrWork + ";;;;;;\r\n" + kAdrPostal + ";;;;;\r\n";

class ContactFileTest : public CPimFixture {
protected:
    std::string Card(const ContactRecord& record) {
        const std::u16string path = TempFile("1.vcf");
        std::u16string photoPath = u"untouched";
        photoPath.clear();
        EXPECT_EQ(WriteContactFile(*converter, record, path, 0, photoPath), 1);
        EXPECT_TRUE(photoPath.empty());
        return ReadBytes(path);
    }
};

TEST_F(ContactFileTest, ContactWithoutNamesHasNoNameLinesButAllThreeAddresses) {
    ContactRecord r;
    r.CompanyName = u"Acme";
    EXPECT_EQ(Card(r), "BEGIN:VCARD\r\nORG;CHARSET=utf-8:Acme;\r\n" + kEmptyAddresses + "END:VCARD\r\n");
    EXPECT_EQ(LogText(), u"Item Name:\t\r\n");
    EXPECT_EQ(app.errorCount, 0u);
}

TEST_F(ContactFileTest, EmptyRecordGivesTheSkeletonCard) {
    EXPECT_EQ(Card(ContactRecord()), "BEGIN:VCARD\r\n" + kEmptyAddresses + "END:VCARD\r\n");
}

TEST_F(ContactFileTest, EveryLineInItsOrder) {
    ContactRecord r;
    r.Title = u"Dr.";
    r.FirstName = u"John";
    r.MiddleInitial = u"Q";
    r.LastName = u"Smith, Jr.";
    r.Suffix = u"PhD";
    r.CompanyName = u"Acme";
    r.Department = u"Sales";
    r.ShortName = u"jqs";
    r.MailAddress = u"john@acme.example";
    r.MiscPhone1 = u"m1@x.example";
    r.MiscPhone2 = u"m2@x.example";
    r.MiscPhone3 = u"m3@x.example";
    r.email_5 = u"e5@x.example";
    r.StreetAddress = u"1 Home Road";
    r.City = u"Hometown";
    r.State = u"HS";
    r.Zip = u"11111";
    r.Country = u"Homeland";
    r.Location = u"Building 7";
    r.OfficeStreetAddress = u"2 Office Park";
    r.OfficeCity = u"Worktown";
    r.OfficeState = u"WS";
    r.OfficeZip = u"22222";
    r.OfficeCountry = u"Workland";
    r.OtherStreetAddress = u"3 Other Lane";
    r.OtherCity = u"Elsewhere";
    r.OtherState = u"ES";
    r.OtherZip = u"33333";
    r.OtherCountry = u"Otherland";
    r.OfficeFAXPhoneNumber = u"101";
    r.OfficePhoneNumber = u"102";
    r.PhoneNumber_9 = u"103";
    r.HomeFaxPhoneNumber = u"104";
    r.PhoneNumber = u"105";
    r.PhoneNumber_10 = u"106";
    r.CellPhoneNumber = u"107";
    r.PersPager = u"108";
    r.PhoneNumber_6 = u"109";
    r.primaryPhoneNumber = u"110";
    r.PhoneNumber_8 = u"111";
    r.JobTitle = u"Manager";
    r.Website = u"http://acme.example";
    r.Assistant = u"Ann";
    r.Manager = u"Max";
    r.Spouse = u"Sue";
    r.SametimeLogin = u"jsmith";
    r.Birthday = u"12/31/1980";
    r.Anniversary = u"06/01/2005";
    r.Comment = u"Line one\nLine two";
    const std::string expected =
        "BEGIN:VCARD\r\n"
        "N;CHARSET=utf-8:Smith; Jr.;John;Q;Dr.;PhD\r\n"
        "FN;CHARSET=utf-8:Dr. John Q Smith, Jr. PhD\r\n"
        "ORG;CHARSET=utf-8:Acme;Sales\r\n"
        "NICKNAME;CHARSET=utf-8:jqs\r\n"
        "EMAIL;CHARSET=utf-8:john@acme.example\r\n"
        "EMAIL;CHARSET=utf-8:m1@x.example\r\n"
        "EMAIL;CHARSET=utf-8:m3@x.example\r\n"
        "EMAIL;CHARSET=utf-8:e5@x.example\r\n"
        "EMAIL;CHARSET=utf-8:m2@x.example\r\n" +
        kAdrHome + ";1 Home Road;Hometown;HS;11111;Homeland\r\n" + kAdrWork +
        ";Building 7;2 Office Park;Worktown;WS;22222;Workland\r\n" + kAdrPostal +
        ";3 Other Lane;Elsewhere;ES;33333;Otherland\r\n"
        "TEL;TYPE=work,fax:101\r\n"
        "TEL;TYPE=work,voice:102\r\n"
        "TEL;TYPE=work,voice:103\r\n"
        "TEL;TYPE=home,fax:104\r\n"
        "TEL;TYPE=home,voice:105\r\n"
        "TEL;TYPE=home,voice:106\r\n"
        "TEL;TYPE=cell,voice:107\r\n"
        "TEL;TYPE=msg:108\r\n"
        "TEL;TYPE=pager:109\r\n"
        "TEL;TYPE=phone,pref:110\r\n"
        "TEL;VOICE;ASSISTANT:111\r\n"
        "TITLE;CHARSET=utf-8:Manager\r\n"
        "URL;WORK;CHARSET=utf-8:http://acme.example\r\n"
        "X-MS-ASSISTANT;CHARSET=utf-8:Ann\r\n"
        "X-MS-MANAGER;CHARSET=utf-8:Max\r\n"
        "X-MS-SPOUSE;CHARSET=utf-8:Sue\r\n"
        "X-MS-IMADDRESS;CHARSET=utf-8:jsmith\r\n"
        "BDAY:19801231\r\n"
        "X-MS-ANNIVERSARY:20050601\r\n"
        "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:Line one=0D=0A=\nLine two\r\n"
        "END:VCARD\r\n";
    EXPECT_EQ(Card(r), expected);
    EXPECT_EQ(LogText(), u"Item Name:\tJohn Q Smith, Jr.\r\n");
}

struct NameCase {
    const char* title;
    std::u16string first, middle, last, suffix;
    std::string nLine, fnLine;
    std::u16string logName;
};

// FN and the log name put a blank after each part that is present.
TEST_F(ContactFileTest, NameLinesFromThePartsPresent) {
    const NameCase cases[] = {
        {"last only", u"", u"", u"Smith", u"", "N;CHARSET=utf-8:Smith;;;;\r\n", "FN;CHARSET=utf-8:Smith \r\n",
         u"Smith"},
        {"first only", u"John", u"", u"", u"", "N;CHARSET=utf-8:;John;;;\r\n", "FN;CHARSET=utf-8:John \r\n",
         u"John "},
        {"first and last", u"John", u"", u"Smith", u"", "N;CHARSET=utf-8:Smith;John;;;\r\n",
         "FN;CHARSET=utf-8:John Smith \r\n", u"John Smith"},
        {"middle without first or last", u"", u"Q", u"", u"Jr.", "", "", u""},
        {"two commas", u"", u"", u"a,b,c", u"", "N;CHARSET=utf-8:a;b;c;;;;\r\n", "FN;CHARSET=utf-8:a,b,c \r\n",
         u"a,b,c"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.title);
        ContactRecord r;
        r.FirstName = c.first;
        r.MiddleInitial = c.middle;
        r.LastName = c.last;
        r.Suffix = c.suffix;
        EXPECT_EQ(Card(r), "BEGIN:VCARD\r\n" + c.nLine + c.fnLine + kEmptyAddresses + "END:VCARD\r\n");
        EXPECT_EQ(ContactDisplayName(r), c.logName);
    }
}

TEST_F(ContactFileTest, StreetLineFeedsBecomeSoftBreaksInAllThreeAddresses) {
    ContactRecord r;
    r.StreetAddress = u"12 High Street\nFlat 3";
    r.OfficeStreetAddress = u"Tower A\nFloor 9\nRoom 2";
    r.OtherStreetAddress = u"PO Box 7\n";
    r.City = u"Leeds\nWest";  // only streets get the treatment
    const std::string expected = "BEGIN:VCARD\r\n" + kAdrHome + ";12 High Street=0D=0A=\nFlat 3;Leeds\nWest;;;\r\n" +
                                 kAdrWork + ";;Tower A=0D=0A=\nFloor 9=0D=0A=\nRoom 2;;;;\r\n" + kAdrPostal +
                                 ";PO Box 7=0D=0A=\n;;;;\r\n" + "END:VCARD\r\n";
    EXPECT_EQ(Card(r), expected);
}

TEST(VCardDateValueTest, YearFirstWithoutSlashes) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"12/31/1980", u"19801231"},
        {u"1/2/1999", u"199912"},
        {u"06/01/2005 10:00:00", u"2005 10:00:000601"},
        {u"1980-12-31", u"1980-12-31"},  // no "/": kept whole
        {u"31.12.1980", u"31.12.1980"},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(VCardDateValue(text), value) << sys::Utf16ToUtf8(text);
}

// A date text without "/" still gives a whole line, so the next line keeps
// its own property.
TEST_F(ContactFileTest, DateWithoutSlashKeepsTheCardIntact) {
    ContactRecord r;
    r.Birthday = u"1980-12-31";
    r.Anniversary = u"2005.06.01";
    r.Comment = u"note";
    EXPECT_EQ(Card(r), "BEGIN:VCARD\r\n" + kEmptyAddresses +
                           "BDAY:1980-12-31\r\nX-MS-ANNIVERSARY:2005.06.01\r\n"
                           "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:note\r\nEND:VCARD\r\n");
}

// Telephone numbers and dates go out in the ANSI code page, every
// "CHARSET=utf-8" value in UTF-8 whatever the code page.
TEST_F(ContactFileTest, AnsiLinesFollowTheCodePage) {
    ContactRecord r;
    r.FirstName = u"Zo\u00eb";
    r.PhoneNumber = u"\u00e9 12 \u0434";
    r.Birthday = u"12/31/1980\u00e9";
    const std::string utf8Lines = "N;CHARSET=utf-8:;Zo\xC3\xAB;;;\r\nFN;CHARSET=utf-8:Zo\xC3\xAB \r\n" + kEmptyAddresses;

    SetEnv("NSF2PST_CODEPAGE", "windows-1252");
    EXPECT_EQ(Card(r), "BEGIN:VCARD\r\n" + utf8Lines + "TEL;TYPE=home,voice:\xE9 12 ?\r\nBDAY:1980\xE9" "1231\r\nEND:VCARD\r\n");

    UnsetEnv("NSF2PST_CODEPAGE");
    if (sys::AnsiCodePageName() != "UTF-8") GTEST_SKIP() << "default code page is " << sys::AnsiCodePageName();
    EXPECT_EQ(Card(r), "BEGIN:VCARD\r\n" + utf8Lines +
                           "TEL;TYPE=home,voice:\xC3\xA9 12 \xD0\xB4\r\nBDAY:1980\xC3\xA9" "1231\r\nEND:VCARD\r\n");
}

TEST_F(ContactFileTest, FileThatCannotBeCreatedIsCountedAndLogged) {
    std::u16string photoPath;
    EXPECT_EQ(WriteContactFile(*converter, ContactRecord(), TempFile("missing/1.vcf"), 0, photoPath), 0);
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_EQ(LogText(), u"ERROR:Invalid Path. Contact Entry cannot be dump. \r\n");
}

// With attachments the document is opened again for the photo; without a
// database that fails, which is an error of the whole card.
TEST_F(ContactFileTest, FailureWhileWritingIsCountedAndLogged) {
    ContactRecord r;
    r.attachmentNames = u"ContactPhoto, ";
    std::u16string photoPath;
    EXPECT_EQ(WriteContactFile(*converter, r, TempFile("1.vcf"), 4, photoPath), 0);
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_EQ(LogText(), u"Item Name:\t\r\nAttachments:\tERROR:Contact Entry is Not Dump \r\n");
    EXPECT_TRUE(photoPath.empty());
}

class GroupFileTest : public CPimFixture {};

std::string Utf16Le(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

TEST_F(GroupFileTest, FiveLabelledLinesInUtf16WithByteOrderMark) {
    ContactRecord r;
    r.ListName = u"Sales Team";
    r.ListOwner = u"CN=Jane Doe/O=Acme";
    r.Members = u"CN=John Smith/O=Acme;bob@example.com;Zo\u00eb";
    r.Comment = u"Everyone in sales";
    const std::u16string path = TempFile("1.txt");
    EXPECT_EQ(WriteGroupFile(*converter, r, path), 1);
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE" + Utf16Le(u"Group Name: Sales Team\r\n"
                                                    u"Group Description: \r\n"
                                                    u"Group Owner: CN=Jane Doe/O=Acme\r\n"
                                                    u"Group Members: CN=John Smith/O=Acme;bob@example.com;Zo\u00eb\r\n"
                                                    u"Comments: Everyone in sales\r\n"));
    EXPECT_EQ(LogText(), u"Item Name:\tSales Team\r\n");
}

TEST_F(GroupFileTest, EmptyGroupStillHasItsLabels) {
    const std::u16string path = TempFile("1.txt");
    EXPECT_EQ(WriteGroupFile(*converter, ContactRecord(), path), 1);
    EXPECT_EQ(ReadBytes(path), "\xFF\xFE" + Utf16Le(u"Group Name: \r\nGroup Description: \r\nGroup Owner: \r\n"
                                                    u"Group Members: \r\nComments: \r\n"));
    EXPECT_EQ(LogText(), u"Item Name:\t\r\n");
}

TEST_F(GroupFileTest, FileThatCannotBeCreatedIsCountedAndLogged) {
    EXPECT_EQ(WriteGroupFile(*converter, ContactRecord(), TempFile("missing/1.txt")), 0);
    EXPECT_EQ(app.errorCount, 1u);
    EXPECT_EQ(LogText(), u"ERROR:Invalid Path. Group Entry cannot be dump. \r\n");
}

}  // namespace

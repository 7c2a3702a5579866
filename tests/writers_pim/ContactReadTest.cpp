// Contacts and groups read from a Notes database and written as files:
// the form walk, the later-field rule, the preferred address, attachment
// names, the HTML of the document and the contact photo.
#include <gtest/gtest.h>

#include "PimFixture.h"
#include "platform/sys/Text.h"
#include "worker/writers/ContactWriter.h"
#include "worker/writers/GroupWriter.h"

namespace {

const std::string kAdrHome = "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:";
const std::string kAdrWork = "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:";
const std::string kAdrPostal = "ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:";
const std::string kPhotoBase64 = "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==";

class ContactReadTest : public CPimFixture {
protected:
    void SetUp() override {
        CPimFixture::SetUp();
        OpenDatabase("contacts.json");
    }
    ContactRecord record;
};

TEST_F(ContactReadTest, PersonFieldsInFormOrder) {
    ReadContact(*converter, 100, record);
    EXPECT_EQ(record.Title, u"Dr.");
    EXPECT_EQ(record.FirstName, u"John");
    EXPECT_EQ(record.MiddleInitial, u"Q");
    EXPECT_EQ(record.LastName, u"Smith, Jr.");
    EXPECT_EQ(record.FullNameInput, u"CN=John Smith/O=Acme;John Smith");
    EXPECT_EQ(record.CompanyName, u"Acme");
    EXPECT_EQ(record.Department, u"Sales");
    EXPECT_EQ(record.JobTitle, u"") << "a date/time field other than the two dates gives nothing";
    EXPECT_EQ(record.MailAddress, u"john@acme.example") << "MailAddress comes after email_1 on the form";
    EXPECT_EQ(record.MiscPhone1, u"lower@acme.example") << "miscPhone1 comes after MiscPhone1 on the form";
    EXPECT_EQ(record.MiscPhone2, u"only-lower@acme.example");
    EXPECT_EQ(record.OfficePhoneNumber, u"+49 30 1234");
    EXPECT_EQ(record.PhoneNumber, u"") << "a number item is no text";
    EXPECT_EQ(record.StreetAddress, u"12 High Street\nFlat 3");
    EXPECT_EQ(record.City, u"Leeds");
    EXPECT_EQ(record.Zip, u"LS1");
    EXPECT_EQ(record.preferredAddress, 1);
    EXPECT_EQ(record.Birthday, u"12/31/1980");
    EXPECT_EQ(record.Anniversary, u"06/01/2005");
    EXPECT_EQ(record.Categories, u"Friends;Work");
    EXPECT_EQ(record.Website, u"");
    EXPECT_EQ(record.Comment, u"Met at the fair.\r\nLikes tea.");
    EXPECT_EQ(record.Spouse, u"") << "items without a field on the form are not read";
    EXPECT_EQ(record.attachmentNames, u"contactphoto, ContactPhoto, ");
    EXPECT_NE(record.htmlText.find(u"Met at the fair."), std::u16string::npos);
    EXPECT_EQ(LogText(), u"") << "reading logs nothing";
}

// A field later on the form whose item the document lacks leaves what an
// earlier field gave.
TEST_F(ContactReadTest, MissingLaterItemKeepsTheEarlierValue) {
    ReadContact(*converter, 104, record);
    EXPECT_EQ(record.LastName, u"Nobody");
    EXPECT_EQ(record.MailAddress, u"kept@acme.example");
    EXPECT_EQ(record.Comment, u"plain comment");
    EXPECT_EQ(record.attachmentNames, u"contactphoto, ");
}

TEST_F(ContactReadTest, PreferredAddressFromPrimaryAddress) {
    const std::pair<LNNOTEID, int32_t> cases[] = {{100, 1}, {104, 2}, {108, 3}, {112, 0}};
    for (const auto& [noteId, preferred] : cases) {
        ReadContact(*converter, noteId, record);
        EXPECT_EQ(record.preferredAddress, preferred) << noteId;
    }
}

TEST_F(ContactReadTest, ReadingResetsTheRecordFirst) {
    ReadContact(*converter, 100, record);
    ReadContact(*converter, 116, record);  // its form is not in the database
    EXPECT_EQ(record.FirstName, u"");
    EXPECT_EQ(record.attachmentNames, u"");
    EXPECT_EQ(record.preferredAddress, 0);
    ReadContact(*converter, 100, record);
    ReadContact(*converter, 999, record);  // no such document
    EXPECT_EQ(record.LastName, u"");
}

TEST_F(ContactReadTest, PersonCardWithPhoto) {
    ReadContact(*converter, 100, record);
    const std::u16string path = TempFile("0.vcf");
    std::u16string photoPath;
    ASSERT_EQ(WriteContactFile(*converter, record, path, 100, photoPath), 1);
    const std::string expected =
        "BEGIN:VCARD\r\n"
        "N;CHARSET=utf-8:Smith; Jr.;John;Q;Dr.;\r\n"
        "FN;CHARSET=utf-8:Dr. John Q Smith, Jr. \r\n"
        "ORG;CHARSET=utf-8:Acme;Sales\r\n"
        "EMAIL;CHARSET=utf-8:john@acme.example\r\n"
        "EMAIL;CHARSET=utf-8:lower@acme.example\r\n"
        "EMAIL;CHARSET=utf-8:only-lower@acme.example\r\n" +
        kAdrHome + ";12 High Street=0D=0A=\nFlat 3;Leeds;;LS1;\r\n" + kAdrWork + ";;;;;;\r\n" + kAdrPostal +
        ";;;;;\r\n"
        "TEL;TYPE=work,voice:+49 30 1234\r\n"
        "BDAY:19801231\r\n"
        "X-MS-ANNIVERSARY:20050601\r\n"
        "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:Met at the fair.\r=0D=0A=\nLikes tea.\r\n"
        "PHOTO;ENCODING=BASE64:\r\n" +
        kPhotoBase64 + "\r\n\r\nEND:VCARD\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(photoPath, TempFile("temp/ContactPhoto"));
    EXPECT_EQ(ReadBytes(photoPath).substr(0, 6), "GIF89a");
    EXPECT_EQ(LogText(), u"Item Name:\tJohn Q Smith, Jr.\r\nAttachments:\tContactPhoto,\r\n");
    EXPECT_EQ(app.errorCount, 0u);
}

// Only an attachment named exactly "ContactPhoto" is the picture.
TEST_F(ContactReadTest, PhotoInOtherLetterCaseIsNotTaken) {
    ReadContact(*converter, 104, record);
    const std::u16string path = TempFile("1.vcf");
    std::u16string photoPath;
    ASSERT_EQ(WriteContactFile(*converter, record, path, 104, photoPath), 1);
    EXPECT_EQ(ReadBytes(path), "BEGIN:VCARD\r\nN;CHARSET=utf-8:Nobody;;;;\r\nFN;CHARSET=utf-8:Nobody \r\n"
                               "EMAIL;CHARSET=utf-8:kept@acme.example\r\n" +
                                   kAdrHome + ";;;;;\r\n" + kAdrWork + ";;;;;;\r\n" + kAdrPostal +
                                   ";;;;;\r\n"
                                   "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:plain comment\r\nEND:VCARD\r\n");
    EXPECT_TRUE(photoPath.empty());
    EXPECT_EQ(LogText(), u"Item Name:\tNobody\r\nAttachments:\t\r\n");
    EXPECT_EQ(TempFiles(), std::vector<std::string>{"1.vcf"});
}

TEST_F(ContactReadTest, GroupFile) {
    ReadContact(*converter, 112, record);
    EXPECT_EQ(record.Members, u"CN=John Smith/O=Acme;bob@example.com;Sales West");
    const std::u16string path = TempFile("2.txt");
    ASSERT_EQ(WriteGroupFile(*converter, record, path), 1);
    const std::u16string text = u"\uFEFFGroup Name: Sales Team\r\n"
                                u"Group Description: \r\n"
                                u"Group Owner: CN=Jane Doe/O=Acme\r\n"
                                u"Group Members: CN=John Smith/O=Acme;bob@example.com;Sales West\r\n"
                                u"Comments: \r\n";
    EXPECT_EQ(ReadBytes(path), sys::ToUtf16LeBytes(text));
    EXPECT_EQ(ReadBytes(path).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(LogText(), u"Item Name:\tSales Team\r\n");
}

}  // namespace

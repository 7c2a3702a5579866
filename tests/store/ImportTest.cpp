#include <gtest/gtest.h>

#include "platform/store/Dispatch.h"
#include "platform/store/ItemObject.h"
#include "platform/store/MemoryStore.h"
#include "platform/store/StoreObjects.h"
#include "tests/store/TestSupport.h"

using namespace store;
using namespace storetest;

namespace {

struct CItemFixture {
    std::shared_ptr<CSessionObject> session = std::make_shared<CSessionObject>();
    CTempDir dir;
    CItemFixture() { session->LogonToStore(std::make_unique<CMemoryStore>(), u"/tmp/x.pst"); }

    std::shared_ptr<CItemObject> NewItem(const std::u16string& messageClass, int32_t folderKind = 9) {
        auto folder = session->DefaultFolder(folderKind);
        auto items = folder->Invoke(0x11, EInvokeKind::PropertyGet, {}).Object();
        return std::dynamic_pointer_cast<CItemObject>(items->Invoke(4, EInvokeKind::Method, {CVariant(messageClass)}).Object());
    }
    void Import(const std::shared_ptr<CItemObject>& item, const std::string& name, const std::string& bytes, int32_t format) {
        std::string path = dir.File(name, bytes);
        item->Invoke(0x47, EInvokeKind::Method, {CVariant(U(path)), CVariant(format)});
    }
};

const char* boundary = "__=_Part_Boundary_001_012345.006789";

// A message with one attachment whose base64 text is given as it stands.
std::string MessageWithEncodedAttachment(const std::string& base64) {
    return "Subject: x\r\nContent-Type: multipart/mixed; boundary=\"" + std::string(boundary) + "\"\r\n\r\n--" +
           boundary + "\r\nContent-Type: text/plain\r\n\r\nbody\r\n--" + boundary +
           "\r\nContent-Transfer-Encoding: base64\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n\r\n" +
           base64 + "\r\n--" + boundary + "--\r\n";
}

// A message as the mail writer composes it: every header value one encoded
// word, multipart/mixed, the body part first, attachments as octet streams.
std::string WriterMessage(const std::string& bodyType, const std::string& body,
                          const std::vector<std::pair<std::string, std::string>>& attachments) {
    std::string m;
    m += "Date: Tue, 5 Mar 2013 14:07:09 +0100\r\n";
    m += "From: " + EncodedWord("J\xC3\xBCrgen M\xC3\xBCller <jm@example.com>") + "\r\n";
    m += "To: " + EncodedWord("anna@example.com;Bob Builder <bob@example.com>") + "\r\n";
    m += "CC: " + EncodedWord("carl@example.com") + "\r\n";
    m += "Subject: " + EncodedWord("Gr\xC3\xBC\xC3\x9F" "e zum Fest") + "\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + std::string(boundary) + "\"\r\n";
    m += "\r\n--" + std::string(boundary) + "\r\n";
    if (!body.empty()) {
        m += "Content-Type: " + bodyType + "; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + body;
    }
    for (const auto& [name, bytes] : attachments) {
        m += "\r\n--" + std::string(boundary) + "\r\n";
        m += "Content-Transfer-Encoding: base64\r\nContent-Type: application/octet-stream; name=\"" + EncodedWord(name) +
             "\"\r\n\r\n" + Base64(bytes) + "\r\n";
    }
    m += "\r\n--" + std::string(boundary) + "--\r\n";
    return m;
}

}  // namespace

TEST(StoreImport, MailHeadersRecipientsDateAndAttachments) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Note", 6);
    std::string pdf = std::string("%PDF-1.4\x00\x01\x02", 11) + std::string(300, 'x');
    f.Import(item, "1.eml", WriterMessage("text/plain", "Hallo\r\nWelt", {{"Bericht M\xC3\xA4rz.pdf", pdf}}), 1024);
    const CMessageData& d = item->Data();
    EXPECT_EQ(Str(d.props, tagSubject), U("Gr\xC3\xBC\xC3\x9F" "e zum Fest"));
    EXPECT_EQ(Str(d.props, tagSenderName), U("J\xC3\xBCrgen M\xC3\xBCller"));
    EXPECT_EQ(Str(d.props, tagSenderEmail), u"jm@example.com");
    EXPECT_EQ(Str(d.props, tagSentReprEmail), u"jm@example.com");
    EXPECT_EQ(Str(d.props, tagSenderAddrType), u"SMTP");
    EXPECT_EQ(Time(d.props, tagClientSubmitTime), Utc(2013, 3, 5, 13, 7, 9));
    EXPECT_EQ(Str(d.props, tagBody), u"Hallo\r\nWelt");
    ASSERT_EQ(d.recipients.size(), 3u);
    EXPECT_EQ(Str(d.recipients[0].props, tagDisplayName), u"anna@example.com");
    EXPECT_EQ(Str(d.recipients[1].props, tagDisplayName), u"Bob Builder");
    EXPECT_EQ(Str(d.recipients[1].props, tagEmailAddress), u"bob@example.com");
    EXPECT_EQ(d.recipients[2].props.GetInt(tagRecipientType), 2);
    ASSERT_EQ(d.attachments.size(), 1u);
    EXPECT_EQ(Str(d.attachments[0].props, tagAttachLongFilename), U("Bericht M\xC3\xA4rz.pdf"));
    EXPECT_EQ(Bin(d.attachments[0].props, tagAttachDataBinary), pdf);
    EXPECT_EQ(Str(d.attachments[0].props, tagAttachMimeTag), u"application/pdf");
    EXPECT_EQ(Str(d.props, tagMessageClass), u"IPM.Note");
}

TEST(StoreImport, AttachmentBytesFromEveryShapeOfBase64) {
    std::string all;
    for (int i = 0; i < 1024; ++i) all.push_back(static_cast<char>(i * 7 + i / 256));
    std::string wrapped;
    const std::string encoded = Base64(all);
    for (size_t at = 0; at < encoded.size(); at += 76) wrapped += encoded.substr(at, 76) + "\r\n";
    struct Case {
        std::string base64, bytes;
    } cases[] = {
        {wrapped, all},
        {"QQ==", "A"},
        {"QUI=", "AB"},
        {"QUJD", "ABC"},
        {"QU JD\r\n\t", "ABC"},
        {"QU*JD", "ABC"},  // a stray character is passed over, as mail readers do
        {"", ""},
    };
    for (const Case& c : cases) {
        CItemFixture f;
        auto item = f.NewItem(u"IPM.Note", 6);
        f.Import(item, "1.eml", MessageWithEncodedAttachment(c.base64), 1024);
        ASSERT_EQ(item->Data().attachments.size(), 1u) << c.base64;
        EXPECT_EQ(Bin(item->Data().attachments[0].props, tagAttachDataBinary), c.bytes) << c.base64;
    }
}

TEST(StoreImport, HtmlWithLocalImagesGetsInlineAttachments) {
    CItemFixture f;
    CTempDir outside;  // not under the temporary directory of the run
    CTmpDirGuard tmp(f.dir.path);
    std::string gif1 = "GIF89a-one", gif2 = "GIF89a-two";
    std::string p1 = f.dir.File("Body01C4.gif", gif1), p2 = f.dir.File("Body088.gif", gif2);
    std::string secret = outside.File("secret.gif", "GIF89a-secret"), text = f.dir.File("notes.gif", "plain text");
    std::string html = "<html><body><p>Bild: src=\"" + p1 + "\"</p><img src=\"" + p1 + "\"><img SRC='file://" + p2 +
                       "'><img src=\"" + p1 + "\"><img src=\"/nonexistent/x.gif\"><img src=\"" + secret +
                       "\"><img src=\"" + text + "\"></body></html>";
    auto item = f.NewItem(u"IPM.Note", 6);
    f.Import(item, "2.eml", WriterMessage("text/html", html, {}), 1024);
    const CMessageData& d = item->Data();
    ASSERT_EQ(d.attachments.size(), 2u);
    std::string stored = Bin(d.props, tagHtml);
    EXPECT_EQ(stored.find("<img src=\"" + p1), std::string::npos);
    EXPECT_EQ(stored.find(p2), std::string::npos);
    EXPECT_NE(stored.find("/nonexistent/x.gif"), std::string::npos);
    EXPECT_NE(stored.find("src=\"" + secret), std::string::npos);
    EXPECT_NE(stored.find("notes.gif"), std::string::npos);
    EXPECT_NE(stored.find("Bild: src=\"" + p1), std::string::npos);  // text between tags stays as it is
    const std::string* datas[] = {&gif1, &gif2};
    for (size_t i = 0; i < 2; ++i) {
        const CPropertyBag& a = d.attachments[i].props;
        std::string cid = ToUtf8(Str(a, tagAttachContentId));
        ASSERT_FALSE(cid.empty());
        EXPECT_NE(stored.find("cid:" + cid), std::string::npos);
        EXPECT_EQ(Bin(a, tagAttachDataBinary), *datas[i]);
        EXPECT_EQ(a.GetInt(tagAttachFlags), 4);
        EXPECT_EQ(Str(a, tagAttachMimeTag), u"image/gif");
    }
    EXPECT_EQ(Str(d.props, tagBody), U("Bild: src=\"" + p1 + "\""));
}

TEST(StoreImport, MessageWithoutBodyText) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Task", 13);
    item->Invoke(0xb, EInvokeKind::PropertyPut, {CVariant(u"from the put")});
    f.Import(item, "3.eml", WriterMessage("text/plain", "", {}), 1024);
    EXPECT_EQ(Str(item->Data().props, tagBody), u"from the put");
    EXPECT_EQ(Str(item->Data().props, tagMessageClass), u"IPM.Task");
    EXPECT_EQ(Str(item->Data().props, tagSubject), U("Gr\xC3\xBC\xC3\x9F" "e zum Fest"));
}

TEST(StoreImport, ContactCardAsTheWriterMakesIt) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Contact", 10);
    item->Invoke(0x60040083, EInvokeKind::PropertyPut, {CVariant(u"Smith, Jr.")});
    std::string jpeg = "\xFF\xD8\xFF\xE0 tiny jpeg";
    std::string card =
        "BEGIN:VCARD\r\n"
        "N;CHARSET=utf-8:Smith; Jr.;John;Q;Dr.;III\r\n"
        "FN;CHARSET=utf-8:Dr. John Q Smith, Jr. III\r\n"
        "ORG;CHARSET=utf-8:Acme GmbH;Sales\r\n"
        "NICKNAME;CHARSET=utf-8:jq\r\n"
        "EMAIL;CHARSET=utf-8:john@acme.example\r\n"
        "EMAIL;CHARSET=utf-8:jq@private.example\r\n"
        "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;Hauptstr. 1=0D=0A=\nHinterhaus;Berlin;BE;10115;Germany\r\n"
        "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;Building 7;Office Road 2;M\xC3\xBCnchen;BY;80331;Germany\r\n"
        "ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;;;\r\n"
        "TEL;TYPE=work,fax:+49 89 1\r\n"
        "TEL;TYPE=work,voice:+49 89 2\r\n"
        "TEL;TYPE=work,voice:+49 89 3\r\n"
        "TEL;TYPE=home,voice:+49 30 4\r\n"
        "TEL;TYPE=cell,voice:+49 170 5\r\n"
        "TEL;TYPE=msg:+49 6\r\n"
        "TEL;TYPE=pager:+49 7\r\n"
        "TEL;TYPE=phone,pref:+49 8\r\n"
        "TEL;VOICE;ASSISTANT:+49 89 9\r\n"
        "TITLE;CHARSET=utf-8:Head of Sales\r\n"
        "URL;WORK;CHARSET=utf-8:http://acme.example\r\n"
        "X-MS-ASSISTANT;CHARSET=utf-8:Eve\r\n"
        "X-MS-MANAGER;CHARSET=utf-8:Mallory\r\n"
        "X-MS-SPOUSE;CHARSET=utf-8:Jane\r\n"
        "X-MS-IMADDRESS;CHARSET=utf-8:john/acme\r\n"
        "BDAY:19801231\r\n"
        "X-MS-ANNIVERSARY:20050615\r\n"
        "NOTE;CHARSET=utf-8;ENCODING=QUOTED-PRINTABLE:Line one=0D=0A=\nLine two\r\n"
        "PHOTO;ENCODING=BASE64:\r\n" + Base64(jpeg) + "\r\n\r\n"
        "END:VCARD\r\n";
    f.Import(item, "1.vcf", card, 6);
    const CPropertyBag& p = item->Data().props;
    EXPECT_EQ(Str(p, tagSurname), u"Smith, Jr.");  // the put wins over the split N component
    EXPECT_EQ(Str(p, tagGivenName), u"John");
    EXPECT_EQ(Str(p, tagMiddleName), u"Q");
    EXPECT_EQ(Str(p, tagDisplayNamePrefix), u"Dr.");
    EXPECT_EQ(Str(p, tagGeneration), u"III");
    EXPECT_EQ(Str(p, tagDisplayName), u"Dr. John Q Smith, Jr. III");
    EXPECT_EQ(Str(p, tagCompanyName), u"Acme GmbH");
    EXPECT_EQ(Str(p, tagDepartmentName), u"Sales");
    EXPECT_EQ(Str(p, tagNickname), u"jq");
    EXPECT_EQ(NamedStr(p, Address(0x8083, ptString)), u"john@acme.example");
    EXPECT_EQ(NamedStr(p, Address(0x8093, ptString)), u"jq@private.example");
    EXPECT_EQ(Str(p, tagHomeAddressStreet), u"Hauptstr. 1\r\nHinterhaus");
    EXPECT_EQ(Str(p, tagHomeAddressCity), u"Berlin");
    EXPECT_EQ(Str(p, tagHomeAddressCountry), u"Germany");
    EXPECT_EQ(Str(p, tagOfficeLocation), u"Building 7");
    EXPECT_EQ(NamedStr(p, Address(0x8045, ptString)), u"Office Road 2");
    EXPECT_EQ(NamedStr(p, Address(0x8046, ptString)), U("M\xC3\xBCnchen"));
    EXPECT_EQ(NamedStr(p, Address(0x8049, ptString)), u"Germany");
    EXPECT_FALSE(p.Has(tagOtherAddressCity));
    EXPECT_EQ(Str(p, tagBusinessFax), u"+49 89 1");
    EXPECT_EQ(Str(p, tagBusinessTelephone), u"+49 89 2");
    EXPECT_EQ(Str(p, tagBusiness2Telephone), u"+49 89 3");
    EXPECT_EQ(Str(p, tagHomeTelephone), u"+49 30 4");
    EXPECT_EQ(Str(p, tagMobileTelephone), u"+49 170 5");
    EXPECT_EQ(Str(p, tagOtherTelephone), u"+49 6");
    EXPECT_EQ(Str(p, tagPagerTelephone), u"+49 7");
    EXPECT_EQ(Str(p, tagPrimaryTelephone), u"+49 8");
    EXPECT_EQ(Str(p, tagAssistantTelephone), u"+49 89 9");
    EXPECT_EQ(Str(p, tagTitle), u"Head of Sales");
    EXPECT_EQ(Str(p, tagBusinessHomePage), u"http://acme.example");
    EXPECT_EQ(Str(p, tagAssistant), u"Eve");
    EXPECT_EQ(Str(p, tagManagerName), u"Mallory");
    EXPECT_EQ(Str(p, tagSpouseName), u"Jane");
    EXPECT_EQ(NamedStr(p, Address(0x8062, ptString)), u"john/acme");
    EXPECT_EQ(Time(p, tagBirthday), Utc(1980, 12, 31, 12));
    EXPECT_EQ(Time(p, tagWeddingAnniversary), Utc(2005, 6, 15, 12));
    EXPECT_EQ(Str(p, tagBody), u"Line one\r\nLine two");
    ASSERT_EQ(item->Data().attachments.size(), 1u);
    EXPECT_EQ(Bin(item->Data().attachments[0].props, tagAttachDataBinary), jpeg);
    EXPECT_TRUE(p.GetNamed(Address(0x8015, ptBoolean)) != nullptr);
}

TEST(StoreImport, CardAddressesJoinThePutSlotsWithoutDuplicates) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Contact", 10);
    item->Invoke(0x60040035, EInvokeKind::PropertyPut, {CVariant(u"")});
    item->Invoke(0x6004003b, EInvokeKind::PropertyPut, {CVariant(u"misc1@x.org")});
    f.Import(item, "e.vcf",
             "BEGIN:VCARD\r\nN;CHARSET=utf-8:Lee, Jr.;Ann;;;\r\nEMAIL;CHARSET=utf-8:misc1@x.org\r\n"
             "EMAIL;CHARSET=utf-8:misc3@x.org\r\nEND:VCARD\r\n",
             6);
    const CPropertyBag& p = item->Data().props;
    EXPECT_EQ(NamedStr(p, Address(0x8083, ptString)), u"misc3@x.org");
    EXPECT_EQ(NamedStr(p, Address(0x8093, ptString)), u"misc1@x.org");
    EXPECT_EQ(NamedStr(p, Address(0x80A3, ptString)), u"");
    EXPECT_EQ(Str(p, tagSurname), u"Lee, Jr.");
    EXPECT_EQ(Str(p, tagGivenName), u"Ann");
}

TEST(StoreImport, CalendarEntryAsTheWriterMakesIt) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Appointment", 9);
    std::string ics =
        "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
        "CREATED:20180101T080000\r\n"
        "DTEND;TZID=\"Greenwich Mean Time\":20180205T100000\r\n"
        "DTSTART;TZID=\"Greenwich Mean Time\":20180205T090730\r\n"
        "LAST-MOD:20180102T090000\r\n"
        "SUMMARY;CHARSET=utf-8:Planung: Q1; Budget, Rest\r\n"
        "ORGANIZER;CN=\"J\xC3\xBCrgen M\xC3\xBCller <jm@example.com>\"\r\n"
        "ATTENDEE;CN=\"anna@example.com;bob@example.com\"\r\n"
        "ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"agenda.txt\":" + Base64("1. Budget\r\n2. Rest") + "\r\n"
        "DESCRIPTION;CHARSET=utf-8:First\\nSecond\r\\nThird\r\n"
        "LOCATION;CHARSET=utf-8:Room 1\r\n"
        "CATEGORIES:Work,Planning\r\n"
        "X-MICROSOFT-CDO-IMPORTANCE:2\r\n"
        "BEGIN:VALARM\r\nTRIGGER:-PT-15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    f.Import(item, "1t.ics", ics, 8);
    const CMessageData& d = item->Data();
    const CPropertyBag& p = d.props;
    EXPECT_EQ(NamedTime(p, Appointment(0x820D, ptTime)), Utc(2018, 2, 5, 9, 7, 30));
    EXPECT_EQ(NamedTime(p, Appointment(0x820E, ptTime)), Utc(2018, 2, 5, 10, 0, 0));
    EXPECT_EQ(Time(p, tagStartDate), Utc(2018, 2, 5, 9, 7, 30));
    EXPECT_EQ(Str(p, tagSubject), u"Planung: Q1; Budget, Rest");
    EXPECT_EQ(Str(p, tagSentReprName), U("J\xC3\xBCrgen M\xC3\xBCller"));
    EXPECT_EQ(Str(p, tagSenderEmail), u"jm@example.com");
    ASSERT_EQ(d.recipients.size(), 2u);
    EXPECT_EQ(Str(d.recipients[1].props, tagEmailAddress), u"bob@example.com");
    EXPECT_EQ(NamedStr(p, Appointment(0x823B, ptString)), u"anna@example.com; bob@example.com");
    EXPECT_EQ(Str(p, tagBody), u"First\r\nSecond\r\nThird");
    EXPECT_EQ(NamedStr(p, Appointment(0x8208, ptString)), u"Room 1");
    const CPropValue* keywords = p.GetNamed(Keywords());
    ASSERT_NE(keywords, nullptr);
    EXPECT_EQ(std::get<std::vector<std::u16string>>(*keywords), (std::vector<std::u16string>{u"Work", u"Planning"}));
    EXPECT_EQ(p.GetInt(tagImportance), 2);
    EXPECT_EQ(std::get<bool>(*p.GetNamed(Common(0x8503, ptBoolean))), true);
    EXPECT_EQ(std::get<int32_t>(*p.GetNamed(Common(0x8501, ptInt32))), 15);
    ASSERT_EQ(d.attachments.size(), 1u);
    EXPECT_EQ(Str(d.attachments[0].props, tagAttachLongFilename), u"agenda.txt");
    EXPECT_EQ(Bin(d.attachments[0].props, tagAttachDataBinary), "1. Budget\r\n2. Rest");
}

TEST(StoreImport, CalendarQuirks) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Appointment", 9);
    std::string ics =
        "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
        "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:7\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    f.Import(item, "2t.ics", ics, 8);
    const CPropertyBag& p = item->Data().props;
    EXPECT_EQ(p.GetNamed(Keywords()), nullptr);
    EXPECT_FALSE(p.Has(tagImportance));
    EXPECT_FALSE(p.Has(tagBody));
    EXPECT_EQ(std::get<int32_t>(*p.GetNamed(Common(0x8501, ptInt32))), 0);
}

TEST(StoreImport, DistributionListTextBecomesTheBody) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.DistList", 28);
    std::u16string text = u"Group Name: Sales\r\nGroup Description: \r\nGroup Owner: CN=Ann/O=Acme\r\n"
                          u"Group Members: CN=Bob/O=Acme;carl@example.com\r\nComments: \r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += std::string{char(c & 0xFF), char(c >> 8)};
    f.Import(item, "1.txt", bytes, 0);
    EXPECT_EQ(Str(item->Data().props, tagBody), text);
    EXPECT_EQ(item->Data().props.GetNamed(Address(0x8055, ptMultiBinary)), nullptr);
}

struct CMalformedCase {
    const char* name;
    int32_t format;
    std::string bytes;
};

class StoreMalformedImport : public ::testing::TestWithParam<CMalformedCase> {};

TEST_P(StoreMalformedImport, FailsAndLeavesTheItemAsItWas) {
    CItemFixture f;
    const CMalformedCase& c = GetParam();
    const char16_t* cls = c.format == 1024 ? u"IPM.Note" : c.format == 6 ? u"IPM.Contact" : u"IPM.Appointment";
    auto item = f.NewItem(cls, c.format == 6 ? 10 : 9);
    item->Invoke(0, EInvokeKind::PropertyPut, {CVariant(u"kept")});
    std::string path = f.dir.File("bad", c.bytes);
    EXPECT_THROW(item->Invoke(0x47, EInvokeKind::Method, {CVariant(U(path)), CVariant(c.format)}), CDispatchError);
    EXPECT_EQ(Str(item->Data().props, tagSubject), u"kept");
    EXPECT_TRUE(item->Data().attachments.empty());
}

std::string Garbage(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 12345;
    for (auto& ch : s) {
        x = x * 1103515245 + 12345;
        ch = static_cast<char>(x >> 16);
    }
    return s;
}

const std::string hugeLine(10 * 1024 * 1024, 'a');
const std::string goodEml = WriterMessage("text/plain", "body text", {{"a.bin", std::string(2000, 'z')}});

INSTANTIATE_TEST_SUITE_P(
    Files, StoreMalformedImport,
    ::testing::Values(
        CMalformedCase{"EmlEmpty", 1024, ""},
        CMalformedCase{"EmlGarbage", 1024, Garbage(4096)},
        CMalformedCase{"EmlCutInHeader", 1024, goodEml.substr(0, 60)},
        CMalformedCase{"EmlCutInAttachment", 1024, goodEml.substr(0, goodEml.size() - 700)},
        CMalformedCase{"EmlHugeHeaderLine", 1024, "Subject: " + hugeLine + "\r\n\r\nbody"},
        CMalformedCase{"VcfEmpty", 6, ""},
        CMalformedCase{"VcfGarbage", 6, Garbage(4096)},
        CMalformedCase{"VcfTruncated", 6, "BEGIN:VCARD\r\nN;CHARSET=utf-8:Smith;John;;;\r\nFN;CHARSET=utf-8:Jo"},
        CMalformedCase{"VcfHugeLine", 6, "BEGIN:VCARD\r\nNOTE:" + hugeLine + "\r\nEND:VCARD\r\n"},
        CMalformedCase{"VcfBadPhoto", 6, "BEGIN:VCARD\r\nPHOTO;ENCODING=BASE64:\r\n%%%%\r\n\r\nEND:VCARD\r\n"},
        CMalformedCase{"IcsEmpty", 8, ""},
        CMalformedCase{"IcsGarbage", 8, Garbage(4096)},
        CMalformedCase{"IcsTruncated", 8, "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\nDTSTART;TZID=\"Gre"},
        CMalformedCase{"IcsHugeLine", 8,
                       "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:" + hugeLine + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n"},
        CMalformedCase{"IcsNoEvent", 8, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StoreImport, MissingFileAndUnknownFormatFail) {
    CItemFixture f;
    auto item = f.NewItem(u"IPM.Note", 6);
    EXPECT_THROW(item->Invoke(0x47, EInvokeKind::Method, {CVariant(u"/nonexistent/file.eml"), CVariant(int32_t(1024))}),
                 CDispatchError);
    EXPECT_THROW(item->Invoke(0x47, EInvokeKind::Method, {CVariant(U(f.dir.path)), CVariant(int32_t(1024))}),
                 CDispatchError);
    std::string path = f.dir.File("x.eml", goodEml);
    EXPECT_THROW(item->Invoke(0x47, EInvokeKind::Method, {CVariant(U(path)), CVariant(int32_t(3))}), CDispatchError);
}

// Items made through the dispatch interface as the conversion passes make
// them, saved to the staging store, written to a PST file, and read back
// with independent readers (libpff's Python bindings and readpst).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/pst/PstWriter.h"
#include "platform/pst/StagingStore.h"
#include "platform/store/Dispatch.h"
#include "tests/store/TestSupport.h"
#include "tests/support/CommandOutput.h"

using namespace store;
using namespace storetest;
using nlohmann::json;

namespace {

CVariant Call(const DispatchPtr& obj, int32_t dispid, std::vector<CVariant> args = {}) {
    return obj->Invoke(dispid, EInvokeKind::Method, args);
}
void Put(const DispatchPtr& obj, int32_t dispid, CVariant value) { obj->Invoke(dispid, EInvokeKind::PropertyPut, {value}); }
DispatchPtr Items(const DispatchPtr& folder) { return folder->Invoke(0x11, EInvokeKind::PropertyGet, {}).Object(); }
DispatchPtr Add(const DispatchPtr& items, const char16_t* cls) { return Call(items, 4, {CVariant(cls)}).Object(); }
COleDate Ole(int y, int mo, int d, int h, int mi, int s) {
    int64_t ft = Utc(y, mo, d, h, mi, s);
    return COleDate{static_cast<double>(ft) / 864000000000.0 - 109205.0};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Key(uint16_t id, uint16_t type) {
    char buf[16];
    snprintf(buf, sizeof buf, "%04X%04X", id, type);
    return buf;
}

const json* FindMessage(const json& dump, const std::string& folderSuffix, const std::string& subject) {
    for (auto it = dump.begin(); it != dump.end(); ++it) {
        const std::string& key = it.key();
        if (key.size() < folderSuffix.size() || key.compare(key.size() - folderSuffix.size(), folderSuffix.size(), folderSuffix) != 0)
            continue;
        for (const auto& m : it.value())
            if (m.value("subject", "") == subject) return &m;
    }
    return nullptr;
}

std::string MailFile(const std::string& html, const std::string& attachmentName, const std::string& attachment) {
    const std::string b = "__=_Part_Boundary_001_012345.006789";
    std::string m = "Date: Tue, 5 Mar 2013 14:07:09 +0000\r\n"
                    "From: " + EncodedWord("J\xC3\xBCrgen M\xC3\xBCller <jm@example.com>") + "\r\n"
                    "To: " + EncodedWord("anna@example.com;Bob Builder <bob@example.com>") + "\r\n"
                    "Subject: " + EncodedWord("Quartalsbericht Q1") + "\r\n"
                    "Content-Type: multipart/mixed; boundary=\"" + b + "\"\r\n"
                    "\r\n--" + b + "\r\nContent-Type: text/html; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + html +
                    "\r\n--" + b + "\r\nContent-Transfer-Encoding: base64\r\nContent-Type: application/octet-stream; name=\"" +
                    EncodedWord(attachmentName) + "\"\r\n\r\n" + Base64(attachment) + "\r\n\r\n--" + b + "--\r\n";
    return m;
}

class StorePstRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
        dir = new CTempDir;
        pstPath = dir->path + "/out/Mailbox.pst";
        {
            CTmpDirGuard tmp(dir->path);  // the converted pictures live in the temporary directory
            BuildStore();
        }
        stagingPath = pst::CStagingStore::PathForPst(pstPath).string();
        writeError = pst::WritePstFromStaging(stagingPath, pstPath);
        if (writeError.empty()) {
            if (getenv("STORE_TEST_KEEP")) CommandOutput("cp " + pstPath + " /tmp/rp/");
            dump = json::parse(CommandOutput("/usr/bin/python3 " NSF2PST_SOURCE_DIR "/tests/store/pst_dump.py '" + pstPath + "'"),
                               nullptr, false);
            CommandOutput("mkdir -p '" + dir->path + "/readpst' && readpst -M -b -q -o '" + dir->path + "/readpst' '" + pstPath +
                "' 2>&1");
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static void BuildStore();
    static uint16_t NamedId(const CGuid& guid, uint32_t lid) {
        auto staging = pst::CStagingStore::OpenExisting(stagingPath);
        return staging->NamedPropertyId(guid, lid);
    }
    static uint16_t NamedId(const CGuid& guid, const std::u16string& name) {
        auto staging = pst::CStagingStore::OpenExisting(stagingPath);
        return staging->NamedPropertyId(guid, name);
    }

    static CTempDir* dir;
    static std::string pstPath, stagingPath, writeError;
    static json dump;
    static std::string gif1, gif2, jpeg;
};

CTempDir* StorePstRoundTrip::dir = nullptr;
std::string StorePstRoundTrip::pstPath, StorePstRoundTrip::stagingPath, StorePstRoundTrip::writeError;
json StorePstRoundTrip::dump;
std::string StorePstRoundTrip::gif1("GIF89a\x01\x00\x01\x00 first picture", 25);
std::string StorePstRoundTrip::gif2("GIF89a\x01\x00\x01\x00 second picture", 26);
std::string StorePstRoundTrip::jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF picture", 18);

void StorePstRoundTrip::BuildStore() {
    auto session = CreateObject(u"Redemption.RDOSession");
    ASSERT_NE(session, nullptr);
    ASSERT_NE(Call(session, 0x6002001F, {CVariant(U(pstPath)), CVariant(u"Personal Folders"), CVariant(int32_t(1)),
                                         CVariant(CMissing{}), CVariant(CMissing{})}).Object(), nullptr);
    // Mail, as the mail pass: import, then the puts.
    std::string p1 = dir->File("Body01C4.gif", gif1), p2 = dir->File("Body088.gif", gif2);
    std::string html = "<html><body><p>Siehe Bilder</p><img src=\"" + p1 + "\"><img src=\"" + p2 + "\"></body></html>";
    auto target = Items(Call(session, 0x60020016, {CVariant(u"Archive\\2013\\Q1")}).Object());
    auto mail = Add(target, u"IPM.Note");
    Call(mail, 0x47, {CVariant(U(dir->File("0.eml", MailFile(html, "Bericht.pdf", "%PDF-1.4 report")))), CVariant(int32_t(1024))});
    Put(mail, 0x1b, CVariant(int32_t(2)));
    Put(mail, 0x29, CVariant(Ole(2013, 3, 5, 14, 7, 9)));
    Put(mail, 0x40, CVariant(u"anna@example.com;Bob Builder <bob@example.com>"));
    Put(mail, 0x26, CVariant(U("J\xC3\xBCrgen M\xC3\xBCller <jm@example.com>")));
    Put(mail, 0x34, CVariant(U("J\xC3\xBCrgen M\xC3\xBCller <jm@example.com>")));
    Put(mail, 0x3a, CVariant(U("J\xC3\xBCrgen M\xC3\xBCller <jm@example.com>")));
    Put(mail, 0x1a, CVariant(U(html)));
    Put(mail, 0xe, CVariant(u"carl@example.com"));
    Put(mail, 0, CVariant(u"Quartalsbericht Q1"));
    Put(mail, 0x38, CVariant(true));
    Put(mail, 0xd, CVariant(u"Finance;Reports"));
    Put(mail, 0x41, CVariant(false));
    Put(mail, 0x60030093, CVariant(true));
    Call(mail, 6);

    // Task: puts, then import.
    auto tasks = Items(Call(session, 7, {CVariant(int32_t(13))}).Object());
    auto task = Add(tasks, u"IPM.Task");
    Put(task, 0, CVariant(u"Steuererkl\u00E4rung"));
    Put(task, 0x60040020, CVariant(Ole(2013, 4, 1, 0, 0, 0)));
    Put(task, 0x60040011, CVariant(Ole(2013, 4, 30, 0, 0, 0)));
    Put(task, 0xb, CVariant(u"Belege sammeln"));
    std::string taskEml = "Subject: " + EncodedWord("Steuererkl\xC3\xA4rung") +
                          "\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\nContent-Type: text/plain; "
                          "charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\nBelege sammeln\r\n--B--\r\n";
    Call(task, 0x47, {CVariant(U(dir->File("1.eml", taskEml))), CVariant(int32_t(1024))});
    Call(task, 6);

    // Contact: puts, import, picture.
    auto contacts = Items(Call(session, 7, {CVariant(int32_t(10))}).Object());
    auto contact = Add(contacts, u"IPM.Contact");
    Put(contact, 0x60040008, CVariant(Ole(1980, 12, 31, 0, 0, 0)));
    Put(contact, 0x6004004d, CVariant(u"John"));
    Put(contact, 0x60040083, CVariant(u"Smith"));
    Put(contact, 0x60040051, CVariant(u"John Smith"));
    Put(contact, 0x6004002d, CVariant(u"Acme"));
    Put(contact, 0x60040035, CVariant(u"john@acme.example"));
    Put(contact, 0x6004006d, CVariant(u"+49 30 1234"));
    Put(contact, 0x6004005f, CVariant(u"Berlin"));
    Put(contact, 0x60040069, CVariant(u"Hauptstr. 1"));
    Put(contact, 0x600400a6, CVariant(u""));
    Put(contact, 0x60040086, CVariant(u"home"));
    Put(contact, 0x60040088, CVariant(u"Berlin"));
    Put(contact, 0x600400c2, CVariant(int32_t(1)));
    Put(contact, 0xb, CVariant(u"Met at the fair"));
    std::string card = "BEGIN:VCARD\r\nN;CHARSET=utf-8:Smith;John;;;\r\nFN;CHARSET=utf-8:John Smith\r\n"
                       "ORG;CHARSET=utf-8:Acme;\r\nEMAIL;CHARSET=utf-8:john@acme.example\r\n"
                       "ADR;TYPE=home;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;Hauptstr. 1;Berlin;;10115;Germany\r\n"
                       "ADR;TYPE=work;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;;;;\r\n"
                       "ADR;TYPE=postal;ENCODING=QUOTED-PRINTABLE;CHARSET=utf-8:;;;;;\r\n"
                       "TEL;TYPE=home,voice:+49 30 1234\r\nBDAY:19801231\r\nEND:VCARD\r\n";
    Call(contact, 0x47, {CVariant(U(dir->File("2.vcf", card))), CVariant(int32_t(6))});
    Call(contact, 0x600400e0, {CVariant(U(dir->File("ContactPhoto", jpeg)))});
    Call(contact, 6);

    // Distribution list: name, members, import.
    auto lists = Items(Call(session, 7, {CVariant(int32_t(28))}).Object());
    auto list = Add(lists, u"IPM.DistList");
    Put(list, 0x60040002, CVariant(u"Sales Team"));
    for (const char16_t* member : {u"anna@example.com", u"CN=Bob Builder/O=Acme", u""})
        Call(list, 0x6004000b, {CVariant(member), CVariant(u""), CVariant(u"")});
    std::u16string text = u"Group Name: Sales Team\r\nGroup Description: \r\nGroup Owner: \r\nGroup Members: "
                          u"anna@example.com;CN=Bob Builder/O=Acme;\r\nComments: \r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += std::string{char(c & 0xFF), char(c >> 8)};
    Call(list, 0x47, {CVariant(U(dir->File("3.txt", bytes))), CVariant(int32_t(0))});
    Call(list, 6);

    // Appointment: the calendar pass's puts, then the import.
    auto calendar = Items(Call(session, 7, {CVariant(int32_t(9))}).Object());
    auto appt = Add(calendar, u"IPM.Appointment");
    auto zones = session->Invoke(0x60020017, EInvokeKind::PropertyGet, {}).Object();
    Put(appt, 0x34, CVariant(u"Ann Organizer <ann@example.com>"));
    Put(appt, 0x3a, CVariant(u"Ann Organizer <ann@example.com>"));
    Put(appt, 0x60040049, CVariant(u"Room 1"));
    Put(appt, 0, CVariant(u"Planning"));
    Put(appt, 0xb, CVariant(u"Agenda follows"));
    Put(appt, 0x6004003b, CVariant(u"anna@example.com;bob@example.com"));
    Put(appt, 0x2d, CVariant(true));
    Put(appt, 0x6004002f, CVariant(int32_t(-15)));
    Put(appt, 0x60040042, CVariant(Ole(2018, 2, 5, 9, 0, 0)));
    Put(appt, 0x6004000a, CVariant(Ole(2018, 2, 5, 10, 30, 0)));
    Put(appt, 0x60040046, CVariant(Call(zones, 0x60020001, {CVariant(u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=5$ZN=W. Europe")}).Object()));
    Put(appt, 0x6004000e, CVariant(Call(zones, 0x60020001, {CVariant(u"")}).Object()));
    std::string ics = "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Greenwich Mean Time\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\n"
                      "DTEND;TZID=\"Greenwich Mean Time\":20180205T103000\r\n"
                      "DTSTART;TZID=\"Greenwich Mean Time\":20180205T090000\r\n"
                      "SUMMARY;CHARSET=utf-8:Planning\r\nORGANIZER;CN=\"Ann Organizer <ann@example.com>\"\r\n"
                      "ATTENDEE;CN=\"anna@example.com;bob@example.com\"\r\n"
                      "DESCRIPTION;CHARSET=utf-8:Agenda follows\r\nLOCATION;CHARSET=utf-8:Room 1\r\n"
                      "CATEGORIES:NONE\r\nX-MICROSOFT-CDO-IMPORTANCE:1\r\n"
                      "BEGIN:VALARM\r\nTRIGGER:-PT-15M\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
                      "END:VEVENT\r\nEND:VCALENDAR\r\n";
    Call(appt, 0x47, {CVariant(U(dir->File("99t.ics", ics))), CVariant(int32_t(8))});
    Call(appt, 6);
    Call(session, 0x12);
}

}  // namespace

TEST_F(StorePstRoundTrip, WriterAndReaderAccept) {
    ASSERT_EQ(writeError, "");
    ASSERT_TRUE(dump.is_object());
    std::string info = CommandOutput("pffinfo '" + pstPath + "' 2>&1");
    EXPECT_EQ(info.find("Unable"), std::string::npos) << info;
}

TEST_F(StorePstRoundTrip, MailProperties) {
    ASSERT_TRUE(dump.is_object());
    const json* m = FindMessage(dump, "\\Archive\\2013\\Q1", "Quartalsbericht Q1");
    ASSERT_NE(m, nullptr);
    const json& p = (*m)["props"];
    EXPECT_EQ(p[Key(0x001A, 0x1F)], "IPM.Note");
    EXPECT_EQ(p[Key(0x0017, 3)], 2);
    EXPECT_EQ(p[Key(0x0C1A, 0x1F)], "J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(p[Key(0x0042, 0x1F)], "J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(p[Key(0x0065, 0x1F)], "jm@example.com");
    EXPECT_EQ(p[Key(0x0E04, 0x1F)], "anna@example.com; Bob Builder");
    EXPECT_EQ(p[Key(0x0E03, 0x1F)], "carl@example.com");
    EXPECT_EQ(p[Key(0x0E06, 0x40)], Utc(2013, 3, 5, 14, 7, 9));
    EXPECT_EQ(p[Key(0x0E07, 3)].get<int>() & 0x1F, 0x10);  // unread, has attachments, not unsent
    EXPECT_EQ((*m)["attachments"].size(), 3u);
    std::string htmlBody = (*m)["html"];
    EXPECT_EQ(htmlBody.find(dir->path), std::string::npos);
    EXPECT_NE(htmlBody.find("cid:image1."), std::string::npos);
    EXPECT_NE(htmlBody.find("cid:image2."), std::string::npos);
    uint16_t keywords = NamedId(psetPublicStrings, u"Keywords");
    EXPECT_EQ(p.count(Key(keywords, 0x101F)), 1u);
}

TEST_F(StorePstRoundTrip, ReadpstExportsTheMail) {
    std::string eml;
    for (const char* name : {"/readpst/Personal Folders/Archive/2013/Q1/1", "/readpst/Archive/2013/Q1/1"}) {
        eml = ReadFile(dir->path + name);
        if (!eml.empty()) break;
    }
    if (eml.empty()) {
        std::string listing = CommandOutput("find '" + dir->path + "/readpst' -type f");
        FAIL() << "no exported mail; readpst wrote:\n" << listing;
    }
    // readpst writes plain line feeds.
    EXPECT_NE(eml.find("Subject: Quartalsbericht Q1\n"), std::string::npos);
    EXPECT_NE(eml.find("From: =?UTF-8?b?SsO8cmdlbiBNw7xsbGVy?= <jm@example.com>\n"), std::string::npos) << eml;
    EXPECT_NE(eml.find("To: anna@example.com, Bob Builder <bob@example.com>\n"), std::string::npos);
    EXPECT_NE(eml.find("Cc: carl@example.com\n"), std::string::npos);
    EXPECT_NE(eml.find("Date: Tue, 05 Mar 2013 14:07:09 +0000\n"), std::string::npos);
    EXPECT_NE(eml.find("Siehe Bilder"), std::string::npos);
    EXPECT_NE(eml.find(Base64(gif1)), std::string::npos);
    EXPECT_NE(eml.find("Bericht.pdf"), std::string::npos);
    EXPECT_NE(eml.find("Content-ID: <image1."), std::string::npos);
}

TEST_F(StorePstRoundTrip, TaskContactListAndAppointment) {
    ASSERT_TRUE(dump.is_object());
    const json* task = FindMessage(dump, "\\Tasks", "Steuererkl\xC3\xA4rung");
    ASSERT_NE(task, nullptr);
    EXPECT_EQ((*task)["props"][Key(0x001A, 0x1F)], "IPM.Task");
    EXPECT_EQ((*task)["props"][Key(NamedId(psetTask, 0x8104), 0x40)], Utc(2013, 4, 1));
    EXPECT_EQ((*task)["props"][Key(NamedId(psetTask, 0x8105), 0x40)], Utc(2013, 4, 30));
    EXPECT_EQ((*task)["plain"], "Belege sammeln");

    const json* contact = FindMessage(dump, "\\Contacts", "John Smith");
    ASSERT_NE(contact, nullptr);
    const json& c = (*contact)["props"];
    EXPECT_EQ(c[Key(0x001A, 0x1F)], "IPM.Contact");
    EXPECT_EQ(c[Key(0x3A06, 0x1F)], "John");
    EXPECT_EQ(c[Key(0x3A11, 0x1F)], "Smith");
    EXPECT_EQ(c[Key(0x3A09, 0x1F)], "+49 30 1234");
    EXPECT_EQ(c[Key(0x3A59, 0x1F)], "Berlin");
    EXPECT_EQ(c[Key(0x3A5A, 0x1F)], "Germany");
    EXPECT_EQ(c[Key(0x3A42, 0x40)], Utc(1980, 12, 31, 12));
    EXPECT_EQ(c[Key(NamedId(psetAddress, 0x8083), 0x1F)], "john@acme.example");
    EXPECT_EQ(c[Key(NamedId(psetAddress, 0x8022), 3)], 1);
    EXPECT_EQ(c[Key(NamedId(psetAddress, 0x8005), 0x1F)], "Smith, John");
    EXPECT_EQ(c.count(Key(0x3A5F, 0x1F)), 0u);  // an empty put leaves no property
    ASSERT_EQ((*contact)["attachments"].size(), 1u);
    EXPECT_EQ((*contact)["attachments"][0]["props"][Key(0x7FFF, 0x0B)], true);

    const json* list = FindMessage(dump, "\\Contacts", "Sales Team");
    ASSERT_NE(list, nullptr);
    const json& l = (*list)["props"];
    EXPECT_EQ(l[Key(0x001A, 0x1F)], "IPM.DistList");
    EXPECT_EQ(l[Key(NamedId(psetAddress, 0x8053), 0x1F)], "Sales Team");
    EXPECT_EQ(l.count(Key(NamedId(psetAddress, 0x8055), 0x1102)), 1u);
    EXPECT_NE((*list)["plain"].get<std::string>().find("Group Members: anna@example.com"), std::string::npos);

    const json* appt = FindMessage(dump, "\\Calendar", "Planning");
    ASSERT_NE(appt, nullptr);
    const json& a = (*appt)["props"];
    EXPECT_EQ(a[Key(0x001A, 0x1F)], "IPM.Appointment");
    EXPECT_EQ(a[Key(NamedId(psetAppointment, 0x820D), 0x40)], Utc(2018, 2, 5, 9));
    EXPECT_EQ(a[Key(NamedId(psetAppointment, 0x820E), 0x40)], Utc(2018, 2, 5, 10, 30));
    EXPECT_EQ(a[Key(NamedId(psetAppointment, 0x8213), 3)], 90);
    EXPECT_EQ(a[Key(NamedId(psetAppointment, 0x8208), 0x1F)], "Room 1");
    EXPECT_EQ(a[Key(NamedId(psetCommon, 0x8501), 3)], 15);
    EXPECT_EQ(a[Key(NamedId(psetCommon, 0x8503), 0x0B)], true);
    EXPECT_EQ(a[Key(0x0042, 0x1F)], "Ann Organizer");
    std::string startZone = a[Key(NamedId(psetAppointment, 0x825E), 0x102)]["hex"];
    std::string endZone = a[Key(NamedId(psetAppointment, 0x825F), 0x102)]["hex"];
    EXPECT_NE(startZone.find(Base64("")), std::string::npos);
    EXPECT_EQ(endZone.size(), 122u * 2);
    EXPECT_EQ(startZone.substr(0, 8), "02013400");  // "W. Europe Standard Time": 23 characters
    EXPECT_EQ((*appt)["plain"], "Agenda follows");
}

TEST_F(StorePstRoundTrip, ReadpstExportsContactAndAppointment) {
    std::string card = ReadFile(dir->path + "/readpst/Personal Folders/Contacts/1");
    std::string calendar = ReadFile(dir->path + "/readpst/Personal Folders/Calendar/1");
    ASSERT_FALSE(card.empty()) << CommandOutput("find '" + dir->path + "/readpst' -type f");
    ASSERT_FALSE(calendar.empty());
    for (const char* line : {"N:Smith;John;;;\n", "EMAIL:john@acme.example\n", "BDAY:1980-12-31", "ORG:Acme\n",
                             "TEL;TYPE=home,voice:+49 30 1234\n", "ADR;TYPE=home:;;Hauptstr. 1;Berlin;;10115;Germany\n",
                             "NOTE:Met at the fair\n"})
        EXPECT_NE(card.find(line), std::string::npos) << line << "\n" << card;
    for (const char* line : {"SUMMARY:Planning\n", "DESCRIPTION:Agenda follows\n", "DTSTART;VALUE=DATE-TIME:20180205T090000Z\n",
                             "DTEND;VALUE=DATE-TIME:20180205T103000Z\n", "LOCATION:Room 1\n", "TRIGGER:-PT15M\n"})
        EXPECT_NE(calendar.find(line), std::string::npos) << line << "\n" << calendar;
}

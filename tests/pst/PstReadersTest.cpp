// PST files written from staging stores, read back by independent readers
// (pffinfo, pffexport, readpst and libpff's Python bindings).
#include <gtest/gtest.h>

#include <fstream>

#include "platform/sys/Text.h"
#include "tests/pst/PstScenario.h"

namespace pst::test {
namespace {

void WriteAndCheck(CScenario& s) {
    ASSERT_EQ(s.WritePst(), "");
    int rc = 0;
    std::string report = s.Check(&rc);
    EXPECT_EQ(rc, 0) << report;
}

TEST(PstReaders, EmptyStoreHasDefaultFoldersAndEntryIds) {
    CScenario s("empty", u"Personal Folders");
    WriteAndCheck(s);
}

TEST(PstReaders, NestedFoldersWithNonAsciiNames) {
    CScenario s("nested");
    const std::u16string paths[] = {u"Archiv Größe", u"Archiv Größe/Ελληνικά", u"Archiv Größe/Ελληνικά/日本語のフォルダ",
                                    u"Inbox/Проекты", u"Inbox/Проекты/عربي", u"Inbox/Проекты/עברית"};
    for (const auto& p : paths) {
        s.Folder(p);
        s.ExpectFolder(p, u"IPF.Note", 0);
        s.AddMessage(p, u"In " + p);
    }
    s.Folder(u"Kalender 2", u"IPF.Appointment");
    s.ExpectFolder(u"Kalender 2", u"IPF.Appointment", 0);
    WriteAndCheck(s);
}

TEST(PstReaders, BodiesAndSubjectsInSeveralScripts) {
    CScenario s("bodies");
    const std::u16string subjects[] = {u"Plain ASCII subject", u"Grüße aus Köln", u"Привет, мир", u"こんにちは世界",
                                       u"مرحبا بالعالم", u"שלום עולם", u"Γειά σου Κόσμε", u"😀 emoji 𝄞"};
    const size_t sizes[] = {0, 5, 3580, 3581, 8200, 70000, 200000};
    int n = 0;
    for (size_t size : sizes) {
        std::u16string text;
        for (size_t i = 0; i < size; ++i) text.push_back(char16_t(u'a' + i % 26 + (i % 97 == 0 ? 0x400 : 0)));
        CPropBag plain;
        plain.SetString(0x1000, text);  // plain body
        s.AddMessage(u"Inbox", subjects[n++ % 8] + u" plain " + sys::Widen(std::to_string(size)), plain);
        CPropBag html;
        std::string markup = "<html><body><p>" + std::string(size, 'h') + "</p></body></html>";
        html.SetBinary(0x1013, markup);  // HTML body
        html.SetString(0x001A, u"IPM.Note");
        html.SetLong(0x0E07, 0);  // unread
        html.SetTime(0x0039, 133000000000000000LL);
        html.SetBool(0x0057, true);
        s.AddMessage(u"Inbox", subjects[n++ % 8] + u" html " + sys::Widen(std::to_string(size)), html);
    }
    // Empty values are values: readers must find them, not a missing one.
    CPropBag empty;
    empty.SetBinary(0x1013, "");
    empty.SetString(0x0E1D, u"");
    s.AddMessage(u"Inbox", u"empty HTML body", empty);
    WriteAndCheck(s);
}

TEST(PstReaders, RecipientsOfEachType) {
    CScenario s("recipients");
    s.AddMessage(u"Sent Items", u"To only", {}, {{u"Jane Doe", u"jane@example.com", 1}});
    s.AddMessage(u"Sent Items", u"All kinds", {},
                 {{u"Jane Doe", u"jane@example.com", 1},
                  {u"Jörg Müller", u"joerg@example.de", 2},
                  {u"佐藤", u"sato@example.jp", 3},
                  {u"Second To", u"second@example.com", 1}});
    s.AddMessage(u"Sent Items", u"No recipients");
    WriteAndCheck(s);
}

TEST(PstReaders, AttachmentsAroundBlockBoundaries) {
    CScenario s("attachments");
    const uint64_t sizes[] = {0, 1, 8176, 8177, 1 << 20};
    int seed = 1;
    for (uint64_t size : sizes)
        s.AddMessage(u"Inbox", u"One attachment of " + sys::Widen(std::to_string(size)), {}, {},
                     {{u"file" + sys::Widen(std::to_string(size)) + u".bin", size, seed++, size > 8177}});
    std::vector<CAttachmentSpec> twenty;
    for (int i = 0; i < 20; ++i)
        twenty.push_back({u"part " + sys::Widen(std::to_string(i)) + u" – Anhang.dat", sizes[i % 5], seed++, i % 2 == 0});
    s.AddMessage(u"Inbox", u"Twenty attachments", {}, {{u"Jane", u"jane@example.com", 1}}, twenty);
    s.AddMessage(u"Inbox", u"No attachment");
    WriteAndCheck(s);
}

TEST(PstReaders, NamedPropertiesResolveThroughTheMap) {
    CScenario s("named");
    auto& store = s.Store();
    Guid common = ParseGuid("{00062008-0000-0000-C000-000000000046}");
    Guid address = ParseGuid("{00062004-0000-0000-C000-000000000046}");
    uint16_t reminder = store.NamedPropertyId(common, 0x8503);
    uint16_t keywords = store.NamedPropertyId(PS_PUBLIC_STRINGS, u"Keywords");
    uint16_t email = store.NamedPropertyId(address, 0x8083);
    uint16_t custom = store.NamedPropertyId(address, u"Benutzerfeld Größe");
    EXPECT_EQ(reminder, 0x8000);
    EXPECT_EQ(store.NamedPropertyId(common, 0x8503), reminder);
    CPropBag props;
    props.SetBool(reminder, true);
    props.SetStrings(keywords, {u"Rot", u"Blau", u"緑"});
    props.SetString(email, u"someone@example.com");
    props.SetLong(custom, 1234);
    s.AddMessage(u"Contacts", u"Named values", props);
    s.ExpectNamed(common, 0x8503, reminder);
    s.ExpectNamed(PS_PUBLIC_STRINGS, u"Keywords", keywords);
    s.ExpectNamed(address, 0x8083, email);
    s.ExpectNamed(address, u"Benutzerfeld Größe", custom);
    WriteAndCheck(s);
}

// One message whose property context needs a BTree-on-heap of two levels
// and a heap of over eight blocks, and a name-to-ID map whose streams live
// in subnodes. readpst and pst-extractor cannot read a property context with
// index levels and skip the message; the libpff readers read it all.
TEST(PstReaders, LargePropertyContext) {
    CScenario s("wide");
    s.ExpectReadpstSkips(1);
    s.ExpectExtractorSkips(1);
    CPropBag props;
    Guid set = ParseGuid("{00062008-0000-0000-C000-000000000046}");
    for (int i = 0; i < 600; ++i) {
        std::u16string name = u"Field " + sys::Widen(std::to_string(i));
        uint16_t id = s.Store().NamedPropertyId(PS_PUBLIC_STRINGS, name);
        props.SetLong(id, i * 1000 + 7);
        if (i % 50 == 0) s.ExpectNamed(PS_PUBLIC_STRINGS, name, id);
    }
    for (int i = 0; i < 60; ++i) {
        uint16_t id = s.Store().NamedPropertyId(set, uint32_t(0x8600 + i));
        props.SetString(id, std::u16string(1700, char16_t(u'A' + i % 26)));
    }
    s.AddMessage(u"Inbox", u"Wide message", props, {{u"Jane", u"jane@example.com", 1}});
    WriteAndCheck(s);
}

// 350 attachments: a subnode tree of two levels (SIBLOCK) and an attachment
// table whose rows live in a subnode.
TEST(PstReaders, ManyAttachments) {
    CScenario s("manyattach");
    std::vector<CAttachmentSpec> many;
    for (int i = 0; i < 350; ++i) many.push_back({u"a" + sys::Widen(std::to_string(i)) + u".txt", uint64_t(i % 7), i, false});
    s.AddMessage(u"Inbox", u"Many attachments", {}, {{u"Jane", u"jane@example.com", 1}}, many);
    WriteAndCheck(s);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(PstReaders, EmbeddedMessageWithItsOwnRecipientsAndAttachments) {
    CScenario s("embedded");
    CStagedMessage outer;
    outer.props.SetString(0x0037, u"Forwarded message");
    outer.props.SetString(0x1000, u"See the attached message.");
    CStagedAttachment attached;
    attached.props.SetString(0x3001, u"Original");
    attached.embedded = std::make_shared<CStagedMessage>();
    auto& inner = *attached.embedded;
    inner.props.SetString(0x0037, u"Original subject ünïcode");
    inner.props.SetString(0x1000, u"Original body");
    CPropBag r;
    r.SetString(0x3001, u"Inner Recipient");
    r.SetString(0x3003, u"inner@example.com");
    r.SetString(0x3002, u"SMTP");
    inner.recipients.push_back(r);
    CStagedAttachment deep;
    deep.props.SetString(0x3707, u"deep.txt");
    deep.props.SetBinary(0x3701, "deep attachment data");
    inner.attachments.push_back(deep);
    outer.attachments.push_back(attached);
    s.AddStaged(u"Inbox", outer);
    WriteAndCheck(s);
    auto message = s.WorkDir() / "pffexport.export" / "Top of Outlook data file" / "Inbox" / "Message00001" /
                   "Attachments" / "Attachment00001" / "Message00001";
    EXPECT_EQ(ReadFile(message / "Attachments" / "1_deep.txt"), "deep attachment data");
    EXPECT_NE(ReadFile(message / "Recipients.txt").find("inner@example.com"), std::string::npos);
    std::string mbox = ReadFile(s.WorkDir() / "readpst" / "Inbox.mbox");
    EXPECT_NE(mbox.find("Content-Type: message/rfc822"), std::string::npos);
    EXPECT_NE(mbox.find("filename=\"deep.txt\""), std::string::npos);
}

}  // namespace
}  // namespace pst::test

#include <gtest/gtest.h>

#include "platform/store/Addresses.h"
#include "platform/store/ItemModel.h"
#include "platform/store/StoreText.h"
#include "platform/store/TimeZone.h"
#include "tests/store/TestSupport.h"

using namespace store;
using namespace storetest;

namespace {

CVariant Ole(int y, int mo, int d, int h = 0, int mi = 0) {
    return CVariant(COleDate{static_cast<double>(Utc(y, mo, d, h, mi)) / 864000000000.0 - 109205.0});
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        snprintf(buf, sizeof buf, "%02X", c);
        out += buf;
    }
    return out;
}

}  // namespace

TEST(StoreText, EqualNoCaseFoldsLettersOnly) {
    struct Case {
        std::u16string a, b;
        bool equal;
    } cases[] = {
        {u"BR", u"br", true},   {u"Style", u"sTYLE", true}, {u"b[", u"b{", false},  // '[' | 0x20 is '{'
        {u"@", u"`", false},    {u"\u00C4x", u"\u00E4X", true}, {u"K", u"\u212A", true},  // Kelvin sign
        {u"br", u"bra", false}, {u"", u"", true},
    };
    for (const Case& c : cases) EXPECT_EQ(EqualNoCase(c.a, c.b), c.equal) << ToUtf8(c.a) << " / " << ToUtf8(c.b);
}

TEST(StoreText, Utf8BothWays) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"plain ascii", u"plain ascii"},
        {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80!", u"\u00E4\u20AC\U0001F600!"},
        {"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FromUtf8(c.utf8), c.utf16);
        EXPECT_EQ(ToUtf8(c.utf16), c.utf8);
    }
    // What is not UTF-8 or UTF-16 becomes U+FFFD, and nothing around it is lost.
    EXPECT_EQ(FromUtf8("a\xC3"), u"a\uFFFD");           // cut sequence
    EXPECT_EQ(FromUtf8("\xC0\xAF" "b"), u"\uFFFD\uFFFDb");  // overlong
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(ToUtf8(std::u16string(u"x") + char16_t(0xD800)), "x\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDC00)) + u"y"), "\xEF\xBF\xBDy");
}

TEST(StoreAddresses, OneOffEntryIdLayout) {
    std::string id = OneOffEntryId(CAddress{u"John Doe", u"jd@example.com", u"SMTP"});
    ASSERT_EQ(id.size(), 82u);
    EXPECT_EQ(Hex(id.substr(0, 24)), "00000000812B1FA4BEA310199D6E00DD010F540200000190");
    EXPECT_EQ(id.substr(24, 18), std::string("J\0o\0h\0n\0 \0D\0o\0e\0\0\0", 18));
}

TEST(StoreAddresses, ListsAsTheConversionJoinsThem) {
    struct {
        const char16_t* text;
        std::vector<CAddress> expected;
    } cases[] = {
        {u"a@x.org;Bob B <b@x.org>", {{u"a@x.org", u"a@x.org", u"SMTP"}, {u"Bob B", u"b@x.org", u"SMTP"}}},
        {u"\"Doe, John\" <jd@x.org>, c@x.org", {{u"Doe, John", u"jd@x.org", u"SMTP"}, {u"c@x.org", u"c@x.org", u"SMTP"}}},
        {u"CN=Ann Lee/O=Acme;;", {{u"CN=Ann Lee/O=Acme", u"CN=Ann Lee/O=Acme", u"NOTES"}}},
        {u"  ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseAddressList(c.text), c.expected) << ToUtf8(c.text);
}

TEST(StoreTimeZones, NotesZoneTexts) {
    CTimeZoneInfo europe = ParseNotesZone(u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=5$ZN=W. Europe");
    EXPECT_EQ(europe.keyName, u"W. Europe Standard Time");
    EXPECT_EQ(europe.bias, -60);
    EXPECT_EQ(europe.daylightBias, -60);
    EXPECT_EQ(europe.daylightDate.month, 3);
    EXPECT_EQ(europe.daylightDate.week, 5);
    EXPECT_EQ(europe.daylightDate.dayOfWeek, 0);
    EXPECT_EQ(europe.standardDate.month, 10);
    CTimeZoneInfo eastern = ParseNotesZone(u"Z=5$DO=1$DL=3 2 1 11 1 1$ZX=25$ZN=Eastern");
    EXPECT_EQ(eastern.bias, 300);
    EXPECT_EQ(eastern.daylightDate.week, 2);
    EXPECT_EQ(eastern.standardDate.week, 1);
    CTimeZoneInfo india = ParseNotesZone(u"Z=-5.5$DO=0$ZN=India");
    EXPECT_EQ(india.bias, -330);
    EXPECT_EQ(india.daylightDate.month, 0);
    CTimeZoneInfo greenwich;
    for (const char16_t* text : {u"", u"garbage", u"Z=abc$DO=1", u"Z=99$ZN=x", u"$$$="})
        EXPECT_EQ(ParseNotesZone(text), greenwich) << ToUtf8(text);
    // A broken daylight rule keeps the offset and drops daylight time.
    CTimeZoneInfo broken = ParseNotesZone(u"Z=-2$DO=1$DL=13 9 9$ZN=Cairo");
    EXPECT_EQ(broken.bias, -120);
    EXPECT_EQ(broken.daylightDate.month, 0);
}

TEST(StoreTimeZones, PersistedForms) {
    std::string gmt = TimeZoneDefinition(CTimeZoneInfo{});
    ASSERT_EQ(gmt.size(), 122u);
    EXPECT_EQ(Hex(gmt.substr(0, 8)), "0201340002001700");
    EXPECT_EQ(Hex(gmt.substr(54, 8)), "01000201" "3E000200");
    EXPECT_EQ(TimeZoneStruct(CTimeZoneInfo{}), std::string(48, '\0'));
    std::string europe = TimeZoneDefinition(ParseNotesZone(u"Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZN=W. Europe"));
    // bias -60, standard date October last Sunday 03:00, daylight date March last Sunday 02:00
    size_t rule = europe.size() - 66;
    EXPECT_EQ(Hex(europe.substr(rule + 22, 12)), "C4FFFFFF00000000C4FFFFFF");
    EXPECT_EQ(Hex(europe.substr(rule + 34, 10)), "00000A00000005000300");
    EXPECT_EQ(Hex(europe.substr(rule + 50, 10)), "00000300000005000200");
}

TEST(StorePuts, ReadStateSentFlagAndRecipientsWithoutDuplicates) {
    CMessageData d;
    PutItemProperty(EItemKind::Mail, d, 0x40, CVariant(u"a@x.org;b@x.org"));
    PutItemProperty(EItemKind::Mail, d, 0xe, CVariant(u"c@x.org"));
    PutItemProperty(EItemKind::Mail, d, 0x40, CVariant(u"a@x.org;b@x.org"));
    PutItemProperty(EItemKind::Mail, d, 0x38, CVariant(true));
    PutItemProperty(EItemKind::Mail, d, 0x41, CVariant(true));
    PrepareForSave(EItemKind::Mail, d);
    EXPECT_EQ(d.recipients.size(), 3u);
    EXPECT_EQ(Str(d.props, tagDisplayTo), u"a@x.org; b@x.org");
    EXPECT_EQ(d.props.GetInt(tagMessageFlags), mfRead);
    PutItemProperty(EItemKind::Mail, d, 0x41, CVariant(false));
    PrepareForSave(EItemKind::Mail, d);
    EXPECT_EQ(d.props.GetInt(tagMessageFlags), 0);
    EXPECT_THROW(PutItemProperty(EItemKind::Mail, d, 0x12345, CVariant(u"x")), CDispatchError);
    EXPECT_THROW(PutItemProperty(EItemKind::Mail, d, 0x1b, CVariant(u"high")), CDispatchError);
}

TEST(StorePuts, SameNumberMeansDifferentThingsPerKind) {
    CMessageData contact, appointment, list;
    PutItemProperty(EItemKind::Contact, contact, 0x6004000a, CVariant(u"+1 555"));
    PutItemProperty(EItemKind::Appointment, appointment, 0x6004000a, Ole(2020, 1, 2, 10));
    PutItemProperty(EItemKind::DistList, list, 0x60040002, CVariant(u"Team"));
    PutItemProperty(EItemKind::Contact, contact, 0x60040002, Ole(2001, 5, 6));
    EXPECT_EQ(Str(contact.props, tagBusiness2Telephone), u"+1 555");
    EXPECT_EQ(NamedTime(appointment.props, Appointment(0x820E, ptTime)), Utc(2020, 1, 2, 10));
    EXPECT_EQ(NamedStr(list.props, Address(0x8053, ptString)), u"Team");
    EXPECT_EQ(Time(contact.props, tagWeddingAnniversary), Utc(2001, 5, 6, 12));
}

TEST(StorePuts, ContactMailingAddressAndDerivedTexts) {
    CMessageData d;
    auto put = [&](int32_t id, CVariant v) { PutItemProperty(EItemKind::Contact, d, id, v); };
    put(0x6004004d, CVariant(u"Ann"));
    put(0x60040083, CVariant(u"Lee"));
    put(0x60040051, CVariant(u""));
    put(0x60040018, CVariant(u"1 Office Rd"));
    put(0x6004000e, CVariant(u"Leeds"));
    put(0x60040012, CVariant(u"LS1"));
    put(0x60040086, CVariant(u"business"));
    put(0x60040092, CVariant(u"1 Office Rd"));
    put(0x600400c2, CVariant(int32_t(2)));
    put(0x60040035, CVariant(u"ann@x.org"));
    put(0x6004003b, CVariant(u""));
    put(0x60040024, CVariant(u"Tom;Tina"));
    PrepareForSave(EItemKind::Contact, d);
    EXPECT_FALSE(d.props.Has(tagDisplayName) && Str(d.props, tagDisplayName).empty());
    EXPECT_EQ(Str(d.props, tagDisplayName), u"Ann Lee");
    EXPECT_EQ(NamedStr(d.props, Address(0x8005, ptString)), u"Lee, Ann");
    EXPECT_EQ(std::get<int32_t>(*d.props.GetNamed(Address(0x8022, ptInt32))), 2);
    EXPECT_EQ(Str(d.props, tagPostalAddress), u"1 Office Rd\r\nLeeds LS1");
    EXPECT_EQ(NamedStr(d.props, Address(0x8080, ptString)), u"Ann Lee (ann@x.org)");
    EXPECT_EQ(NamedStr(d.props, Address(0x8093, ptString)), u"");
    EXPECT_EQ(std::get<std::vector<int32_t>>(*d.props.GetNamed(Address(0x8028, ptMultiInt32))), std::vector<int32_t>{0});
    EXPECT_EQ(std::get<std::vector<std::u16string>>(*d.props.Get(tagChildrensNames)),
              (std::vector<std::u16string>{u"Tom", u"Tina"}));
    EXPECT_EQ(d.props.GetInt(tagMessageFlags), mfRead);
}

TEST(StorePuts, DistributionListMembersStayInStep) {
    CMessageData d;
    for (const char16_t* m : {u"anna@x.org", u"", u"CN=Bob/O=Acme"}) AddDistListMember(d, m, u"", u"");
    auto members = std::get<std::vector<std::string>>(*d.props.GetNamed(Address(0x8055, ptMultiBinary)));
    auto oneOffs = std::get<std::vector<std::string>>(*d.props.GetNamed(Address(0x8054, ptMultiBinary)));
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members, oneOffs);
    EXPECT_EQ(members[1], OneOffEntryId(CAddress{u"CN=Bob/O=Acme", u"CN=Bob/O=Acme", u"NOTES"}));
    // CRC-32 of the concatenated entries, as zlib computes it.
    std::string all = members[0] + members[1];
    uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : all) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    EXPECT_EQ(static_cast<uint32_t>(std::get<int32_t>(*d.props.GetNamed(Address(0x804C, ptInt32)))), ~crc);
    // The member lists stay below the size where another form would be needed.
    int added = 0;
    try {
        for (; added < 1000; ++added) AddDistListMember(d, u"someone.with.a.long.name@example.org", u"", u"");
    } catch (const CDispatchError&) {
    }
    EXPECT_LT(added, 1000);
    size_t total = 0;
    for (const auto& m : std::get<std::vector<std::string>>(*d.props.GetNamed(Address(0x8055, ptMultiBinary))))
        total += m.size();
    EXPECT_LE(total, 15000u);
}

TEST(StorePuts, TaskWithStartButNoDueGetsADueDate) {
    CMessageData d;
    PutItemProperty(EItemKind::Task, d, 0x60040020, Ole(2013, 4, 1, 15, 30));
    PrepareForSave(EItemKind::Task, d);
    EXPECT_EQ(NamedTime(d.props, Task(0x8104, ptTime)), Utc(2013, 4, 1));
    EXPECT_EQ(NamedTime(d.props, Task(0x8105, ptTime)), Utc(2013, 4, 1));
    EXPECT_EQ(std::get<int32_t>(*d.props.GetNamed(Task(0x8113, ptInt32))), 1);
}

TEST(StorePuts, DocumentTimesAndIdentifiersOutliveTheSave) {
    for (EItemKind kind : {EItemKind::Mail, EItemKind::Task, EItemKind::Contact, EItemKind::DistList}) {
        CMessageData d;
        PutItemProperty(kind, d, dispidCreationTime, Ole(2013, 3, 5, 13, 7));
        PutItemProperty(kind, d, dispidLastModificationTime, Ole(2013, 7, 6, 6));
        PutItemProperty(kind, d, dispidInternetMessageId, CVariant(u" <OF1@acme> "));
        PutItemProperty(kind, d, dispidInReplyToId, CVariant(u"<OF0@acme>"));
        PutItemProperty(kind, d, dispidInternetReferences, CVariant(u"<a@x> <OF0@acme>"));
        PrepareForSave(kind, d);
        EXPECT_EQ(Time(d.props, tagCreationTime), Utc(2013, 3, 5, 13, 7));
        EXPECT_EQ(Time(d.props, tagLastModificationTime), Utc(2013, 7, 6, 6));
        EXPECT_EQ(Str(d.props, tagInternetMessageId), u"<OF1@acme>");
        EXPECT_EQ(Str(d.props, tagInReplyTo), u"<OF0@acme>");
        EXPECT_EQ(Str(d.props, tagInternetReferences), u"<a@x> <OF0@acme>");
    }
}

TEST(StorePuts, TaskDayInstantsReplaceTheHostZonesOnes) {
    CMessageData d;
    PutItemProperty(EItemKind::Task, d, 0x60040020, Ole(2024, 2, 3, 9));
    PutItemProperty(EItemKind::Task, d, dispidTaskStartInstant, Ole(2024, 2, 2, 23));
    PrepareForSave(EItemKind::Task, d);
    EXPECT_EQ(NamedTime(d.props, Task(0x8104, ptTime)), Utc(2024, 2, 3));
    EXPECT_EQ(NamedTime(d.props, Common(0x8516, ptTime)), Utc(2024, 2, 2, 23));
    // No due date: the due day is the start day, its instant the start's.
    EXPECT_EQ(NamedTime(d.props, Task(0x8105, ptTime)), Utc(2024, 2, 3));
    EXPECT_EQ(NamedTime(d.props, Common(0x8517, ptTime)), Utc(2024, 2, 2, 23));
}

TEST(StorePuts, AppointmentReminderAndDuration) {
    struct {
        int32_t offset;
        int32_t minutesBefore;
    } cases[] = {{-15, 15}, {0, 0}, {30, 0}};
    for (const auto& c : cases) {
        CMessageData d;
        PutItemProperty(EItemKind::Appointment, d, 0x6004002f, CVariant(c.offset));
        PutItemProperty(EItemKind::Appointment, d, 0x60040042, Ole(2018, 2, 5, 9));
        PutItemProperty(EItemKind::Appointment, d, 0x6004000a, Ole(2018, 2, 5, 8));  // before the start
        PrepareForSave(EItemKind::Appointment, d);
        EXPECT_EQ(std::get<int32_t>(*d.props.GetNamed(Common(0x8501, ptInt32))), c.minutesBefore);
        EXPECT_EQ(NamedTime(d.props, Appointment(0x820E, ptTime)), Utc(2018, 2, 5, 9));
        EXPECT_EQ(std::get<int32_t>(*d.props.GetNamed(Appointment(0x8213, ptInt32))), 0);
        EXPECT_EQ(NamedTime(d.props, Common(0x8560, ptTime)), Utc(2018, 2, 5, 9) - int64_t(c.minutesBefore) * 600000000);
    }
    CMessageData d;
    EXPECT_THROW(PutItemProperty(EItemKind::Appointment, d, 0x60040046, CVariant(u"W. Europe")), CDispatchError);
}

TEST(StorePuts, ContactPictureReplacesThePrevious) {
    CMessageData d;
    SetContactPicture(d, "\x89PNG first");
    SetContactPicture(d, "\xFF\xD8\xFF second");
    ASSERT_EQ(d.attachments.size(), 1u);
    EXPECT_EQ(Str(d.attachments[0].props, tagAttachMimeTag), u"image/jpeg");
    EXPECT_EQ(Str(d.attachments[0].props, tagAttachLongFilename), u"ContactPicture.jpg");
    EXPECT_THROW(SetContactPicture(d, "not an image"), CDispatchError);
    PrepareForSave(EItemKind::Contact, d);
    EXPECT_EQ(d.props.Get(tagHasAttachments) ? std::get<bool>(*d.props.Get(tagHasAttachments)) : true, false);
}

TEST(StorePuts, HtmlBodyIsStoredAsUtf8WithItsTextRendition) {
    CMessageData d;
    PutItemProperty(EItemKind::Mail, d, 0x1a,
                    CVariant(u"<html><head><META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                             u"<style>p{color:red}</style></head><body><p>Gr\u00FC\u00DFe &amp; mehr</p>"
                             u"<p>zweite&nbsp;Zeile<br>dritte</p></body></html>"));
    std::string html = Bin(d.props, tagHtml);
    EXPECT_NE(html.find("charset=utf-8\""), std::string::npos);
    EXPECT_NE(html.find("Gr\xC3\xBC\xC3\x9F" "e"), std::string::npos);
    EXPECT_EQ(Str(d.props, tagBody), u"Gr\u00FC\u00DFe & mehr\r\nzweite Zeile\r\ndritte");
    EXPECT_EQ(d.props.GetInt(tagInternetCodepage), 65001);
    EXPECT_EQ(d.props.GetInt(tagNativeBody), 3);
}

// The text rendition follows the HTML it sits beside, whichever way the body
// changed before: the same HTML again, other HTML, a plain body in between.
TEST(StorePuts, TextRenditionFollowsEveryBodyChange) {
    CMessageData d;
    auto putHtml = [&](const char16_t* html) { PutItemProperty(EItemKind::Mail, d, 0x1a, CVariant(html)); };
    putHtml(u"<p>first</p>");
    putHtml(u"<p>first</p>");
    EXPECT_EQ(Str(d.props, tagBody), u"first");
    putHtml(u"<p>second</p>");
    EXPECT_EQ(Str(d.props, tagBody), u"second");
    PutItemProperty(EItemKind::Mail, d, 0xb, CVariant(u"plain"));
    EXPECT_EQ(Str(d.props, tagBody), u"plain");
    putHtml(u"<p>second</p>");
    EXPECT_EQ(Str(d.props, tagBody), u"second");
    EXPECT_EQ(d.props.GetInt(tagNativeBody), 3);
    d.props.Remove(tagBody);
    putHtml(u"<p>second</p>");
    EXPECT_EQ(Str(d.props, tagBody), u"second");
}

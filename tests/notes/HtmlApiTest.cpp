#include <gtest/gtest.h>

#include <cstring>

#include "platform/notes/CdRecords.h"
#include "platform/notes/HtmlApi.h"
#include "platform/notes/ItemCodec.h"
#include "platform/sys/Text.h"
#include "tests/notes/TestDatabase.h"

namespace {

struct CImageRef {
    std::string field, position, text;
};

// Runs a conversion and collects the text and the image references.
class CConversion {
public:
    CConversion() {
        EXPECT_EQ(HTMLProcessInitialize(), 0u);
        EXPECT_EQ(HTMLCreateConverter(&converter), 0u);
    }
    ~CConversion() {
        HTMLDestroyConverter(converter);
        HTMLProcessTerminate();
    }
    std::string Text() {
        DWORD length = 0;
        EXPECT_EQ(HTMLGetProperty(converter, HTMLAPI_PROP_TEXTLENGTH, &length), 0u);
        std::string text(length, '\0');
        EXPECT_EQ(HTMLGetText(converter, 0, &length, text.data()), 0u);
        return text;
    }
    std::vector<CImageRef> Images() {
        DWORD count = 0;
        EXPECT_EQ(HTMLGetProperty(converter, HTMLAPI_PROP_NUMREFS, &count), 0u);
        std::vector<CImageRef> out;
        for (DWORD i = 0; i < count; ++i) {
            MEMHANDLE h = 0;
            HTMLAPIReference* ref = nullptr;
            EXPECT_EQ(HTMLGetReference(converter, i, &h), 0u);
            EXPECT_EQ(HTMLLockAndFixupReference(h, &ref), 0u);
            if (ref->RefType == HTMLAPI_REF_IMG && ref->NumTargets >= 2 &&
                ref->pTargets[ref->NumTargets - 1].AddressableType == UAT_FieldOffset) {
                EXPECT_EQ(ref->pTargets[ref->NumTargets - 2].AddressableType, UAT_Field);
                out.push_back({ref->pTargets[ref->NumTargets - 2].Value.name,
                               ref->pTargets[ref->NumTargets - 1].Value.name, ref->pRefText});
            }
            OSUnlockObject(h);
            EXPECT_EQ(OSMemFree(h), 0u);
        }
        return out;
    }
    HTMLHANDLE converter = 0;
};

class HtmlApi : public ::testing::Test {
protected:
    HtmlApi()
        : db(R"({"replicaId": "0000000100000002", "documents": [
               {"noteId": 4, "items": {"Subject": "Pictures", "Body": {"richtext": [
                  "Before the chart & <more>", {"image": "one.gif"}, {"text": "Grün", "italic": true, "color": "blue"},
                  {"image": "two.jpg"}, {"attachment": "r.pdf"}]}},
                "attachments": [{"name": "r.pdf", "text": "pdf"}]},
               {"noteId": 8, "items": {"Subject": "plain", "Body": "just text"}},
               {"noteId": 12, "encrypted": true, "items": {"Body": {"richtext": ["sealed"]}}}]})",
             {{"one.gif", TestGif(3, 2, '1')}, {"two.jpg", TestJpeg()}}) {
        db.Open();
    }
    // Byte offsets of the graphic records of the item, found by walking its records.
    std::vector<uint32_t> GraphicOffsets(LNNOTEID id) {
        LNDocument doc = db.OpenDocument(id);
        LNItem body;
        doc.GetItem("Body", &body);
        std::vector<uint32_t> out;
        for (const auto& e : notes::DecodeRichText({body.GetRawValue()}))
            if (e.kind == notes::CRtElement::kImage) out.push_back(e.offset);
        return out;
    }
    CTestDatabase db;
};

TEST_F(HtmlApi, ImageReferencesCarryItemNameIndexAndTrueOffset) {
    LNDocument doc = db.OpenDocument(4);
    CConversion c;
    const char* options[] = {"ForceSectionExpand=1", "RowAtATimeTableAlt=1", "ForceOutlineExpand=1", nullptr};
    ASSERT_EQ(HTMLSetHTMLOptions(c.converter, options), 0u);
    ASSERT_EQ(HTMLConvertNote(c.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), 0, nullptr), 0u);
    auto images = c.Images();
    ASSERT_EQ(images.size(), 2u);
    // The offsets point at the graphic records in the stored item.
    LNItem body;
    doc.GetItem("Body", &body);
    std::string raw = body.GetRawValue();
    const char* expectedFormat[] = {"gif", "jpeg"};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(images[i].field, "Body");
        auto dot = images[i].position.find('.');
        ASSERT_NE(dot, std::string::npos);
        EXPECT_EQ(images[i].position.substr(0, dot), "0");
        uint32_t offset = static_cast<uint32_t>(std::stoul(images[i].position.substr(dot + 1), nullptr, 16));
        EXPECT_EQ(notes::GetWord(raw, 2 + offset), notes::SIG_CD_GRAPHIC) << images[i].position;
        EXPECT_NE(images[i].text.find("/Body/" + images[i].position + "?OpenElement"), std::string::npos);
        EXPECT_NE(images[i].text.find(expectedFormat[i]), std::string::npos);
        // The element at that position gives the image's bytes.
        CConversion element;
        ASSERT_EQ(HTMLConvertElement(element.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body", 0,
                                     offset), 0u);
        BOOL binary = 0;
        HTMLGetProperty(element.converter, HTMLAPI_PROP_BINARYDATA, &binary);
        EXPECT_TRUE(binary);
        EXPECT_EQ(element.Text(), i == 0 ? TestGif(3, 2, '1') : TestJpeg());
    }
    EXPECT_EQ(GraphicOffsets(4).size(), 2u);
    CConversion wrong;
    EXPECT_NE(HTMLConvertElement(wrong.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body", 0, 1), 0u);
}

TEST_F(HtmlApi, SettingReferenceTextRepointsTheImage) {
    LNDocument doc = db.OpenDocument(4);
    CConversion c;
    ASSERT_EQ(HTMLConvertItem(c.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body"), 0u);
    auto images = c.Images();
    ASSERT_EQ(images.size(), 2u);
    ASSERT_EQ(HTMLSetReferenceText(c.converter, 0, "/tmp/temp/Body01C4.gif"), 0u);
    std::string html = c.Text();
    EXPECT_NE(html.find("<img src=\"/tmp/temp/Body01C4.gif\""), std::string::npos) << html;
    EXPECT_EQ(html.find(images[0].text), std::string::npos);
    EXPECT_NE(html.find(images[1].text), std::string::npos);
    EXPECT_NE(html.find("Before the chart &amp; &lt;more&gt;"), std::string::npos);
    EXPECT_NE(html.find("<font size=\"2\" color=\"#0000FF\"><i>"), std::string::npos);
    EXPECT_NE(html.find(">r.pdf</a>"), std::string::npos);
}

TEST_F(HtmlApi, ConverterTextIsLmbcsAndTranslatesWithModeTwenty) {
    LNDocument doc = db.OpenDocument(4);
    CConversion c;
    ASSERT_EQ(HTMLConvertNote(c.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), 0, nullptr), 0u);
    std::string lmbcs = c.Text();
    std::vector<char> wide(lmbcs.size() * 2 + 2, '\0');
    WORD n = OSTranslate(OS_TRANSLATE_LMBCS_TO_UNICODE, lmbcs.data(), static_cast<WORD>(lmbcs.size()), wide.data(),
                         static_cast<WORD>(wide.size()));
    std::u16string text(n / 2, u'\0');
    std::memcpy(text.data(), wide.data(), n);
    EXPECT_NE(sys::Utf16ToUtf8(text).find("<i>Grün</i>"), std::string::npos);
    EXPECT_EQ(lmbcs.find("Grün"), std::string::npos);   // not UTF-8 inside the converter
}

TEST_F(HtmlApi, NotesWithoutVisibleRichTextDoNotConvert) {
    CConversion c;
    LNDocument plain = db.OpenDocument(8);
    EXPECT_NE(HTMLConvertNote(c.converter, db.database.GetDatabaseHandle(), plain.GetNoteHandle(), 0, nullptr), 0u);
    EXPECT_NE(HTMLConvertItem(c.converter, db.database.GetDatabaseHandle(), plain.GetNoteHandle(), "Body"), 0u);
    LNDocument sealed = db.OpenDocument(12);
    EXPECT_NE(HTMLConvertNote(c.converter, db.database.GetDatabaseHandle(), sealed.GetNoteHandle(), 0, nullptr), 0u);
    ASSERT_EQ(sealed.Decrypt(), 0u);
    ASSERT_EQ(HTMLConvertNote(c.converter, db.database.GetDatabaseHandle(), sealed.GetNoteHandle(), 0, nullptr), 0u);
    EXPECT_NE(c.Text().find("sealed"), std::string::npos);
}

TEST_F(HtmlApi, ItemLookUpAndHandles) {
    LNDocument doc = db.OpenDocument(4);
    WORD type = 0;
    DWORD length = 0;
    EXPECT_EQ(NSFItemInfo(doc.GetNoteHandle(), "Body", 4, nullptr, &type, nullptr, &length), 0u);
    EXPECT_EQ(type, TYPE_COMPOSITE);
    EXPECT_GT(length, 2u);
    EXPECT_EQ(NSFItemInfo(doc.GetNoteHandle(), "Bodyx", 4, nullptr, &type, nullptr, &length), 0u);   // length counts
    EXPECT_NE(NSFItemInfo(doc.GetNoteHandle(), "None", 4, nullptr, &type, nullptr, &length), 0u);
    NOTEHANDLE stale = doc.GetNoteHandle();
    doc.Close();
    EXPECT_NE(NSFItemInfo(stale, "Body", 4, nullptr, &type, nullptr, &length), 0u);
    HTMLHANDLE none = 0;
    EXPECT_NE(HTMLCreateConverter(&none), 0u);   // process not started
    char text[64];
    EXPECT_GT(OSLoadString(nullptr, ERR_ITEM_NOT_FOUND, text, sizeof text), 0);
    EXPECT_STREQ(text, "Note item not found");
}

}  // namespace

namespace {

TEST(HtmlApiSplitBody, ImageInTheSecondItemHasIndexOne) {
    std::string paragraphs;
    for (int i = 0; i < 1200; ++i) paragraphs += "\"Paragraph " + std::to_string(i) + " filling the first item of the body\",";
    CTestDatabase db(R"({"documents": [{"noteId": 4, "items": {"Body": {"richtext": [)" + paragraphs +
                         R"({"image": "late.gif"}]}}}]})",
                     {{"late.gif", TestGif(5, 5, 'L')}});
    db.Open();
    LNDocument doc = db.OpenDocument(4);
    CConversion c;
    ASSERT_EQ(HTMLConvertItem(c.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body"), 0u);
    auto images = c.Images();
    ASSERT_EQ(images.size(), 1u);
    ASSERT_EQ(images[0].position.substr(0, 2), "1.");
    DWORD offset = static_cast<DWORD>(std::stoul(images[0].position.substr(2), nullptr, 16));
    CConversion element;
    ASSERT_EQ(HTMLConvertElement(element.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body", 1,
                                 offset), 0u);
    EXPECT_EQ(element.Text(), TestGif(5, 5, 'L'));
    CConversion wrongItem;
    EXPECT_NE(HTMLConvertElement(wrongItem.converter, db.database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body", 0,
                                 offset), 0u);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/notes/CdRecords.h"
#include "platform/notes/ItemCodec.h"
#include "tools/nsfdb/Description.h"

using namespace notes;

namespace {

CRtElement Paragraph() { return CRtElement{}; }

CRtElement Text(const std::string& text, BYTE attrib = 0) {
    CRtElement e;
    e.kind = CRtElement::kText;
    e.text = text;
    e.font.attrib = attrib;
    return e;
}

CRtElement Image(size_t bytes) {
    CRtElement e;
    e.kind = CRtElement::kImage;
    e.imageType = CDIMAGETYPE_GIF;
    e.width = 7;
    e.height = 9;
    e.bytes = "GIF89a" + std::string(bytes - 6, '\0');
    for (size_t i = 6; i < bytes; ++i) e.bytes[i] = static_cast<char>(i * 31);
    return e;
}

TEST(CdRecords, ElementsSurviveEncodingAndDecoding) {
    CRtElement link;
    link.kind = CRtElement::kLink;
    link.linkIndex = 3;
    link.text = "comment";
    link.serverHint = "server";
    CRtElement file;
    file.kind = CRtElement::kAttachment;
    file.uniqueName = "a.pdf";
    file.text = "a.pdf";
    std::vector<CRtElement> in = {Paragraph(), Text("odd"), Text("bold", ISBOLD), link, Image(25000), file, Paragraph()};
    auto items = EncodeRichText(in);
    ASSERT_EQ(items.size(), 1u);
    auto out = DecodeRichText(items);
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].kind, in[i].kind) << i;
        EXPECT_EQ(out[i].text, in[i].text) << i;
        EXPECT_EQ(out[i].offset % 2, 0u) << "records start on even offsets";
    }
    EXPECT_EQ(out[2].font.attrib, ISBOLD);
    EXPECT_EQ(out[3].linkIndex, 3);
    EXPECT_EQ(out[3].serverHint, "server");
    EXPECT_EQ(out[4].bytes, in[4].bytes);   // three segments of 10,250 bytes at most
    EXPECT_EQ(out[4].width, 7);
    EXPECT_EQ(out[5].uniqueName, "a.pdf");
    EXPECT_EQ(GetWord(items[0], 2 + out[4].offset), SIG_CD_GRAPHIC);
}

TEST(CdRecords, ImageSegmentsMayContinueInTheNextItem) {
    std::vector<CRtElement> in = {Paragraph(), Text(std::string(9000, 'x')), Image(40000)};
    auto items = EncodeRichText(in, 20000);
    ASSERT_GE(items.size(), 3u);
    for (const auto& item : items) EXPECT_LE(item.size(), 20000u);
    auto out = DecodeRichText(items);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2].bytes, in[2].bytes);
}

TEST(CdRecords, MalformedItemsAreRejected) {
    auto item = EncodeRichText({Paragraph(), Text("hello")})[0];
    std::vector<std::string> bad = {
        item.substr(0, item.size() - 3),          // record cut short
        std::string("\x00\x05", 2) + item.substr(2),   // not rich text
    };
    std::string imageFirst;
    PutWord(imageFirst, TYPE_COMPOSITE);
    PutWord(imageFirst, SIG_CD_IMAGESEGMENT);
    PutDword(imageFirst, 10);
    PutWord(imageFirst, 0);
    PutWord(imageFirst, 0);
    bad.push_back(imageFirst);                    // segment without graphic
    for (const auto& b : bad) EXPECT_THROW(DecodeRichText({b}), CCdError);
}

TEST(CdRecords, ImageProbeReadsGifAndJpegSizes) {
    WORD type = 0, w = 0, h = 0;
    EXPECT_TRUE(ProbeImage(std::string("GIF87a\x10\x00\x20\x00rest", 14), &type, &w, &h));
    EXPECT_EQ(type, CDIMAGETYPE_GIF);
    EXPECT_EQ(w * 1000 + h, 16032);
    std::string jpeg("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC2\x00\x11\x08\x01\x00\x02\x00\x03", 18);
    EXPECT_TRUE(ProbeImage(jpeg, &type, &w, &h));
    EXPECT_EQ(type, CDIMAGETYPE_JPEG);
    EXPECT_EQ(w * 1000 + h, 512256);
    EXPECT_FALSE(ProbeImage("\x89PNG\r\n\x1a\n", &type, &w, &h));
}

TEST(CdRecords, ColourNamesAndNearestColours) {
    struct { const char* name; int index; } cases[] = {
        {"black", 0}, {"red", 2}, {"lightgray", 15}, {"#CC0000", 2}, {"#000070", 10}, {"#fefefe", 1}, {"pink", -1}, {"#12345", -1}};
    for (const auto& c : cases) EXPECT_EQ(NotesColorIndex(c.name), c.index) << c.name;
}

TEST(ItemCodec, TextListsFileObjectsAndIds) {
    std::vector<std::string> list = {"a", "", "ccc"};
    std::string raw = EncodeTextList(list);
    EXPECT_EQ(raw.size(), 2u + 2 + 6 + 4);
    EXPECT_EQ(*DecodeTextValues(raw), list);
    EXPECT_FALSE(DecodeTextValues(raw.substr(0, raw.size() - 1)));   // a length past the end
    EXPECT_FALSE(DecodeTextValues(EncodeNumber(1)));
    CFileObject f;
    f.rrv = 77;
    f.fileSize = 123456;
    f.name = "report.pdf";
    auto back = DecodeFileObject(EncodeFileObject(f));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->rrv, 77u);
    EXPECT_EQ(back->fileSize, 123456u);
    EXPECT_EQ(back->name, "report.pdf");
    auto replica = ParseReplicaText("85257A1B:0049D7E2");
    ASSERT_TRUE(replica);
    EXPECT_EQ(replica->Innards[1], 0x85257A1Bu);
    EXPECT_EQ(replica->Innards[0], 0x0049D7E2u);
    EXPECT_EQ(ReplicaText(*replica), "85257A1B0049D7E2");
    EXPECT_FALSE(ParseUnidText("XYZ"));
    auto unid = ParseUnidText("6C1A8E3F2B0D4C5E8F7A6B5C4D3E2F10");
    ASSERT_TRUE(unid);
    EXPECT_EQ(unid->Note.Innards[0], 0x4D3E2F10u);
    EXPECT_EQ(UnidText(*unid), "6C1A8E3F2B0D4C5E8F7A6B5C4D3E2F10");
}

TEST(ItemCodec, Base64RoundTripAndRejection) {
    for (std::string s : {std::string(), std::string("a"), std::string("ab"), std::string("abc"), std::string("\0\xFF\x10", 3)})
        EXPECT_EQ(nsfdb::Base64Decode(nsfdb::Base64Encode(s)), s);
    EXPECT_EQ(nsfdb::Base64Encode("hello"), "aGVsbG8=");
    EXPECT_THROW(nsfdb::Base64Decode("a*b="), std::invalid_argument);
    EXPECT_THROW(nsfdb::Base64Decode("ab=c"), std::invalid_argument);
}

}  // namespace

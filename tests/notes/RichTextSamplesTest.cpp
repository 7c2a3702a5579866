// Rich text written by Notes itself (the sample databases), record kinds our
// own files never hold, and damaged records.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/notes/CdRecords.h"
#include "platform/notes/HtmlApi.h"
#include "platform/notes/LNNotes.h"
#include "tests/notes_ods/OdsSamples.h"

using namespace notes;

namespace {

struct CField {
    CRtDecoded decoded;
    std::string text;
    UNID unid{};
};

CField ReadField(const std::string& file, NOTEID id, const std::string& field) {
    auto source = OpenNotesSource(SamplePath(file));
    auto note = source->ReadNote(id);
    if (!note) throw std::runtime_error(file + ": no note " + std::to_string(id));
    CRtContext context;
    std::vector<std::string> raws;
    for (const auto& item : note->items) {
        if (item.name == "$Fonts") context.fonts = DecodeFontTable(item.raw);
        if (item.name == "$Links") context.links = DecodeNoteLinks(item.raw).value_or(std::vector<CNoteLink>{});
        if (item.name == field) raws.push_back(item.raw);
    }
    CField f;
    f.decoded = DecodeRichTextItems(raws, context);
    f.text = PlainText(f.decoded.elements);
    f.unid = note->unid;
    return f;
}

void ExpectInOrder(const std::string& text, const std::vector<std::string>& parts) {
    size_t at = 0;
    for (const auto& p : parts) {
        size_t found = text.find(p, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << p << "\nin:\n" << text;
        if (found != std::string::npos) at = found + p.size();
    }
}

std::vector<const CRtElement*> OfKind(const CRtDecoded& d, CRtElement::EKind kind) {
    std::vector<const CRtElement*> out;
    for (const auto& e : d.elements)
        if (e.kind == kind) out.push_back(&e);
    return out;
}

struct CSampleText {
    const char* file;
    NOTEID id;
    const char* field;
    std::vector<std::string> lines;   // in this order
    std::vector<std::string> absent;
};

const std::vector<CSampleText>& SampleTexts() {
    static const std::vector<CSampleText> cases = {
        {"richtext.nsf", 0x212A, "rich_text",
         {"This is some rich text.\r\n", "This is a centered paragraph\r\n",
          "It will be used  to demonstrate  the Notes API CompoundText Routines.\r\n",
          "These lines use font faces that require a font table (a $Fonts item).\r\n", "1234 asdfjkl;\r\n",
          "(MS Sans Serf, Symbol, and System)"},
         {"CHUCK.ID", "NOTEDATA"}},
        // A section (its title from the title bar), a tabbed table (tab labels
        // TAB1, TAB2; cells "tab" | "1" and "tab" | "2"), an animated table
        // (cells "Row" | "1", "Row " | "2") and an attachment hotspot.
        {"attachment.nsf", 0x902, "RTextField",
         {"This is a  rich text field used to test HTML APIS\r\n", "Below is a section:\r\n1. section part 1\r\n2. section part2\r\n",
          "Below is a TAB table.\r\n", "TAB1\r\ntab\t1\r\nTAB2\r\ntab\t2\r\n", "Below is an animation table:\r\n",
          "Row\t1\r\nRow \t2\r\n", "Below is an attachment:"},
         {}},
        {"normal.nsf", 0x902, "RTextField",
         {"Below is a section:\r\n1. section part 1\r\n", "TAB2\r\ntab\t2\r\n", "Row \t2\r\n"},
         {"Below is an attachment:"}},
        {"history.nsf", 0x210E, "Body", {"This is a link to another document in this database  --> "}, {}},
        // Line breaks inside text runs.
        {"history.nsf", 0x20FA, "History",
         {"\r\nAuthor: Martin Cox\r\nTopic: air conditioning unit - will require 220V power\r\n",
          "Topic: Electrical work is complete.\r\n", "Topic: Hardware install complete. Request closed.\r\n"},
         {std::string(1, '\0')}},
        {"ftsearch.nsf", 0x2132, "Body", {"Doclinks are pretty handy.", "Click the doclink symbol to open this document."}, {}},
        {"ftsearch.nsf", 0x2136, "Body", {"Doclinks can really improve the way we communicate with Notes", "That's it!"}, {}},
        {"hfinn.nsf", 0x20FA, "Body", {"Attached please find the replica stub of the Notes API Support database (APISUPP.NSF)."}, {}},
    };
    return cases;
}

TEST(RichTextSamples, EveryVisibleTextReachesThePlainText) {
    for (const auto& c : SampleTexts()) {
        SCOPED_TRACE(std::string(c.file) + " " + c.field);
        CField f = ReadField(c.file, c.id, c.field);
        EXPECT_EQ(f.decoded.damagedRecords, 0);
        ExpectInOrder(f.text, c.lines);
        for (const auto& a : c.absent) EXPECT_EQ(f.text.find(a), std::string::npos) << a;
    }
}

TEST(RichTextSamples, LinksAttachmentsImagesAndFonts) {
    // Document links point at the documents they name.
    struct {
        const char* file;
        NOTEID link, target;
        const char* comment;
    } links[] = {
        {"history.nsf", 0x210E, 0x20FA, "Database 'Service Requests (HISTORY)', View '1. Date Received (Main View)'"},
        {"ftsearch.nsf", 0x2132, 0x212A,
         "Database 'Quick Tour Sample Database', View 'Main View', Document 'You can get Help three ways!'"},
    };
    for (const auto& l : links) {
        CField field = ReadField(l.file, l.link, "Body");
        auto found = OfKind(field.decoded, CRtElement::kLink);
        ASSERT_EQ(found.size(), 1u) << l.file;
        EXPECT_EQ(found[0]->text, l.comment);
        ASSERT_TRUE(found[0]->hasTarget);
        EXPECT_EQ(UnidText(found[0]->target.note), UnidText(ReadField(l.file, l.target, "Body").unid));
    }
    // Attachment hotspots; the bitmap icon of tms.log is no image.
    CField att = ReadField("attachment.nsf", 0x902, "RTextField");
    auto files = OfKind(att.decoded, CRtElement::kAttachment);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->uniqueName, "tms.log");
    EXPECT_EQ(files[0]->text, "tms.log");
    EXPECT_TRUE(OfKind(att.decoded, CRtElement::kImage).empty());
    // Two GIFs, the second in two segments, whole as their headers size them.
    CField fax = ReadField("faxsrc.nsf", 0x90A, "Body");
    auto images = OfKind(fax.decoded, CRtElement::kImage);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0]->bytes.substr(0, 6), "GIF89a");
    EXPECT_EQ(images[0]->bytes.size(), 6531u);
    EXPECT_EQ(images[0]->width * 1000 + images[0]->height, 280111);
    EXPECT_EQ(images[1]->bytes.substr(0, 6), "GIF87a");
    EXPECT_EQ(images[1]->bytes.size(), 20097u);
    EXPECT_EQ(images[1]->bytes.back(), ';');   // the GIF trailer: nothing cut off
    // The font table: runs in its faces get their names.
    CField rich = ReadField("richtext.nsf", 0x212A, "rich_text");
    std::string faces;
    for (const auto& e : rich.decoded.elements)
        if (!e.faceName.empty()) faces += e.faceName + "|";
    EXPECT_EQ(faces, "MS Sans Serif|Symbol|System|");
}

std::string ConvertToHtml(const std::string& file, NOTEID id) {
    LNNotesSession session;
    session.Initialize();
    LNDatabase db;
    LNDocument doc;
    std::string text;
    HTMLHANDLE converter = 0;
    if (session.GetDatabase(SamplePath(file).c_str(), &db) == 0 && db.Open() == 0 && db.GetDocument(id, &doc) == 0 &&
        doc.Open() == 0 && HTMLProcessInitialize() == 0 && HTMLCreateConverter(&converter) == 0) {
        DWORD length = 0;
        EXPECT_EQ(HTMLConvertNote(converter, db.GetDatabaseHandle(), doc.GetNoteHandle(), 0, nullptr), 0u);
        EXPECT_EQ(HTMLGetProperty(converter, HTMLAPI_PROP_TEXTLENGTH, &length), 0u);
        text.resize(length);
        EXPECT_EQ(HTMLGetText(converter, 0, &length, text.data()), 0u);
        HTMLDestroyConverter(converter);
        HTMLProcessTerminate();
    }
    doc.Close();
    db.Close();
    session.Term();
    return text;
}

// The text a browser shows, line breaks kept as CR LF.
std::string Shown(const std::string& html) {
    std::string out;
    for (size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') i = html.find('>', i);
        if (i == std::string::npos) break;
        if (html[i] != '>') out += html[i];
    }
    for (auto [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}})
        for (size_t at; (at = out.find(entity)) != std::string::npos;) out.replace(at, std::strlen(entity), c);
    return out;
}

TEST(RichTextSamples, HtmlShowsTheSameText) {
    for (const auto& c : SampleTexts()) {
        SCOPED_TRACE(std::string(c.file) + " " + c.field);
        std::string shown = Shown(ConvertToHtml(c.file, c.id));
        ExpectInOrder(shown, c.lines);
        for (const auto& a : c.absent) EXPECT_EQ(shown.find(a), std::string::npos) << a;
    }
}

// What the markup carries beyond the text: the faces of the note's font
// table, and links whose records name their targets themselves.
TEST(RichTextSamples, HtmlCarriesFontFacesAndLinkTargets) {
    std::string rich = ConvertToHtml("richtext.nsf", 0x212A);
    EXPECT_NE(rich.find("face=\"MS Sans Serif\""), std::string::npos) << rich;
    std::string history = ConvertToHtml("history.nsf", 0x210E);
    size_t link = history.find("<a href=\"notes:///");
    ASSERT_NE(link, std::string::npos) << history;
    EXPECT_EQ(history.find("/00000000000000000000000000000000\"", link), std::string::npos) << history;
}

// Records built by hand: signature, then the body.
std::string Record(WORD signature, const std::string& body) {
    std::string r;
    if (signature >> 8 == 0xFF) {
        PutWord(r, signature);
        PutWord(r, static_cast<WORD>(4 + body.size()));
    } else if (signature >> 8 == 0) {
        PutWord(r, signature);
        PutDword(r, static_cast<DWORD>(6 + body.size()));
    } else {
        r += static_cast<char>(signature & 0xFF);
        r += static_cast<char>(2 + body.size());
    }
    r += body;
    if (r.size() % 2) r += '\0';
    return r;
}
std::string Bsig(BYTE type, const std::string& body) {
    return Record(static_cast<WORD>((2 + body.size()) << 8 | type), body);
}
std::string TextRecord(const std::string& text) { return Record(SIG_CD_TEXT, std::string("\x01\x00\x00\x0a", 4) + text); }
std::string Words(std::initializer_list<int> words) {
    std::string s;
    for (int w : words) PutWord(s, static_cast<WORD>(w));
    return s;
}
std::string Item(const std::vector<std::string>& records) {
    std::string item;
    PutWord(item, TYPE_COMPOSITE);
    for (const auto& r : records) item += r;
    return item;
}
std::string Cell(int row, int column, BYTE flags) {
    std::string b = {static_cast<char>(row), static_cast<char>(column)};
    b += std::string(7, '\0') + static_cast<char>(flags) + std::string(6, '\0');
    return Bsig(0xA4, b);
}

TEST(RichTextRecords, KindsOurFilesNeverHold) {
    const std::string paragraph = Bsig(0x81, "");
    const std::string ignore = std::string(24, '\0');
    std::string noteLink;
    for (int i = 0; i < 10; ++i) PutDword(noteLink, 0x1000 + i);
    struct {
        const char* name;
        std::vector<std::string> records;
        std::string text;
        std::function<void(const std::vector<CRtElement>&)> check;
    } cases[] = {
        {"runs kept for older readers are passed over",
         {Bsig(0x59, Words({1, 1, 0}) + ignore), TextRecord("old"), Bsig(0x59, Words({1, 2, 0}) + ignore), TextRecord("new")},
         "new", nullptr},
        {"a zero inside a run breaks the line", {TextRecord(std::string("a\0b", 3))}, "a\r\nb", nullptr},
        {"button face", {Record(0xFFAB, std::string(8, '\0') + std::string("\x01\x00\x00\x0a" "Press\0", 10))}, "Press", nullptr},
        {"spanned cells add no tab",
         {Bsig(0xA3, std::string(12, '\0')), Cell(0, 0, 0), paragraph, TextRecord("a"), Cell(0, 1, 0x04), paragraph,
          Cell(0, 2, 0), paragraph, TextRecord("c"), Cell(1, 0, 0), paragraph, TextRecord("d"), Bsig(0xA5, Words({0, 0})),
          paragraph, TextRecord("after")},
         "a\tc\r\nd\r\nafter", nullptr},
        {"a split paragraph stays one",
         {TextRecord("one"), Record(0xFF68, Words({1, 1, 0, 0, 0, 0})), paragraph, TextRecord("two"),
          Record(0xFF68, Words({1, 2, 0, 0, 0, 0})), paragraph, TextRecord("three")},
         "onetwo\r\nthree", nullptr},
        {"URL hotspot",
         {Record(SIG_CD_HOTSPOTBEGIN, Words({11, 0, 0, 20}) + std::string("http://example.org/\0", 20)), TextRecord("site"),
          Bsig(0xAA, ""), TextRecord(" more")},
         "site more",
         [](const std::vector<CRtElement>& e) {
             EXPECT_EQ(e[0].url, "http://example.org/");
             EXPECT_EQ(e[1].url, "");
         }},
        {"link holding its target",
         {Record(SIG_CD_LINKEXPORT2, noteLink + std::string("Doc\0hint\0", 9))}, "",
         [](const std::vector<CRtElement>& e) {
             ASSERT_EQ(e.size(), 1u);
             EXPECT_EQ(e[0].text, "Doc");
             EXPECT_EQ(e[0].linkIndex, kNoLinkIndex);
             EXPECT_TRUE(e[0].hasTarget);
             EXPECT_EQ(e[0].target.note.Note.Innards[1], 0x1009u);
         }},
        {"the link signature of earlier files, not a font table",
         {Record(SIG_CD_FONTTABLE, Words({2}) + std::string("old\0\0", 5)),
          Record(SIG_CD_FONTTABLE, Words({1}) + "\x05\x22" + std::string(32, '\0'))},
         "",
         [](const std::vector<CRtElement>& e) {
             ASSERT_EQ(e.size(), 1u);
             EXPECT_EQ(e[0].linkIndex, 2);
             EXPECT_EQ(e[0].text, "old");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRtDecoded d = DecodeRichTextItems({Item(c.records)});
        EXPECT_EQ(d.damagedRecords, 0);
        EXPECT_EQ(PlainText(d.elements), c.text);
        if (c.check) c.check(d.elements);
    }
}

TEST(RichTextRecords, ADamagedRecordCostsOnlyItself) {
    CRtElement link;
    link.kind = CRtElement::kLink;
    link.text = "comment";
    CRtElement image;
    image.kind = CRtElement::kImage;
    image.imageType = CDIMAGETYPE_GIF;
    image.bytes = "GIF89a" + std::string(30, 'x');
    auto text = [](const std::string& t) {
        CRtElement e;
        e.kind = CRtElement::kText;
        e.text = t;
        return e;
    };
    const std::vector<CRtElement> three = {CRtElement{}, text("before"), CRtElement{}, text("middle"), CRtElement{}, text("after")};
    // Offset in the item of the record that begins element i.
    auto at = [](const std::vector<CRtElement>& in, size_t i) { return 2 + DecodeRichText(EncodeRichText(in))[i].offset; };
    auto setWord = [](std::string& s, size_t at, WORD w) { s[at] = static_cast<char>(w & 0xFF), s[at + 1] = static_cast<char>(w >> 8); };
    struct {
        const char* name;
        std::vector<CRtElement> in;
        std::function<void(std::string&, const std::vector<CRtElement>&)> damage;
        std::string text;
        int damaged;
    } cases[] = {
        {"length past the end", three, [&](std::string& s, auto& in) { setWord(s, at(in, 3) + 2, 0x7FFF); }, "before\r\n\r\nafter", 1},
        {"length zero", three, [&](std::string& s, auto& in) { setWord(s, at(in, 3) + 2, 0); }, "before\r\n\r\nafter", 1},
        {"length 0xFFFF", three, [&](std::string& s, auto& in) { setWord(s, at(in, 3) + 2, 0xFFFF); }, "before\r\n\r\nafter", 1},
        {"a paragraph reference of length 15", three, [&](std::string& s, auto& in) { s[at(in, 3) - 3] = 0x0F; },
         "before\r\nmiddle\r\nafter", 1},
        {"long length 0xFFFFFFFF", {CRtElement{}, text("before"), image, text("after")},
         [&](std::string& s, auto& in) { setWord(s, at(in, 2) + 2, 0xFFFF), setWord(s, at(in, 2) + 4, 0xFFFF); }, "beforeafter", 3},
        {"item cut short", three, [&](std::string& s, auto&) { s.resize(s.size() - 3); }, "before\r\nmiddle\r\n", 1},
        {"unterminated link text", {CRtElement{}, text("before"), link, text("after")},
         [&](std::string& s, auto& in) {
             for (size_t i = at(in, 2) + 6; i < at(in, 3); ++i) s[i] = s[i] ? s[i] : 'x';
         },
         "beforeafter", 1},
        {"odd record left unpadded", {CRtElement{}, text("odd"), CRtElement{}, text("after")},
         [&](std::string& s, auto& in) { s.erase(at(in, 2) - 1, 1); }, "odd\r\nafter", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string item = EncodeRichText(c.in)[0];
        c.damage(item, c.in);
        CRtDecoded d = DecodeRichTextItems({item});
        EXPECT_EQ(PlainText(d.elements), c.text);
        EXPECT_EQ(d.damagedRecords, c.damaged);
        EXPECT_NO_THROW(DecodeRichText({item}));   // something is left to show
    }
}

}  // namespace

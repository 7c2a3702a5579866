// Native MIME bodies through the LN classes and the HTML conversion
// functions: hand-made MIME_PART items in a database file, and the three
// memos of the real MIMEMsg.nsf.
#include <gtest/gtest.h>

#include "platform/notes/HtmlApi.h"
#include "platform/notes/ItemCodec.h"
#include "platform/notes/MimePart.h"
#include "platform/sys/Text.h"
#include "tests/notes/TestDatabase.h"

namespace {

using notes::PutDword;
using notes::PutWord;

// One MIME_PART item value without its type word.
std::string PartValue(DWORD flags, BYTE type, const std::string& boundary, const std::string& headers,
                      const std::string& body) {
    std::string v;
    PutWord(v, 2);
    PutDword(v, flags);
    v += static_cast<char>(type);
    v += '\0';
    PutWord(v, static_cast<WORD>(boundary.size() + headers.size() + body.size()));
    PutWord(v, static_cast<WORD>(boundary.size()));
    PutWord(v, static_cast<WORD>(headers.size()));
    PutWord(v, 0);
    PutDword(v, 0);
    return v + boundary + headers + body;
}

constexpr DWORD kChild = notes::MIME_PART_HAS_BOUNDARY | notes::MIME_PART_HAS_HEADERS;

std::string Prolog(const std::string& subtype, const std::string& boundary, const std::string& parent = "") {
    return PartValue(parent.empty() ? notes::MIME_PART_HAS_HEADERS : kChild, notes::MIME_PART_PROLOG,
                     parent.empty() ? "" : "--" + parent + "\r\n",
                     "Content-Type: multipart/" + subtype + "; boundary=\"" + boundary + "\"\r\n\r\n", "\r\n");
}
// A leaf of the multipart with that boundary (none: the only part); a body
// kept in a $FILE object is that object's name.
std::string Leaf(const std::string& parent, const std::string& headers, const std::string& body, bool inObject = false) {
    DWORD flags = (parent.empty() ? notes::MIME_PART_HAS_HEADERS : kChild) |
                  (inObject ? DWORD{notes::MIME_PART_BODY_IN_DBOBJECT} : DWORD{0});
    return PartValue(flags, notes::MIME_PART_BODY, parent.empty() ? "" : "--" + parent + "\r\n", headers + "\r\n",
                     inObject ? body : body + "\r\n");
}
std::string Epilog(const std::string& boundary) {
    return PartValue(notes::MIME_PART_HAS_BOUNDARY, notes::MIME_PART_EPILOG, "--" + boundary + "--\r\n", "", "");
}

// A database with one document (note 4) whose Body is those parts.
std::string Description(const std::vector<std::string>& parts, const std::string& attachments = "[]") {
    nsfdb::Json raws = nsfdb::Json::array();
    for (const auto& p : parts) raws.push_back(nsfdb::Base64Encode(p));
    nsfdb::Json doc = {{"noteId", 4},
                       {"items", {{"Subject", "mime"}, {"Body", {{"raw", raws}, {"type", static_cast<int>(TYPE_MIME_PART)}}}}},
                       {"attachments", nsfdb::Json::parse(attachments)}};
    return nsfdb::Json{{"documents", nsfdb::Json::array({doc})}}.dump();
}

struct CImageRef {
    std::string position, text;
};

// One converter for the test's lifetime.
class CConverter {
public:
    CConverter() {
        HTMLProcessInitialize();
        HTMLCreateConverter(&handle);
    }
    ~CConverter() {
        HTMLDestroyConverter(handle);
        HTMLProcessTerminate();
    }
    // The converter's text as UTF-8.
    std::string Html() const { return sys::Utf16ToUtf8(sys::LmbcsToUtf16(Bytes())); }
    std::string Bytes() const {
        DWORD length = 0;
        HTMLGetProperty(handle, HTMLAPI_PROP_TEXTLENGTH, &length);
        std::string bytes(length, '\0');
        HTMLGetText(handle, 0, &length, bytes.data());
        return bytes;
    }
    std::vector<CImageRef> Images() const {
        DWORD count = 0;
        HTMLGetProperty(handle, HTMLAPI_PROP_NUMREFS, &count);
        std::vector<CImageRef> out;
        for (DWORD i = 0; i < count; ++i) {
            MEMHANDLE h = 0;
            HTMLAPIReference* ref = nullptr;
            HTMLGetReference(handle, i, &h);
            HTMLLockAndFixupReference(h, &ref);
            if (ref->RefType == HTMLAPI_REF_IMG) {
                EXPECT_STREQ(ref->pTargets[ref->NumTargets - 2].Value.name, "Body");
                out.push_back({ref->pTargets[ref->NumTargets - 1].Value.name, ref->pRefText});
            }
            OSUnlockObject(h);
            OSMemFree(h);
        }
        return out;
    }
    HTMLHANDLE handle = 0;
};

std::string HtmlOf(LNDatabase& db, LNDocument& doc, CConverter& c) {
    EXPECT_EQ(HTMLConvertNote(c.handle, db.GetDatabaseHandle(), doc.GetNoteHandle(), 0, nullptr), 0u);
    return c.Html();
}

std::optional<std::string> Element(LNDatabase& db, LNDocument& doc, DWORD index, DWORD offset) {
    CConverter element;
    if (HTMLConvertElement(element.handle, db.GetDatabaseHandle(), doc.GetNoteHandle(), "Body", index, offset))
        return std::nullopt;
    return element.Bytes();
}

std::string PlainText(LNDocument& doc) {
    LNMailMessage mail(doc);
    mail.Open();
    return sys::Utf16ToUtf8(sys::LmbcsToUtf16(mail.GetBody().GetText().GetBytes()));
}

struct CBodyCase {
    const char* name;
    std::vector<std::string> parts;
    std::vector<std::string> inHtml, notInHtml;
    std::string text;
};

TEST(MimeBodies, HtmlAndPlainTextFollowTheStructureAndCharsets) {
    const std::string html1252 = "<html><head><title>Title</title></head><body bgcolor=\"#fff\"><p>Gr\xFC\xDF" "e <b>HTML</b></p></body></html>";
    const CBodyCase cases[] = {
        {"alternative: HTML shown, plain text from text/plain",
         {Prolog("alternative", "A"),
          Leaf("A", "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: quoted-printable\r\n",
               "Gr=FC=DFe plain"),
          Leaf("A", "Content-Type: text/html; charset=windows-1252\r\n", html1252), Epilog("A")},
         {"<p>Grüße <b>HTML</b></p>"},
         {"Title", "bgcolor=\"#fff\"", "plain"},
         "Grüße plain"},
        {"text/plain only: escaped, with line breaks",
         {Leaf("", "Content-Type: text/plain; charset=utf-8\r\n", "a < b & c\r\nzweite Zeile \xC3\xA4\r\n\r\n")},
         {"a &lt; b &amp; c<br>\r\nzweite Zeile ä"},
         {},
         "a < b & c\r\nzweite Zeile ä"},
        {"HTML only: the plain text is the text of the HTML",
         {Leaf("", "Content-Type: text/html\r\n", "<div>One<br>Two</div><p>Three &amp; four</p><script>x()</script>")},
         {"<div>One<br>Two</div>"},
         {},
         "One\r\nTwo\r\n\r\nThree & four"},
        {"mixed: text parts in order, attachments left out",
         {Prolog("mixed", "M"), Leaf("M", "Content-Type: text/plain\r\n", "first"),
          Leaf("M",
               "Content-Type: application/pdf; name=\"r.pdf\"\r\nContent-Disposition: attachment; filename=\"r.pdf\"\r\n"
               "Content-Transfer-Encoding: base64\r\n",
               "JVBERi0xLjQK"),
          Leaf("M", "Content-Type: text/plain; name=\"notes.txt\"\r\n", "named text is an attachment"),
          Leaf("M", "Content-Type: text/plain\r\n", "second"), Epilog("M")},
         {"first<br>", "second<br>"},
         {"JVBER", "%PDF", "named text"},
         "first\r\nsecond"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTestDatabase db(Description(c.parts));
        LNDatabase& database = db.Open();
        LNDocument doc = db.OpenDocument(4);
        LNItem body;
        ASSERT_EQ(doc.GetItem("Body", &body), 0u);
        EXPECT_EQ(body.GetType(), LNITEMTYPE_RICHTEXT);
        CConverter converter;
        std::string html = HtmlOf(database, doc, converter);
        for (const auto& s : c.inHtml) EXPECT_NE(html.find(s), std::string::npos) << s << "\n" << html;
        for (const auto& s : c.notInHtml) EXPECT_EQ(html.find(s), std::string::npos) << s << "\n" << html;
        EXPECT_EQ(PlainText(doc), c.text);
    }
}

TEST(MimeBodies, InlineImagesBecomeElementsOfTheirParts) {
    const std::string gif = TestGif(4, 3, 'g'), png = "\x89PNG\r\n\x1A\n-png-";
    CTestDatabase db(Description(
        {Prolog("related", "R"), Prolog("alternative", "A", "R"), Leaf("A", "Content-Type: text/plain\r\n", "text"),
         Leaf("A", "Content-Type: text/html\r\n",
              "<p>before<img width=4 src=cid:one%40x>after<img src=\"cid:missing@x\"></p>"),
         Epilog("A"),
         Leaf("R", "Content-Type: image/gif\r\nContent-ID: <one@x>\r\nContent-Transfer-Encoding: base64\r\n",
              nsfdb::Base64Encode(gif)),
         Leaf("R", "Content-Type: image/png\r\nContent-ID: <two@x>\r\nContent-Transfer-Encoding: base64\r\n",
              nsfdb::Base64Encode(png)),
         Epilog("R")}));
    LNDatabase& database = db.Open();
    LNDocument doc = db.OpenDocument(4);
    CConverter c;
    ASSERT_EQ(HTMLConvertItem(c.handle, database.GetDatabaseHandle(), doc.GetNoteHandle(), "Body"), 0u);
    std::string html = c.Html();
    auto images = c.Images();
    ASSERT_EQ(images.size(), 2u) << html;
    // The referenced image where the HTML has it, the other one after the root.
    EXPECT_EQ(images[0].position, "5.0");
    EXPECT_NE(html.find("before<img width=4 src=\"" + images[0].text + "\">after"), std::string::npos) << html;
    EXPECT_NE(images[0].text.find("FieldElemFormat=gif"), std::string::npos);
    EXPECT_EQ(images[1].position, "6.0");
    EXPECT_NE(html.find("<img src=\"" + images[1].text + "\""), std::string::npos) << html;
    EXPECT_NE(html.find("cid:missing@x"), std::string::npos);
    EXPECT_EQ(Element(database, doc, 5, 0), gif);
    EXPECT_EQ(Element(database, doc, 6, 0), png);
    EXPECT_FALSE(Element(database, doc, 3, 0));   // the HTML part is no image
    EXPECT_FALSE(Element(database, doc, 5, 1));
    EXPECT_EQ(PlainText(doc), "text");
}

TEST(MimeBodies, PartsKeptInFileObjectsAreReadFromThem) {
    CTestDatabase db(
        Description({Prolog("mixed", "M"), Leaf("M", "Content-Type: text/html; charset=utf-8\r\n", "page.html", true),
                     Leaf("M", "Content-Type: image/gif\r\nContent-ID: <pic>\r\n", "pic.gif", true),
                     Leaf("M",
                          "Content-Type: text/plain; name=\"notes.txt\"\r\n"
                          "Content-Disposition: attachment; filename=\"notes.txt\"\r\n",
                          "notes.txt", true),
                     Epilog("M")},
                    R"([{"name": "page.html", "text": "<b>Stored \u00e4</b><img src=\"cid:pic\">"},
                        {"name": "pic.gif", "path": "pic.gif"}, {"name": "notes.txt", "text": "attached"}])"),
        {{"pic.gif", TestGif(2, 2, 'p')}});
    LNDatabase& database = db.Open();
    LNDocument doc = db.OpenDocument(4);
    CConverter c;
    std::string html = HtmlOf(database, doc, c);
    EXPECT_NE(html.find("<b>Stored ä</b><img src=\""), std::string::npos) << html;
    ASSERT_EQ(c.Images().size(), 1u);
    EXPECT_EQ(Element(database, doc, 2, 0), TestGif(2, 2, 'p'));
    EXPECT_EQ(PlainText(doc), "Stored ä");
    // The objects the body shows are no attachments; the attachment stays one.
    std::vector<LNAttachment> attachments;
    ASSERT_EQ(doc.GetAttachments(&attachments), 0u);
    ASSERT_EQ(attachments.size(), 1u);
    EXPECT_EQ(attachments[0].GetAttachmentName().GetBytes(), "notes.txt");
    EXPECT_TRUE(doc.HasAttachments());
}

// Mail received from the Internet keeps its attachments inside the MIME
// items, with no $FILE item: they must still come out as attachments, with
// their bytes, named from the part (or by their place), a forwarded message
// as the message itself.
TEST(MimeBodies, AttachmentsInsideMimeItemsAreAttachments) {
    const std::string pdf = std::string("%PDF-1.4\0\x01\x02 binary", 18);
    CTestDatabase db(Description(
        {Prolog("mixed", "M"), Leaf("M", "Content-Type: text/plain\r\n", "see attached"),
         Leaf("M",
              "Content-Type: application/pdf; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9.pdf?=\"\r\n"
              "Content-Disposition: attachment; filename*=utf-8''r%C3%A9sum%C3%A9.pdf\r\n"
              "Content-Transfer-Encoding: base64\r\n",
              nsfdb::Base64Encode(pdf)),
         Leaf("M", "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n",
              nsfdb::Base64Encode("raw")),
         Leaf("M", "Content-Type: message/rfc822\r\nContent-Disposition: attachment\r\n",
              "Subject: inner\r\n\r\ninner text"),
         Epilog("M")}));
    db.Open();
    LNDocument doc = db.OpenDocument(4);
    std::vector<LNAttachment> attachments;
    ASSERT_EQ(doc.GetAttachments(&attachments), 0u);
    ASSERT_EQ(attachments.size(), 3u);
    EXPECT_TRUE(doc.HasAttachments());
    EXPECT_EQ(sys::Utf16ToUtf8(sys::LmbcsToUtf16(attachments[0].GetAttachmentName().GetBytes())), "résumé.pdf");
    EXPECT_EQ(attachments[0].GetFileSize(), static_cast<LNINT>(pdf.size()));
    EXPECT_EQ(attachments[1].GetAttachmentName().GetBytes(), "attachment2.octet-stream");
    EXPECT_EQ(attachments[2].GetAttachmentName().GetBytes(), "message.eml");
    auto path = std::filesystem::temp_directory_path() / ("mime-attachment-" + std::to_string(getpid()));
    ASSERT_EQ(attachments[0].Detach(LNString(path.string())), 0u);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), pdf);
    std::filesystem::remove(path);
    ASSERT_EQ(attachments[2].Detach(LNString(path.string())), 0u);
    std::ifstream message(path, std::ios::binary);
    std::string eml(std::istreambuf_iterator<char>(message), {});
    EXPECT_NE(eml.find("inner text"), std::string::npos) << eml;
    std::filesystem::remove(path);
    EXPECT_EQ(PlainText(doc), "see attached");
}

struct CSampleMemo {
    LNNOTEID id;
    std::string text;   // the start of the plain text
    std::string html;   // a piece of the HTML
    size_t images;
    std::vector<std::pair<std::string, LNINT>> attachments;
};

TEST(MimeBodies, MemosOfTheRealSampleDatabase) {
    LNNotesSession session;
    session.Initialize();
    LNDatabase database;
    std::string path = NSF2PST_SOURCE_DIR "/tests/data/nsf-samples/MIMEMsg.nsf";
    ASSERT_EQ(session.GetDatabase(path.c_str(), &database), 0u);
    ASSERT_EQ(database.Open(), 0u);
    const CSampleMemo memos[] = {
        {0x8F6, "This is a test message.",
         "<br><font size=2 face=\"sans-serif\">This is a test </font><font size=2 color=blue "
         "face=\"sans-serif\"><b>message.</b></font>",
         0, {}},
        {0x8FA, "This is a text message, with a txt file attached.", "This is a text message, with a txt file", 0,
         {{"New Text Document.txt", 510}}},
        {0x8FE, "You can get two types of Help in Notes:", "Help is available in most areas of Notes", 3,
         {{"Plain.txt", 510}, {"Sample.jpg", 9894}, {"sampleBMP.bmp", 296406}, {"mswin32.mak", -1}}},
    };
    for (const auto& memo : memos) {
        SCOPED_TRACE(memo.id);
        LNDocument doc;
        ASSERT_EQ(database.GetDocument(memo.id, &doc), 0u);
        ASSERT_EQ(doc.Open(), 0u);
        EXPECT_EQ(PlainText(doc).substr(0, memo.text.size()), memo.text);
        CConverter c;
        std::string html = HtmlOf(database, doc, c);
        EXPECT_NE(html.find(memo.html), std::string::npos) << html;
        EXPECT_EQ(html.find("cid:"), std::string::npos) << html;
        auto images = c.Images();
        ASSERT_EQ(images.size(), memo.images);
        for (const auto& image : images) {
            auto bytes = Element(database, doc, static_cast<DWORD>(std::stoul(image.position)), 0);
            ASSERT_TRUE(bytes) << image.position;
            EXPECT_EQ(bytes->substr(0, 6), "GIF89a");
        }
        std::vector<LNAttachment> attachments;
        ASSERT_EQ(doc.GetAttachments(&attachments), 0u);
        ASSERT_EQ(attachments.size(), memo.attachments.size());
        for (size_t i = 0; i < attachments.size(); ++i) {
            EXPECT_EQ(attachments[i].GetAttachmentName().GetBytes(), memo.attachments[i].first);
            if (memo.attachments[i].second >= 0) {
                EXPECT_EQ(attachments[i].GetFileSize(), memo.attachments[i].second);
            }
        }
    }
    database.Close();
    session.Term();
}

}  // namespace

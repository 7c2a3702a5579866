#include "worker/notes/HtmlConversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeHtmlApi.h"
#include "platform/sys/Text.h"

namespace {

namespace fs = std::filesystem;

const std::string Gif1 = std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);
const std::string Gif2 = std::string("GIF89a\x02\x00\x02\x00\x80\x00\x00\x00;", 15);

fake::Reference Image(const std::string& text, const std::string& item, const std::string& position)
{
    fake::Reference ref;
    ref.type = HTMLAPI_REF_IMG;
    ref.text = text;
    ref.targets = {{UAT_Database, "mail.nsf"}, {UAT_Document, "x"}, {UAT_Field, item},
                   {UAT_FieldOffset, position}};
    return ref;
}

class HtmlConversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/htmlconv-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        tempDir = pattern;
        const char* old = std::getenv("TMPDIR");
        savedTmp = old ? old : "";
        hadTmp = old != nullptr;
        setenv("TMPDIR", tempDir.c_str(), 1);
        context.noteHandle = 7;
        context.databaseHandle = 3;
        context.noteId = 0x906;
    }
    void TearDown() override
    {
        if (hadTmp) {
            setenv("TMPDIR", savedTmp.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        fs::remove_all(tempDir);
    }

    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(tempDir + "/temp/" + name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    void ExpectEverythingReleased() const
    {
        const fake::Record& r = fake::Recorded();
        EXPECT_EQ(r.processStarts, r.processEnds);
        EXPECT_EQ(r.convertersCreated, r.convertersDestroyed);
        EXPECT_EQ(r.referencesGot, r.referencesFreed);
        EXPECT_EQ(r.locks, r.unlocks);
        EXPECT_EQ(context.converter, 0u);
        EXPECT_EQ(context.referenceHandle, 0u);
        EXPECT_EQ(context.reference, nullptr);
    }

    std::string tempDir;
    std::string savedTmp;
    bool hadTmp = false;
    HtmlConversionContext context;
};

TEST_F(HtmlConversion, NoteWithoutImagesUsesOneConverterAndTheOptions)
{
    fake::Script script;
    script.noteHtml = "<p>Hello</p>";
    fake::Reset(script);

    EXPECT_EQ(ConvertNoteToHtml(context), u"<p>Hello</p>");
    const fake::Record& r = fake::Recorded();
    EXPECT_EQ(r.options, (std::vector<std::string>{"ForceSectionExpand=1", "RowAtATimeTableAlt=1",
                                                   "ForceOutlineExpand=1"}));
    EXPECT_EQ(r.calls, std::vector<std::string>{"note"});
    EXPECT_EQ(r.convertersCreated, 1);
    EXPECT_EQ(r.processStarts, 1);
    EXPECT_EQ(context.status, 0u);
    ExpectEverythingReleased();
}

TEST_F(HtmlConversion, TwoImagesAreSavedAndReferencesPointAtTheFiles)
{
    fake::Script script;
    script.noteHtml = "<img src=\"/mail.nsf/x/Body/0.1C4?OpenElement\"><p>and</p>"
                      "<img src=\"/mail.nsf/x/Body/0.88?OpenElement\">";
    script.references = {Image("/mail.nsf/x/Body/0.1C4?OpenElement", "Body", "0.1C4"),
                         Image("/mail.nsf/x/Body/0.88?OpenElement", "Body", "0.88")};
    script.images[{"Body", 0, 0x1C4}] = Gif1;
    script.images[{"Body", 0, 0x88}] = Gif2;
    fake::Reset(script);

    const std::u16string html = ConvertNoteToHtml(context);
    const std::string first = tempDir + "/temp/Body01C4.gif";
    const std::string second = tempDir + "/temp/Body088.gif";
    EXPECT_EQ(sys::Utf16ToUtf8(html),
              "<img src=\"" + first + "\"><p>and</p><img src=\"" + second + "\">");
    EXPECT_EQ(ReadFile("Body01C4.gif"), Gif1);
    EXPECT_EQ(ReadFile("Body088.gif"), Gif2);
    const fake::Record& r = fake::Recorded();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"note", "element Body 0 1c4", "element Body 0 88"}));
    EXPECT_EQ(r.referenceTexts.at(0), first);
    EXPECT_EQ(r.referenceTexts.at(1), second);
    EXPECT_EQ(r.convertersCreated, 3);
    ExpectEverythingReleased();
}

TEST_F(HtmlConversion, ImageIndexAndOffsetAreReadFromThePositionText)
{
    fake::Script script;
    script.noteHtml = "<img src=\"a\">";
    script.references = {Image("a", "Body", "12.fF")};
    script.images[{"Body", 12, 0xFF}] = Gif1;
    fake::Reset(script);

    ConvertNoteToHtml(context);
    EXPECT_EQ(fake::Recorded().calls.back(), "element Body 12 ff");
    EXPECT_EQ(ReadFile("Body12fF.gif"), Gif1);
}

TEST_F(HtmlConversion, ReferencesThatAreNotImagePositionsStayAsTheyAre)
{
    fake::Script script;
    script.noteHtml = "<a href=\"h\">x</a><img src=\"i\"><img src=\"j\"><img src=\"k\">";
    fake::Reference link = Image("h", "Body", "0.10");
    link.type = HTMLAPI_REF_HREF;
    fake::Reference noPosition = Image("i", "Body", "0.20");
    noPosition.targets.pop_back();
    fake::Reference noDot = Image("j", "Body", "020");
    fake::Reference tooLong = Image("k", "Body", "0.1234567890");
    script.references = {link, noPosition, noDot, tooLong};
    fake::Reset(script);

    EXPECT_EQ(ConvertNoteToHtml(context), sys::Utf8ToUtf16(script.noteHtml));
    EXPECT_EQ(fake::Recorded().calls, std::vector<std::string>{"note"});
    EXPECT_TRUE(fake::Recorded().referenceTexts.empty());
    ExpectEverythingReleased();
}

TEST_F(HtmlConversion, ImageWhoseElementFailsIsSkipped)
{
    fake::Script script;
    script.noteHtml = "<img src=\"a\"><img src=\"b\">";
    script.references = {Image("a", "Body", "0.10"), Image("b", "Body", "0.20")};
    script.images[{"Body", 0, 0x20}] = Gif2;  // 0.10 has no element
    fake::Reset(script);

    const std::string html = sys::Utf16ToUtf8(ConvertNoteToHtml(context));
    EXPECT_EQ(html, "<img src=\"a\"><img src=\"" + tempDir + "/temp/Body020.gif\">");
    EXPECT_FALSE(fs::exists(tempDir + "/temp/Body010.gif"));
    ExpectEverythingReleased();
}

TEST_F(HtmlConversion, ItemNameCannotLeaveTheImageFolder)
{
    fake::Script script;
    script.noteHtml = "<img src=\"a\">";
    script.references = {Image("a", "../../evil", "0.10")};
    script.images[{"../../evil", 0, 0x10}] = Gif1;
    fake::Reset(script);

    ConvertNoteToHtml(context);
    const std::string path = sys::Utf16ToUtf8(sys::Utf8ToUtf16(fake::Recorded().referenceTexts.at(0)));
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(tempDir + "/temp"));
    EXPECT_EQ(ReadFile(fs::path(path).filename().string()), Gif1);
}

struct FailureCase {
    const char* name;
    fake::Script script;
};

class HtmlConversionFailure : public HtmlConversion,
                              public ::testing::WithParamInterface<FailureCase> {};

fake::Script WithImage(fake::Script script)
{
    script.noteHtml = "<img src=\"a\">";
    script.references = {Image("a", "Body", "0.10")};
    script.images[{"Body", 0, 0x10}] = Gif1;
    return script;
}

TEST_P(HtmlConversionFailure, GivesEmptyTextAndReleasesEverything)
{
    fake::Reset(GetParam().script);
    EXPECT_EQ(ConvertNoteToHtml(context), u"");
    EXPECT_NE(context.status, 0u);
    ExpectEverythingReleased();
}

fake::Script Failing(STATUS fake::Script::*field)
{
    fake::Script script = WithImage({});
    script.*field = 0x0777;
    return script;
}

fake::Script FailingCreate(int at)
{
    fake::Script script = WithImage({});
    script.failCreateAt = at;
    return script;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, HtmlConversionFailure,
    ::testing::Values(FailureCase{"ProcessStart", Failing(&fake::Script::initStatus)},
                      FailureCase{"CreateConverter", FailingCreate(0)},
                      FailureCase{"Options", Failing(&fake::Script::optionsStatus)},
                      FailureCase{"ConvertNote", Failing(&fake::Script::convertNoteStatus)},
                      FailureCase{"GetReference", Failing(&fake::Script::getReferenceStatus)},
                      FailureCase{"LockReference", Failing(&fake::Script::lockStatus)},
                      FailureCase{"ElementConverter", FailingCreate(1)},
                      FailureCase{"SetReference", Failing(&fake::Script::setReferenceStatus)},
                      FailureCase{"TextLength", Failing(&fake::Script::textLengthStatus)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HtmlConversion, BodyItemConversionIgnoresImageFailures)
{
    fake::Script script = WithImage({});
    script.itemHtml = "<img src=\"a\"><p>body</p>";
    script.lockStatus = 0x0777;
    fake::Reset(script);

    EXPECT_EQ(ConvertBodyItemToHtml(context), u"<img src=\"a\"><p>body</p>");
    const fake::Record& r = fake::Recorded();
    EXPECT_EQ(r.calls, (std::vector<std::string>{"info Body", "item Body"}));
    EXPECT_TRUE(r.options.empty());
    ExpectEverythingReleased();
}

TEST_F(HtmlConversion, BodyItemAbsentGivesEmptyTextWithoutConverter)
{
    fake::Script script;
    script.itemHtml = "<p>x</p>";
    script.bodyPresent = false;
    fake::Reset(script);

    EXPECT_EQ(ConvertBodyItemToHtml(context), u"");
    EXPECT_EQ(fake::Recorded().convertersCreated, 0);
    ExpectEverythingReleased();
}

TEST_F(HtmlConversion, RichTextBodyFallsBackToTheBodyItem)
{
    fake::Script script;
    script.convertNoteStatus = 0x0777;
    script.itemHtml = "<p>from the item</p>";
    fake::Reset(script);

    EXPECT_EQ(ConvertRichTextBodyToHtml(context), u"<p>from the item</p>");
    EXPECT_EQ(fake::Recorded().calls, (std::vector<std::string>{"note", "info Body", "item Body"}));
    EXPECT_EQ(fake::Recorded().processStarts, 2);
    ExpectEverythingReleased();
}

struct LengthCase {
    size_t length;
    std::vector<size_t> pieces;
};

class HtmlTranslation : public HtmlConversion, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(HtmlTranslation, LongTextIsTranslatedInPieces)
{
    fake::Script script;
    script.noteHtml = std::string(GetParam().length, 'x');
    fake::Reset(script);

    const std::u16string html = ConvertNoteToHtml(context);
    EXPECT_EQ(html, std::u16string(GetParam().length, u'x'));
    EXPECT_EQ(fake::Recorded().translatedLengths, GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(Lengths, HtmlTranslation,
                         ::testing::Values(LengthCase{0, {0}}, LengthCase{32764, {32764}},
                                           LengthCase{32765, {32764, 1}},
                                           LengthCase{70000, {32764, 32764, 4472}}));

TEST_F(HtmlConversion, PieceBoundaryNeverSplitsACharacter)
{
    // "Ж" and "語" are multi-byte in Notes text; place one across the cut.
    const std::u16string tail = u"Жизнь 日本語 end";
    std::u16string text = std::u16string(32763, u'a') + tail;
    fake::Script script;
    script.noteHtml = sys::Utf16ToLmbcs(text);
    ASSERT_GT(script.noteHtml.size(), 32765u);
    fake::Reset(script);

    EXPECT_EQ(ConvertNoteToHtml(context), text);
    EXPECT_EQ(fake::Recorded().translatedLengths.front(), 32763u);
}

}  // namespace

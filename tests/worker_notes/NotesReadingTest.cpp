// The reading helpers and the rich-text conversion against a real Notes
// database file built from the sample mailbox.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "tools/nsfdb/Description.h"
#include "worker/notes/DateText.h"
#include "worker/notes/HtmlConversion.h"
#include "worker/notes/NotesText.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

const fs::path SampleDir = fs::path(NSF2PST_SOURCE_DIR) / "samples" / "mailbox";

class NotesReading : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/notesreading-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        workDir = new fs::path(pattern);
        const fs::path database = *workDir / "mailbox.nsf";
        std::ifstream in(SampleDir / "mailbox.json");
        nsfdb::BuildDatabase(nsfdb::Json::parse(in), SampleDir, database);
        session = new LNNotesSession;
        ASSERT_EQ(session->Initialize(), 0u);
        ASSERT_EQ(session->InitThread(), 0u);
        db = new LNDatabase;
        ASSERT_EQ(session->GetDatabase(database.c_str(), db), 0u);
        ASSERT_EQ(db->Open(), 0u);
    }
    static void TearDownTestSuite()
    {
        db->Close();
        delete db;
        session->TermThread();
        session->Term();
        delete session;
        fs::remove_all(*workDir);
        delete workDir;
    }

    void SetUp() override
    {
        imageDir = *workDir / "tmp";
        fs::create_directories(imageDir);
        setenv("TMPDIR", imageDir.c_str(), 1);
    }
    void TearDown() override { unsetenv("TMPDIR"); }

    static LNMailMessage OpenMail(LNNOTEID noteId)
    {
        LNDocument doc;
        EXPECT_EQ(db->GetDocument(noteId, &doc), 0u);
        LNMailMessage mail;
        mail = doc;
        EXPECT_EQ(mail.Open(), 0u);
        return mail;
    }

    static inline fs::path* workDir = nullptr;
    static inline LNNotesSession* session = nullptr;
    static inline LNDatabase* db = nullptr;
    fs::path imageDir;
};

struct SubjectCase {
    LNNOTEID noteId;
    std::u16string subject;
};

class NotesSubjects : public NotesReading, public ::testing::WithParamInterface<SubjectCase> {};

TEST_P(NotesSubjects, ComeBackAsTheSameText)
{
    LNMailMessage mail = OpenMail(GetParam().noteId);
    const LNString subject = mail.GetSubject().GetText();
    EXPECT_EQ(FromNotesText(subject, subject.GetByteLength()), GetParam().subject);
    EXPECT_EQ(FromNotesText(subject, subject.GetCharacterCount()), GetParam().subject);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, NotesSubjects,
    ::testing::Values(SubjectCase{2304, u"Quarterly report"},
                      SubjectCase{2312, u"Grüße aus München – Café, Crème brûlée & Smørrebrød"},
                      SubjectCase{2324, u"Отчёт о продажах за второй квартал"},
                      SubjectCase{2328, u"会議の議事録 / 会议纪要 / 회의록"}));

TEST_F(NotesReading, ShortCountCutsTheTextAtACharacter)
{
    LNMailMessage mail = OpenMail(2324);
    EXPECT_EQ(FromNotesText(mail.GetSubject().GetText(), 5), u"Отчёт");
    EXPECT_EQ(FromNotesText(LNString(), 0), u"");
}

TEST_F(NotesReading, DateTextInOwnZoneAndInGreenwichTime)
{
    LNMailMessage mail = OpenMail(2304);
    const LNDatetime posted = mail.GetDateSent();
    EXPECT_EQ(FormatDateText(posted, false), u"2/5/2018 9:7:30");
    EXPECT_EQ(FormatDateText(posted, true), u"2/5/2018 8:7:30");
    // The zone of the original value is kept for later readers.
    EXPECT_EQ(FormatDateText(posted, false), u"2/5/2018 9:7:30");

    LNCalendarEntry entry;
    entry = OpenMail(2504);
    ASSERT_EQ(entry.Open(), 0u);
    const LNDatetimeRange range = entry.GetDatetimeRange();
    EXPECT_EQ(FormatDateText(range.GetBegin(), true), u"4/9/2018 14:0:0");
    EXPECT_EQ(FormatDateText(range.GetEnd(), true), u"4/9/2018 15:30:0");
    EXPECT_EQ(FormatDateText(LNDatetime(), false), u"0/0/0 0:0:0");
}

TEST_F(NotesReading, CreationTimeAsOleTimestamp)
{
    LNMailMessage mail = OpenMail(2304);
    const OleTimestamp created = ToOleTimestamp(mail.GetCreated());
    EXPECT_EQ(created.status, DateValid);
    EXPECT_NEAR(created.value, 43136.0 + (9 * 3600 + 7 * 60 + 30) / 86400.0, 1e-9);
    EXPECT_EQ(ToOleTimestamp(LNDatetime()).status, DateNull);
}

TEST_F(NotesReading, RichTextWithTwoImagesPointsAtTheSavedFiles)
{
    LNMailMessage mail = OpenMail(2308);
    HtmlConversionContext context = MakeHtmlConversionContext(*db, mail);
    EXPECT_EQ(context.noteId, 2308u);
    const std::string html = sys::Utf16ToUtf8(ConvertNoteToHtml(context));
    ASSERT_FALSE(html.empty());
    EXPECT_NE(html.find("Revenue grew in every quarter."), std::string::npos);

    const std::string folder = (imageDir / "temp").string() + "/";
    const std::regex image(std::regex_replace(folder, std::regex(R"([.^$|()\[\]{}*+?\\/])"), R"(\$&)") +
                           R"(Body0([0-9A-Fa-f]+)\.gif)");
    std::vector<std::pair<unsigned long, std::string>> found;
    for (std::sregex_iterator it(html.begin(), html.end(), image), end; it != end; ++it) {
        found.emplace_back(std::stoul((*it)[1].str(), nullptr, 16), (*it)[0].str());
    }
    ASSERT_EQ(found.size(), 2u) << html;
    EXPECT_LT(found[0].first, found[1].first);
    EXPECT_EQ(ReadBytes(found[0].second), ReadBytes(SampleDir / "images" / "chart.gif"));
    EXPECT_EQ(ReadBytes(found[1].second), ReadBytes(SampleDir / "images" / "logo.gif"));
}

TEST_F(NotesReading, BodyItemConversionAlsoSavesTheImages)
{
    LNMailMessage mail = OpenMail(2372);
    HtmlConversionContext context = MakeHtmlConversionContext(*db, mail);
    const std::string html = sys::Utf16ToUtf8(ConvertBodyItemToHtml(context));
    EXPECT_NE(html.find("The final numbers:"), std::string::npos);
    EXPECT_NE(html.find((imageDir / "temp").string() + "/Body0"), std::string::npos) << html;
}

TEST_F(NotesReading, LongBodySplitOverItemsConvertsWhole)
{
    LNMailMessage mail = OpenMail(2320);
    std::vector<LNItem> items;
    mail.GetItems(&items, LNITEMTYPE_RICHTEXT);
    ASSERT_GE(items.size(), 2u);
    HtmlConversionContext context = MakeHtmlConversionContext(*db, mail);
    const std::u16string html = ConvertNoteToHtml(context);
    EXPECT_GT(html.size(), 70000u);
    EXPECT_NE(html.find(u"Minutes of the annual planning workshop"), std::u16string::npos);
    EXPECT_NE(html.find(u"80. "), std::u16string::npos);
    EXPECT_NE(html.find(u"End of the minutes."), std::u16string::npos);
}

TEST_F(NotesReading, NonAsciiBodyConvertsToTheSameText)
{
    LNMailMessage mail = OpenMail(2324);
    HtmlConversionContext context = MakeHtmlConversionContext(*db, mail);
    const std::u16string html = ConvertRichTextBodyToHtml(context);
    EXPECT_NE(html.find(u"Добрый день, Джейн!"), std::u16string::npos);
    EXPECT_NE(html.find(u"Продажи выросли на 12 %."), std::u16string::npos);
}

TEST_F(NotesReading, NoteWithoutBodyGivesNoBodyItemHtml)
{
    LNMailMessage mail = OpenMail(2512);
    HtmlConversionContext context = MakeHtmlConversionContext(*db, mail);
    EXPECT_EQ(ConvertBodyItemToHtml(context), u"");
}

TEST_F(NotesReading, EncryptedBodyConvertsOnlyAfterDecrypting)
{
    LNMailMessage mail = OpenMail(2332);
    ASSERT_TRUE(mail.IsEncrypted());
    HtmlConversionContext sealed = MakeHtmlConversionContext(*db, mail);
    EXPECT_EQ(ConvertRichTextBodyToHtml(sealed).find(u"salary"), std::u16string::npos);
    ASSERT_EQ(mail.Decrypt(), 0u);
    HtmlConversionContext open = MakeHtmlConversionContext(*db, mail);
    EXPECT_NE(ConvertRichTextBodyToHtml(open).find(u"salary"), std::u16string::npos);
}

}  // namespace

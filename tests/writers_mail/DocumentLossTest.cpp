// What the readers and writers lose of a mail is said: damaged CD records
// cost only themselves and leave a warning and a reason for the conversion
// report, and attachment bytes that fall short are never saved.
#include <sqlite3.h>

#include <functional>

#include "WriterFixture.h"
#include "platform/notes/CdRecords.h"
#include "platform/sys/Text.h"
#include "tools/nsfdb/Description.h"

namespace {

const char* const kDamagedMail = R"J({"documents": [{"noteId": 2310, "form": "Memo", "items": {"Subject": "Damaged",
  "Body": {"richtext": ["Before the damage.", "Middle paragraph.",
    {"doclink": {"replicaId": "85257A1B0049D7E2", "description": "The budget"}},
    {"image": "dot.gif"}, "After the damage."]}}}]})J";

class DocumentLossTest : public CWriterFixture {
protected:
    // Builds the description, changes the raw value of the mail's Body item,
    // then opens the database.
    void OpenDamaged(const std::string& description, const std::function<void(std::string&)>& damage)
    {
        const auto path = root / "db.nsf";
        const auto data = std::filesystem::path(NSF2PST_SOURCE_DIR) / "tests/writers_mail/data";
        nsfdb::BuildDatabase(nsfdb::Json::parse(description), data, path);
        sqlite3* db = nullptr;
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_open(path.string().c_str(), &db), SQLITE_OK);
        const char* body = "noteId = 2310 AND name = CAST('Body' AS BLOB)";
        sqlite3_prepare_v2(db, ("SELECT value FROM items WHERE " + std::string(body)).c_str(), -1, &stmt, nullptr);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
        std::string raw(static_cast<const char*>(sqlite3_column_blob(stmt, 0)), sqlite3_column_bytes(stmt, 0));
        sqlite3_finalize(stmt);
        damage(raw);
        sqlite3_prepare_v2(db, ("UPDATE items SET value = ? WHERE " + std::string(body)).c_str(), -1, &stmt, nullptr);
        sqlite3_bind_blob(stmt, 1, raw.data(), static_cast<int>(raw.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        converter->session.Initialize();
        ASSERT_EQ(converter->OpenNotesDatabase(sys::Utf8ToUtf16(path.string()), u""), 1);
    }
};

// Offset of the record whose body holds `text` `back` bytes after its start.
size_t RecordBefore(const std::string& raw, const std::string& text, size_t back)
{
    const size_t at = raw.find(text);
    EXPECT_NE(at, std::string::npos) << text;
    return at - back;
}

void PutWord(std::string& raw, size_t at, uint16_t value)
{
    raw[at] = static_cast<char>(value & 0xFF);
    raw[at + 1] = static_cast<char>(value >> 8);
}

// A text record: 4-byte header and FONTID before its text; an image
// segment: 6-byte header and two sizes before the GIF bytes; a link: its
// zero-terminated comment.
struct CDamageCase {
    const char* what;
    std::function<void(std::string&)> damage;
    bool middleKept, imageKept;
};

const CDamageCase kDamageCases[] = {
    {"LengthPastTheEnd", [](std::string& r) { PutWord(r, RecordBefore(r, "Middle", 8) + 2, 0xFFFF); }, false, true},
    {"LengthZero", [](std::string& r) { PutWord(r, RecordBefore(r, "Middle", 8) + 2, 0); }, false, true},
    {"LongLengthAllOnes",
     [](std::string& r) {
         const size_t at = RecordBefore(r, "GIF8", 10);
         PutWord(r, at + 2, 0xFFFF);
         PutWord(r, at + 4, 0xFFFF);
     },
     true, false},
    {"UnterminatedString",
     [](std::string& r) {
         size_t at = r.find("The budget") + 10;
         while (r[at] == '\0') r[at++] = 'x';
     },
     true, true},
};

void PrintTo(const CDamageCase& c, std::ostream* out) { *out << c.what; }

class DamagedRecordTest : public DocumentLossTest, public ::testing::WithParamInterface<CDamageCase> {};

TEST_P(DamagedRecordTest, LosesOnlyItself)
{
    const CDamageCase& c = GetParam();
    OpenDamaged(kDamagedMail, c.damage);
    const std::string eml = MailEml(2310);
    EXPECT_NE(eml.find("Before the damage."), std::string::npos);
    EXPECT_NE(eml.find("After the damage."), std::string::npos);
    EXPECT_EQ(eml.find("Middle paragraph.") != std::string::npos, c.middleKept);
    EXPECT_EQ(eml.find("<img") != std::string::npos, c.imageKept);
    EXPECT_EQ(converter->documentProblems, std::vector<std::u16string>{u"body partly damaged"});
    EXPECT_NE(LogText().find(u"WARNING:Damaged rich-text records were left out of the body: "), std::u16string::npos);
    EXPECT_EQ(app.warningCount, 1u);
}

INSTANTIATE_TEST_SUITE_P(Records, DamagedRecordTest, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(DocumentLossTest, BodyDamagedBeyondReadingIsSaid)
{
    OpenDamaged(kDamagedMail, [](std::string& r) { r = std::string("\x01\x00", 2) + std::string(64, '\xFF'); });
    MailEml(2310);
    EXPECT_EQ(converter->documentProblems, std::vector<std::u16string>{u"body damaged"});
    EXPECT_NE(LogText().find(u"WARNING:The body is damaged and cannot be read: Rich text item is damaged\r\n"),
              std::u16string::npos);
}

TEST_F(DocumentLossTest, AttachmentShorterThanItsSizeIsNeverSaved)
{
    OpenDatabaseFromText(R"J({"documents": [{"noteId": 2310, "form": "Memo", "items": {"Subject": "Short"},
        "attachments": [{"name": "a.txt", "text": "hello", "size": 10}, {"name": "b.txt", "text": "whole"}]}]})J");
    const std::string eml = MailEml(2310);
    EXPECT_EQ(eml.find("YS50eHQ="), std::string::npos);   // no part named a.txt
    EXPECT_NE(eml.find("Yi50eHQ="), std::string::npos);
    EXPECT_NE(LogText().find(u"ERROR: a.txt is not dump.\r\n\tAttachment data is damaged or incomplete "
                             u"(attachment \"a.txt\": its data is shorter than its size)\r\nb.txt,"),
              std::u16string::npos)
        << sys::Utf16ToUtf8(LogText());
    ASSERT_EQ(converter->documentProblems.size(), 1u);
    EXPECT_EQ(converter->documentProblems[0].rfind(u"attachment \"a.txt\" not converted: ", 0), 0u);
    EXPECT_EQ(app.errorCount, 1u);
}

}  // namespace

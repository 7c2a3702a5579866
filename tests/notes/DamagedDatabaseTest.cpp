// Notes database files with damaged or missing tables, read through the LN
// classes: damage costs only the notes, entries and attachments it hits, and
// every document stays reachable through a view or the folder of documents
// that no view lists.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/notes/NotesSource.h"
#include "tests/notes/TestDatabase.h"

namespace {

void Exec(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

int64_t QueryInt(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_open(file.string().c_str(), &db);
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    int64_t value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

std::string Bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t BigEndian(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// A page of the table's b-tree: its root (depth 0), or the first child of
// the root (depth 1; -1 when the root has no children).
int64_t PageOf(const std::filesystem::path& file, const std::string& table, int depth) {
    int64_t root = QueryInt(file, "SELECT rootpage FROM sqlite_master WHERE name = '" + table + "'");
    if (depth == 0) return root;
    std::string b = Bytes(file);
    size_t size = BigEndian(b, 16, 2), at = (root - 1) * size;
    if (b[at] != 0x05 && b[at] != 0x02) return -1;   // not an interior page
    return BigEndian(b, at + BigEndian(b, at + 12, 2), 4);
}

// Makes the page's type byte impossible: SQLite reports the page malformed.
void BreakPage(const std::filesystem::path& file, int64_t page) {
    ASSERT_GT(page, 1);
    std::string b = Bytes(file);
    b[(page - 1) * BigEndian(b, 16, 2)] = 0x7F;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << b;
}

std::vector<LNNOTEID> EntriesOf(const LNViewFolder& view) {
    std::vector<LNNOTEID> ids;
    for (LNINT i = 0; i < view.GetEntryCount(); ++i) ids.push_back(view[i].GetNoteID());
    return ids;
}

const char* const kFiled = R"J({
  "documents": [
    {"noteId": 100, "form": "Memo", "items": {"Subject": "inbox"}},
    {"noteId": 104, "form": "Memo", "items": {"Subject": "inbox and all"}},
    {"noteId": 108, "form": "Memo", "items": {"Subject": "only all"}},
    {"noteId": 112, "form": "Memo", "items": {"Subject": "nowhere"}}],
  "views": [{"name": "($Inbox)", "folder": true, "noteId": 500, "entries": [100, 104]},
            {"name": "($All)", "noteId": 504, "entries": [100, 104, 108]}]
})J";

TEST(DamagedDatabase, ViewDamageLosesNoDocument) {
    struct {
        const char* what;
        std::function<void(const std::filesystem::path&)> damage;
        std::vector<LNNOTEID> views;      // what GetViewFolders lists
        std::vector<LNNOTEID> unfiled;    // entries of the folder of unlisted documents
    } cases[] = {
        {"intact", [](const auto&) {}, {500, 504, notes::kUnfiledFolderId}, {108, 112}},
        {"no table of views", [](const auto& f) { Exec(f, "DROP TABLE views"); },
         {notes::kUnfiledFolderId}, {100, 104, 108, 112}},
        {"damaged table of views", [](const auto& f) { BreakPage(f, PageOf(f, "views", 0)); },
         {notes::kUnfiledFolderId}, {100, 104, 108, 112}},
        {"no table of entries", [](const auto& f) { Exec(f, "DROP TABLE viewEntries"); },
         {500, 504, notes::kUnfiledFolderId}, {100, 104, 108, 112}},
        {"entry that is not a number",
         [](const auto& f) { Exec(f, "UPDATE viewEntries SET noteId = 'x104' WHERE viewNoteId = 500 AND seq = 1"); },
         {500, 504, notes::kUnfiledFolderId}, {104, 108, 112}},
    };
    for (const auto& c : cases) {
        CTestDatabase db(kFiled);
        c.damage(db.path);
        LNDatabase& database = db.Open();
        std::vector<LNViewFolder> views;
        ASSERT_EQ(database.GetViewFolders(&views), 0u) << c.what;
        std::vector<LNNOTEID> ids;
        for (const auto& v : views) ids.push_back(v.GetNoteID());
        EXPECT_EQ(ids, c.views) << c.what;
        LNViewFolder unfiled;
        ASSERT_EQ(database.GetViewFolder(notes::kUnfiledFolderId, &unfiled), 0u) << c.what;
        EXPECT_EQ(EntriesOf(unfiled), c.unfiled) << c.what;
        EXPECT_STREQ(unfiled.GetName(), notes::kUnfiledFolderName);
    }
}

// 300 documents, so that each table spans several pages.
std::string ManyDocuments() {
    std::string docs, entries;
    for (int i = 0; i < 300; ++i) {
        std::string id = std::to_string(2304 + 4 * i);
        docs += (i ? "," : "") + std::string("{\"noteId\": ") + id + ", \"form\": \"Memo\", \"items\": " +
                "{\"Subject\": \"mail " + id + "\", \"Body\": \"text of mail " + id + "\"}}";
        entries += (i ? "," : "") + id;
    }
    return R"J({"documents": [)J" + docs + R"J(], "views": [{"name": "($Inbox)", "folder": true,
              "noteId": 9000, "entries": [)J" + entries + "]}]}";
}

TEST(DamagedDatabase, DamagedPagesFailOnlyTheNotesTheyHold) {
    for (const char* table : {"notes", "items"}) {
        CTestDatabase db(ManyDocuments());
        BreakPage(db.path, PageOf(db.path, table, 1));
        LNDatabase& database = db.Open();
        std::vector<LNDocument> documents;
        ASSERT_EQ(database.GetDocuments(&documents), 0u) << table;
        EXPECT_EQ(documents.size(), 300u) << table;   // still listed: reading them names the damage
        size_t damaged = 0;
        for (LNDocument& doc : documents) {
            LNSTATUS status = doc.Open();
            if (status == 0) continue;
            ++damaged;
            ASSERT_EQ(status, static_cast<LNSTATUS>(ERR_NOTE_DAMAGED)) << table;
            char text[512];
            LNGetErrorMessageText(status, text, sizeof text);
            EXPECT_NE(std::string(text).find("(note " + std::to_string(doc.GetNoteID()) + ": "), std::string::npos)
                << text;
        }
        EXPECT_GT(damaged, 0u) << table;
        EXPECT_LT(damaged, 150u) << table;
        LNViewFolder inbox;
        ASSERT_EQ(database.GetViewFolder(9000, &inbox), 0u);
        EXPECT_EQ(inbox.GetEntryCount(), 300) << table;
    }
}

TEST(DamagedDatabase, AttachmentBytesThatCannotAllBeReadAreRefused) {
    struct {
        const char* what;
        const char* attachment;
        bool breakObjects;
        const char* reason;
    } cases[] = {
        {"shorter than its size", R"({"name": "a.txt", "text": "hello", "size": 10})", false,
         "its data is shorter than its size"},
        {"damaged table of objects", R"({"name": "a.txt", "text": "hello"})", true, "database access failed"},
    };
    for (const auto& c : cases) {
        CTestDatabase db(std::string(R"({"documents": [{"noteId": 100, "form": "Memo", "attachments": [)") +
                         c.attachment + "]}]}");
        if (c.breakObjects) BreakPage(db.path, PageOf(db.path, "objects", 0));
        db.Open();
        std::vector<LNAttachment> attachments;
        ASSERT_EQ(db.OpenDocument(100).GetAttachments(&attachments), 0u);
        ASSERT_EQ(attachments.size(), 1u);
        auto target = db.dir / "a.txt";
        EXPECT_EQ(attachments[0].Detach(LNString(target.string())), static_cast<LNSTATUS>(ERR_OBJECT_DAMAGED))
            << c.what;
        EXPECT_FALSE(std::filesystem::exists(target)) << c.what;
        char text[512];
        LNGetErrorMessageText(ERR_OBJECT_DAMAGED, text, sizeof text);
        EXPECT_NE(std::string(text).find(c.reason), std::string::npos) << text;
    }
}

// An attachment of several megabytes goes to the file a piece at a time and
// arrives whole, in order; a detach over an older, longer file replaces it.
TEST(DamagedDatabase, LargeAttachmentDetachesWhole) {
    std::string bytes(2 * 1024 * 1024 + 12345, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) >> 9);
    CTestDatabase db(R"({"documents": [{"noteId": 100, "form": "Memo",
                         "attachments": [{"name": "big.bin", "path": "big.bin"}]}]})",
                     {{"big.bin", bytes}});
    db.Open();
    std::vector<LNAttachment> attachments;
    ASSERT_EQ(db.OpenDocument(100).GetAttachments(&attachments), 0u);
    ASSERT_EQ(attachments.size(), 1u);
    auto target = db.dir / "out.bin";
    std::ofstream(target, std::ios::binary) << std::string(bytes.size() + 100, 'x');
    ASSERT_EQ(attachments[0].Detach(LNString(target.string())), 0u);
    std::ifstream in(target, std::ios::binary);
    const std::string detached((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(detached == bytes) << detached.size() << " bytes";
}

TEST(DamagedDatabase, DamagedTitleRowStillOpensTheDocuments) {
    CTestDatabase db(kFiled);
    BreakPage(db.path, PageOf(db.path, "nsf_database", 0));
    LNDatabase& database = db.Open();
    EXPECT_STREQ(database.GetTitle(), "");
    EXPECT_EQ(db.OpenDocument(112).GetNoteID(), 112u);
}

}  // namespace

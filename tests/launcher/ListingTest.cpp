// The database listing of the report reads its documents a page of notes at
// a time: whatever is lost or damaged, each document is listed as reading it
// on its own would list it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "launcher/DatabaseListing.h"
#include "platform/notes/NotesSource.h"
#include "tools/nsfdb/Description.h"

namespace {

constexpr int kDocuments = 1500;  // more than one page of notes

NOTEID IdOf(int i) { return 100 + 4 * static_cast<NOTEID>(i); }

std::filesystem::path BuildMailbox(const std::filesystem::path& dir) {
    nsfdb::Json documents = nsfdb::Json::array(), entries = nsfdb::Json::array();
    for (int i = 0; i < kDocuments; ++i) {
        documents.push_back({{"noteId", IdOf(i)}, {"form", "Memo"},
                             {"items", {{"Subject", "s" + std::to_string(i)}, {"Body", {{"richtext", {"body"}}}}}}});
        entries.push_back(IdOf(i));
    }
    nsfdb::Json description = {{"documents", documents},
                               {"views", {{{"name", "($Inbox)"}, {"folder", true}, {"noteId", 8250}, {"entries", entries}}}}};
    const auto path = dir / "listing.nsf";
    nsfdb::BuildDatabase(description, dir, path);
    return path;
}

void Exec(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

uint32_t BigEndian(const std::string& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
}

// Gives a child page of the items table's root an impossible type byte, so
// that SQLite finds it malformed: the first child or the right-most one.
void BreakItemsPage(const std::filesystem::path& file, bool last) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = 'items'", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const int64_t root = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    std::ifstream in(file, std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(in)), {});
    const size_t size = BigEndian(b, 16, 2), at = static_cast<size_t>(root - 1) * size;
    ASSERT_EQ(b[at], 0x02) << "the items table has no interior root page";
    const uint32_t child = last ? BigEndian(b, at + 8, 4) : BigEndian(b, at + BigEndian(b, at + 12, 2), 4);
    b[(child - 1) * size] = 0x7F;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << b;
}

}  // namespace

TEST(DatabaseListing, PagedDocumentsAreListedAsEachNoteReadsAlone) {
    struct {
        const char* what;
        std::function<void(const std::filesystem::path&)> damage;
    } cases[] = {
        {"intact", [](const auto&) {}},
        {"record of a document lost", [](const auto& f) { Exec(f, "DELETE FROM notes WHERE noteId = 4900"); }},
        {"first page of items damaged", [](const auto& f) { BreakItemsPage(f, false); }},
        {"last page of items damaged", [](const auto& f) { BreakItemsPage(f, true); }},
    };
    const auto dir = std::filesystem::temp_directory_path() / ("listing-test-" + std::to_string(getpid()));
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const auto path = BuildMailbox(dir);
        c.damage(path);
        auto alone = notes::OpenNotesSource(path.string());
        CDatabaseListing listing = ListDatabase(path.string());
        int listed = 0, unreadable = 0;
        listing.ForEachDocument([&](const CListedNote& note) {
            const int i = static_cast<int>((note.noteId - 100) / 4);
            std::optional<notes::CNoteRow> row;
            bool readable = true;
            try {
                row = alone->ReadNote(note.noteId);
                readable = row.has_value();
            } catch (const notes::CNsfError&) {
                readable = false;
            }
            EXPECT_EQ(note.unreadable.empty(), readable) << c.what << ", note " << note.noteId << ": " << note.unreadable;
            if (readable) {
                EXPECT_EQ(note.subject, "s" + std::to_string(i)) << c.what;
                EXPECT_EQ(note.form, "Memo") << c.what;
                EXPECT_EQ(note.unid, notes::UnidText(row->unid)) << c.what;
            }
            ++listed;
            unreadable += readable ? 0 : 1;
        });
        EXPECT_EQ(listed, kDocuments) << c.what;
        if (std::string(c.what) == "intact") EXPECT_EQ(unreadable, 0);
        else EXPECT_GT(unreadable, 0) << c.what;
    }
    std::filesystem::remove_all(dir);
}

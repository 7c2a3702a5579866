#include "platform/notes/NsfFile.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <unordered_map>

#include "platform/notes/ItemCodec.h"

namespace notes {

namespace {
const char* const kSchema = R"(
CREATE TABLE nsf_database(
  title BLOB NOT NULL,            -- LMBCS
  replicaId BLOB NOT NULL,        -- 8 bytes: two little-endian 32-bit words
  schemaVersion INTEGER NOT NULL);
CREATE TABLE notes(
  noteId INTEGER PRIMARY KEY,     -- multiple of 4
  unid BLOB NOT NULL UNIQUE,      -- 16 bytes: file part, note part
  noteClass INTEGER NOT NULL,     -- 1 document, 4 form, 8 view or folder
  created BLOB NOT NULL,          -- TIMEDATE, 8 bytes
  modified BLOB NOT NULL,
  encrypted INTEGER NOT NULL,
  signed INTEGER NOT NULL);
CREATE TABLE items(
  noteId INTEGER NOT NULL,
  seq INTEGER NOT NULL,           -- order of the items in the note
  name BLOB NOT NULL,             -- LMBCS
  flags INTEGER NOT NULL,         -- ITEM_SUMMARY, ITEM_SEAL, ...
  value BLOB NOT NULL,            -- data-type word + canonical value
  PRIMARY KEY(noteId, seq)) WITHOUT ROWID;
CREATE TABLE objects(
  rrv INTEGER PRIMARY KEY,        -- object ID named by a $FILE item
  noteId INTEGER NOT NULL,
  data BLOB NOT NULL);
CREATE TABLE forms(
  noteId INTEGER PRIMARY KEY,
  name BLOB NOT NULL UNIQUE);
CREATE TABLE formFields(
  formNoteId INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  name BLOB NOT NULL,
  type INTEGER NOT NULL,          -- 46 date/time, 49 rich text, ...
  PRIMARY KEY(formNoteId, seq)) WITHOUT ROWID;
CREATE TABLE views(
  noteId INTEGER PRIMARY KEY,
  position INTEGER NOT NULL,      -- database order
  name BLOB NOT NULL,
  isFolder INTEGER NOT NULL,
  viewType INTEGER NOT NULL);
CREATE TABLE viewEntries(
  viewNoteId INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  noteId INTEGER NOT NULL,        -- 0 = null entry
  unread INTEGER NOT NULL,
  PRIMARY KEY(viewNoteId, seq)) WITHOUT ROWID;
)";

constexpr int kSchemaVersion = 1;

sqlite3_stmt* Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        throw CNsfError(std::string("database query failed: ") + sqlite3_errmsg(db));
    }
    return stmt;
}
}  // namespace

// Preparing a query costs more than running it on one note, and a document is
// read many times while it is converted: each query text is prepared once
// and lent out. A statement that is still lent (a nested use of the same
// query) is not handed out twice; the borrower then prepares its own.
class CStatementCache {
public:
    explicit CStatementCache(sqlite3* db) : db(db) {}
    ~CStatementCache() {
        for (auto& entry : prepared) sqlite3_finalize(entry.second.stmt);
    }
    CStatementCache(const CStatementCache&) = delete;
    CStatementCache& operator=(const CStatementCache&) = delete;

    sqlite3* Db() const { return db; }
    // The statement for this query text, or nullptr while it is lent.
    sqlite3_stmt* Lend(const char* sql) {
        CEntry& entry = prepared[sql];
        if (entry.lent) return nullptr;
        if (!entry.stmt) entry.stmt = Prepare(db, sql);
        entry.lent = true;
        return entry.stmt;
    }
    // Back from its borrower: reset, so that it holds no read lock, and unbound.
    void Return(const char* sql) {
        CEntry& entry = prepared[sql];
        sqlite3_reset(entry.stmt);
        sqlite3_clear_bindings(entry.stmt);
        entry.lent = false;
    }

private:
    struct CEntry {
        sqlite3_stmt* stmt = nullptr;
        bool lent = false;
    };
    sqlite3* db;
    // Keyed by the query's text literal: every call site passes the same one.
    std::unordered_map<const char*, CEntry> prepared;
};

namespace {

class CStatement {
public:
    CStatement(sqlite3* db, const char* sql) : stmt(Prepare(db, sql)) {}
    CStatement(CStatementCache& cache, const char* sql) : stmt(cache.Lend(sql)) {
        if (stmt)
            lender = &cache, query = sql;
        else
            stmt = Prepare(cache.Db(), sql);
    }
    ~CStatement() {
        if (lender)
            lender->Return(query);
        else
            sqlite3_finalize(stmt);
    }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;
    CStatement& Bind(int i, int64_t v) { sqlite3_bind_int64(stmt, i, v); return *this; }
    CStatement& Bind(int i, const std::string& blob) {
        sqlite3_bind_blob(stmt, i, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        return *this;
    }
    void Reset() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    bool Step() {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw CNsfError(std::string("database access failed: ") + sqlite3_errmsg(sqlite3_db_handle(stmt)));
    }
    int64_t Int(int col) const { return sqlite3_column_int64(stmt, col); }
    std::string Blob(int col) const {
        const void* p = sqlite3_column_blob(stmt, col);
        return p ? std::string(static_cast<const char*>(p), sqlite3_column_bytes(stmt, col)) : std::string();
    }

private:
    sqlite3_stmt* stmt = nullptr;
    CStatementCache* lender = nullptr;
    const char* query = nullptr;
};

std::string TimeBlob(const TIMEDATE& td) {
    std::string out;
    PutTime(out, td);
    return out;
}
TIMEDATE BlobTime(const std::string& b) { return b.size() == 8 ? GetTime(b, 0) : TIMEDATE{}; }
std::string UnidBlob(const UNID& u) { return TimeBlob(u.File) + TimeBlob(u.Note); }
UNID BlobUnid(const std::string& b) {
    return b.size() == 16 ? UNID{GetTime(b, 0), GetTime(b, 8)} : UNID{};
}
}  // namespace

CSqliteHandle::CSqliteHandle(const std::string& path, bool create) {
    int flags = create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (!create) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw CNsfError("File does not exist: " + path);
    }
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw CNsfError("cannot open " + path + ": " + message);
    }
}

CSqliteHandle::~CSqliteHandle() { sqlite3_close(db); }

void CSqliteHandle::Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw CNsfError("database write failed: " + message);
    }
}

CNsfFile::CNsfFile(const std::string& path)
    : handle(path, false), statements(std::make_unique<CStatementCache>(handle.Get())) {
    try {
        CStatement s(handle.Get(), "SELECT title, replicaId, schemaVersion FROM nsf_database");
        if (!s.Step()) throw CNsfError("not a Notes database file: " + path);
        title = s.Blob(0);
        replicaId = BlobTime(s.Blob(1));
        if (s.Int(2) != kSchemaVersion) throw CNsfError("unsupported database file version: " + path);
    } catch (const CNsfError&) {
        throw CNsfError("not a Notes database file: " + path);
    }
}

CNsfFile::~CNsfFile() = default;

std::optional<CNoteRow> CNsfFile::ReadNote(NOTEID id) {
    std::lock_guard<std::mutex> guard(lock);
    CStatement s(*statements,
                 "SELECT unid, noteClass, created, modified, encrypted, signed FROM notes WHERE noteId = ?");
    s.Bind(1, id);
    if (!s.Step()) return std::nullopt;
    CNoteRow note;
    note.id = id;
    note.unid = BlobUnid(s.Blob(0));
    note.noteClass = static_cast<int>(s.Int(1));
    note.created = BlobTime(s.Blob(2));
    note.modified = BlobTime(s.Blob(3));
    note.encrypted = s.Int(4) != 0;
    note.isSigned = s.Int(5) != 0;
    CStatement items(*statements, "SELECT name, flags, value FROM items WHERE noteId = ? ORDER BY seq");
    items.Bind(1, id);
    while (items.Step())
        note.items.push_back({items.Blob(0), static_cast<WORD>(items.Int(1)), items.Blob(2)});
    return note;
}

std::vector<NOTEID> CNsfFile::NoteIds(int noteClass) {
    std::lock_guard<std::mutex> guard(lock);
    CStatement s(*statements, "SELECT noteId FROM notes WHERE noteClass = ? ORDER BY noteId");
    s.Bind(1, noteClass);
    std::vector<NOTEID> ids;
    while (s.Step()) ids.push_back(static_cast<NOTEID>(s.Int(0)));
    return ids;
}

std::vector<CViewEntry> CNsfFile::ReadEntries(NOTEID view) {
    CStatement s(*statements, "SELECT noteId, unread FROM viewEntries WHERE viewNoteId = ? ORDER BY seq");
    s.Bind(1, view);
    std::vector<CViewEntry> entries;
    while (s.Step()) entries.push_back({static_cast<NOTEID>(s.Int(0)), s.Int(1) != 0});
    return entries;
}

std::vector<CViewRow> CNsfFile::ReadViews(bool withEntries) {
    std::lock_guard<std::mutex> guard(lock);
    CStatement s(*statements, "SELECT noteId, name, isFolder, viewType FROM views ORDER BY position");
    std::vector<CViewRow> views;
    while (s.Step())
        views.push_back({static_cast<NOTEID>(s.Int(0)), s.Blob(1), s.Int(2) != 0, static_cast<int>(s.Int(3)), {}});
    if (withEntries)
        for (auto& v : views) v.entries = ReadEntries(v.id);
    return views;
}

std::optional<CViewRow> CNsfFile::ReadView(NOTEID id) {
    std::lock_guard<std::mutex> guard(lock);
    CStatement s(*statements, "SELECT name, isFolder, viewType FROM views WHERE noteId = ?");
    s.Bind(1, id);
    if (!s.Step()) return std::nullopt;
    CViewRow view{id, s.Blob(0), s.Int(1) != 0, static_cast<int>(s.Int(2)), {}};
    view.entries = ReadEntries(id);
    return view;
}

std::vector<CFormRow> CNsfFile::ReadForms() {
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> guard(lock);
        CStatement s(*statements, "SELECT name FROM forms ORDER BY noteId");
        while (s.Step()) names.push_back(s.Blob(0));
    }
    std::vector<CFormRow> forms;
    for (const auto& n : names)
        if (auto f = ReadForm(n)) forms.push_back(*f);
    return forms;
}

std::optional<CFormRow> CNsfFile::ReadForm(const std::string& name) {
    std::lock_guard<std::mutex> guard(lock);
    CStatement s(*statements, "SELECT noteId FROM forms WHERE name = ?");
    s.Bind(1, name);
    if (!s.Step()) return std::nullopt;
    CFormRow form{static_cast<NOTEID>(s.Int(0)), name, {}};
    CStatement f(*statements, "SELECT name, type FROM formFields WHERE formNoteId = ? ORDER BY seq");
    f.Bind(1, form.id);
    while (f.Step()) form.fields.push_back({f.Blob(0), static_cast<int>(f.Int(1))});
    return form;
}

std::optional<std::string> CNsfFile::ReadObject(const CFileObject& file) {
    std::lock_guard<std::mutex> guard(lock);
    CStatement s(*statements, "SELECT data FROM objects WHERE rrv = ?");
    s.Bind(1, file.rrv);
    if (!s.Step()) return std::nullopt;
    return s.Blob(0);
}

CNsfWriter::CNsfWriter(const std::string& path) : handle(path, true) {
    handle.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    handle.Exec(kSchema);
    handle.Exec("BEGIN");
}

void CNsfWriter::SetDatabase(const std::string& title, const DBID& replicaId) {
    CStatement s(handle.Get(), "INSERT INTO nsf_database VALUES(?, ?, ?)");
    s.Bind(1, title).Bind(2, TimeBlob(replicaId)).Bind(3, kSchemaVersion).Step();
}

void CNsfWriter::AddNote(const CNoteRow& n) {
    CStatement s(handle.Get(), "INSERT INTO notes VALUES(?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, n.id).Bind(2, UnidBlob(n.unid)).Bind(3, n.noteClass).Bind(4, TimeBlob(n.created));
    s.Bind(5, TimeBlob(n.modified)).Bind(6, n.encrypted ? 1 : 0).Bind(7, n.isSigned ? 1 : 0).Step();
    CStatement item(handle.Get(), "INSERT INTO items VALUES(?, ?, ?, ?, ?)");
    for (size_t i = 0; i < n.items.size(); ++i) {
        item.Reset();
        item.Bind(1, n.id).Bind(2, static_cast<int64_t>(i)).Bind(3, n.items[i].name).Bind(4, n.items[i].flags);
        item.Bind(5, n.items[i].raw).Step();
    }
}

void CNsfWriter::AddObject(DWORD rrv, NOTEID owner, const std::string& data) {
    CStatement s(handle.Get(), "INSERT INTO objects VALUES(?, ?, ?)");
    s.Bind(1, rrv).Bind(2, owner).Bind(3, data).Step();
}

void CNsfWriter::AddForm(const CFormRow& form, const UNID& unid) {
    CNoteRow note;
    note.id = form.id;
    note.unid = unid;
    note.noteClass = kClassForm;
    AddNote(note);
    CStatement s(handle.Get(), "INSERT INTO forms VALUES(?, ?)");
    s.Bind(1, form.id).Bind(2, form.name).Step();
    for (size_t i = 0; i < form.fields.size(); ++i) {
        CStatement f(handle.Get(), "INSERT INTO formFields VALUES(?, ?, ?, ?)");
        f.Bind(1, form.id).Bind(2, static_cast<int64_t>(i)).Bind(3, form.fields[i].name).Bind(4, form.fields[i].type);
        f.Step();
    }
}

void CNsfWriter::AddView(const CViewRow& view, const UNID& unid, int position) {
    CNoteRow note;
    note.id = view.id;
    note.unid = unid;
    note.noteClass = kClassView;
    AddNote(note);
    CStatement s(handle.Get(), "INSERT INTO views VALUES(?, ?, ?, ?, ?)");
    s.Bind(1, view.id).Bind(2, position).Bind(3, view.name).Bind(4, view.folder ? 1 : 0).Bind(5, view.type).Step();
    for (size_t i = 0; i < view.entries.size(); ++i) {
        CStatement e(handle.Get(), "INSERT INTO viewEntries VALUES(?, ?, ?, ?)");
        e.Bind(1, view.id).Bind(2, static_cast<int64_t>(i)).Bind(3, view.entries[i].noteId);
        e.Bind(4, view.entries[i].unread ? 1 : 0).Step();
    }
}

void CNsfWriter::Commit() { handle.Exec("COMMIT"); }

}  // namespace notes

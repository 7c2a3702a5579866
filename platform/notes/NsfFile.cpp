#include "platform/notes/NsfFile.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNErrors.h"
#include "platform/notes/PastDamage.h"
#include "platform/notes/SqliteStatement.h"

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

namespace {

std::string NoteName(NOTEID id) { return "note " + std::to_string(id); }
std::string AttachmentName(const CFileObject& file) { return "attachment \"" + file.name + "\""; }

// A view entry as stored: a note ID, 0 for a null entry. Anything else (text,
// a fraction, a number outside 32 bits) names no note and is left out, so
// that the document meant counts as listed by no view.
std::optional<CViewEntry> EntryOf(const CStatement& s, int idColumn, int unreadColumn) {
    if (s.Type(idColumn) != SQLITE_INTEGER) return std::nullopt;
    int64_t id = s.Int(idColumn);
    if (id < 0 || id > 0xFFFFFFFFll) return std::nullopt;
    return CViewEntry{static_cast<NOTEID>(id), s.Int(unreadColumn) != 0};
}

CViewRow ViewOf(const CStatement& s) {
    return {static_cast<NOTEID>(s.Int(0)), s.Blob(1), s.Int(2) != 0, static_cast<int>(s.Int(3)), {}};
}

template <class Row>
using CSeekResult = std::optional<std::pair<int64_t, Row>>;

}  // namespace

CNsfFile::CNsfFile(const std::string& path)
    : handle(path, false), statements(std::make_unique<CStatementCache>(handle.Get())) {
    // The file is only read: its shared lock is taken at the first read and
    // kept, instead of being taken, checked and dropped around every query.
    sqlite3_exec(handle.Get(), "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    ReadDatabaseRow(path);
}

CNsfFile::~CNsfFile() = default;

// A file whose row of title and replica ID is damaged while its notes are
// there still opens, without them; one whose structure is damaged beyond
// that is named damaged.
void CNsfFile::ReadDatabaseRow(const std::string& path) {
    const std::string foreign = "not a Notes database file: " + path;
    try {
        CStatement s(handle.Get(), "SELECT title, replicaId, schemaVersion FROM nsf_database");
        if (!s.Step() || s.Int(2) != kSchemaVersion) throw CNsfError(foreign);
        title = s.Blob(0);
        replicaId = BlobTime(s.Blob(1));
    } catch (const CNsfError&) {
        if (sqlite3_errcode(handle.Get()) != SQLITE_CORRUPT) throw CNsfError(foreign);
        if (!HoldsNotesTable()) throw CNsfError("the Notes database file " + path + " is damaged beyond reading");
    }
}

bool CNsfFile::HoldsNotesTable() {
    try {
        CStatement s(handle.Get(), "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'notes'");
        return s.Step();
    } catch (const CNsfError&) {
        return false;
    }
}

std::optional<CNoteRow> CNsfFile::ReadNote(NOTEID id) {
    std::lock_guard<std::mutex> guard(lock);
    try {
        return NoteRow(id);
    } catch (const CNoteUnreadable&) {
        throw;
    } catch (const CNsfError& damage) {
        throw CNoteUnreadable(NoteName(id) + ": " + damage.what(), ERR_NOTE_DAMAGED);
    }
}

namespace {

// A note without its items from the columns unid, noteClass, created,
// modified, encrypted and signed of a notes row, starting at column `first`.
CNoteRow NoteHeader(const CStatement& s, NOTEID id, int first) {
    CNoteRow note;
    note.id = id;
    note.unid = BlobUnid(s.Blob(first));
    note.noteClass = static_cast<int>(s.Int(first + 1));
    note.created = BlobTime(s.Blob(first + 2));
    note.modified = BlobTime(s.Blob(first + 3));
    note.encrypted = s.Int(first + 4) != 0;
    note.isSigned = s.Int(first + 5) != 0;
    return note;
}

}  // namespace

// The items of a note, and those of the notes after it: the caller stops at
// the next note. An item row keeps its value in the table's key (the table
// has no rowids), so a query bounded above (noteId = ?) would compare every
// row, value and all, against that bound at each step; a scan bounded only
// below reads each value once.
constexpr const char* kItemsFrom = "SELECT noteId, name, flags, value FROM items WHERE noteId >= ? ORDER BY noteId, seq";

std::optional<CNoteRow> CNsfFile::NoteRow(NOTEID id) {
    CStatement s(*statements,
                 "SELECT unid, noteClass, created, modified, encrypted, signed FROM notes WHERE noteId = ?");
    s.Bind(1, id);
    if (!s.Step()) {
        if (HasItems(id)) throw CNoteUnreadable(NoteName(id) + ": its note record is missing", ERR_NOTE_DAMAGED);
        return std::nullopt;
    }
    CNoteRow note = NoteHeader(s, id, 0);
    CStatement items(*statements, kItemsFrom);
    items.Bind(1, id);
    while (items.Step() && items.Int(0) == id)
        note.items.push_back({items.Blob(1), static_cast<WORD>(items.Int(2)), items.Blob(3)});
    return note;
}

// Two queries for a page of notes: the notes, then the items of the names
// asked for, in one scan from the page's first note that stops after its
// last; the items of the other names (bodies above all) are never read.
std::optional<std::vector<CNoteRow>> CNsfFile::ReadNotesWith(NOTEID from, size_t most,
                                                             const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<CNoteRow> notes;
    CStatement page(*statements,
                    "SELECT noteId, unid, noteClass, created, modified, encrypted, signed FROM notes "
                    "WHERE noteId >= ? ORDER BY noteId LIMIT ?");
    page.Bind(1, static_cast<int64_t>(from));
    page.Bind(2, static_cast<int64_t>(most));
    while (page.Step()) notes.push_back(NoteHeader(page, static_cast<NOTEID>(page.Int(0)), 1));
    if (notes.empty()) return notes;
    std::string among;
    for (size_t i = 0; i < names.size(); ++i) among += i ? ",?" : "?";
    const std::string sql = "SELECT noteId, name, flags, value FROM items WHERE noteId >= ? AND name IN (" + among +
                            ") ORDER BY noteId, seq";
    CStatement items(handle.Get(), sql.c_str());  // prepared once a page, not cached
    items.Bind(1, static_cast<int64_t>(notes.front().id));
    for (size_t i = 0; i < names.size(); ++i) items.Bind(static_cast<int>(i + 2), names[i]);
    auto note = notes.begin();
    while (items.Step()) {
        const auto id = static_cast<NOTEID>(items.Int(0));
        if (id > notes.back().id) break;
        while (note->id < id) ++note;
        if (note->id == id) note->items.push_back({items.Blob(1), static_cast<WORD>(items.Int(2)), items.Blob(3)});
    }
    return notes;
}

bool CNsfFile::HasItems(NOTEID id) {
    CStatement s(*statements, "SELECT 1 FROM items WHERE noteId = ? LIMIT 1");
    s.Bind(1, id);
    return s.Step();
}

std::vector<NOTEID> CNsfFile::NoteIds(int noteClass) {
    std::lock_guard<std::mutex> guard(lock);
    return IdsOfClass(noteClass);
}

std::vector<NOTEID> CNsfFile::IdsOfClass(int noteClass) {
    try {
        CStatement s(*statements, "SELECT noteId FROM notes WHERE noteClass = ? ORDER BY noteId");
        s.Bind(1, noteClass);
        std::vector<NOTEID> ids;
        while (s.Step()) ids.push_back(static_cast<NOTEID>(s.Int(0)));
        return ids;
    } catch (const CNsfError&) {
        return RecoveredIds(noteClass);
    }
}

// The notes table cannot be read through: its readable rows of the class,
// and for documents also the notes that items and view entries name whose
// own row is lost, so that reading them names the damage.
std::vector<NOTEID> CNsfFile::RecoveredIds(int noteClass) {
    struct CClassRow {
        NOTEID id;
        int noteClass;
    };
    auto rows = WalkPastDamage<CClassRow>([&](int64_t from) -> CSeekResult<CClassRow> {
        CStatement s(*statements, "SELECT noteId, noteClass FROM notes WHERE noteId >= ? ORDER BY noteId LIMIT 1");
        s.Bind(1, from);
        if (!s.Step()) return std::nullopt;
        return std::make_pair(s.Int(0), CClassRow{static_cast<NOTEID>(s.Int(0)), static_cast<int>(s.Int(1))});
    });
    std::set<NOTEID> known, ids;
    for (const auto& row : rows) {
        known.insert(row.id);
        if (row.noteClass == noteClass) ids.insert(row.id);
    }
    if (noteClass == kClassDocument)
        for (NOTEID id : NamedNoteIds())
            if (!known.count(id) && IsLostDocument(id)) ids.insert(id);
    return {ids.begin(), ids.end()};
}

std::set<NOTEID> CNsfFile::NamedNoteIds() {
    auto owners = WalkPastDamage<NOTEID>([&](int64_t from) -> CSeekResult<NOTEID> {
        CStatement s(*statements, "SELECT noteId FROM items WHERE noteId >= ? ORDER BY noteId LIMIT 1");
        s.Bind(1, from);
        if (!s.Step()) return std::nullopt;
        return std::make_pair(s.Int(0), static_cast<NOTEID>(s.Int(0)));
    });
    std::set<NOTEID> named(owners.begin(), owners.end());
    for (const auto& view : StoredViews())
        for (const auto& entry : view.entries)
            if (entry.noteId != 0) named.insert(entry.noteId);
    return named;
}

// A note whose row cannot be read is taken for a document (forms and views
// hold no items and no view lists them); one without a row counts only when
// it has items.
bool CNsfFile::IsLostDocument(NOTEID id) {
    try {
        CStatement s(*statements, "SELECT noteClass FROM notes WHERE noteId = ?");
        s.Bind(1, id);
        if (s.Step()) return s.Int(0) == kClassDocument;
        return HasItems(id);
    } catch (const CNsfError&) {
        return true;
    }
}

std::vector<CViewEntry> CNsfFile::ReadEntries(NOTEID view) {
    try {
        CStatement s(*statements, "SELECT noteId, unread FROM viewEntries WHERE viewNoteId = ? ORDER BY seq");
        s.Bind(1, view);
        std::vector<CViewEntry> entries;
        while (s.Step())
            if (auto entry = EntryOf(s, 0, 1)) entries.push_back(*entry);
        return entries;
    } catch (const CNsfError&) {
    }
    using CMaybeEntry = std::optional<CViewEntry>;
    auto walked = WalkPastDamage<CMaybeEntry>([&](int64_t from) -> CSeekResult<CMaybeEntry> {
        CStatement s(*statements,
                     "SELECT seq, noteId, unread FROM viewEntries WHERE viewNoteId = ? AND seq >= ? "
                     "ORDER BY seq LIMIT 1");
        s.Bind(1, view).Bind(2, from);
        if (!s.Step()) return std::nullopt;
        return std::make_pair(s.Int(0), EntryOf(s, 1, 2));
    });
    std::vector<CViewEntry> entries;
    for (const auto& entry : walked)
        if (entry) entries.push_back(*entry);
    return entries;
}

// Views and folders with their entries, in database order; when the table
// of views is damaged or missing, those that can still be read.
std::vector<CViewRow> CNsfFile::StoredViews() {
    std::vector<CViewRow> views;
    try {
        CStatement s(*statements, "SELECT noteId, name, isFolder, viewType FROM views ORDER BY position");
        while (s.Step()) views.push_back(ViewOf(s));
    } catch (const CNsfError&) {
        views = RecoveredViews();
    }
    for (auto& v : views) v.entries = ReadEntries(v.id);
    return views;
}

std::vector<CViewRow> CNsfFile::RecoveredViews() {
    using CPlaced = std::pair<int64_t, CViewRow>;
    auto placed = WalkPastDamage<CPlaced>([&](int64_t from) -> CSeekResult<CPlaced> {
        CStatement s(*statements,
                     "SELECT noteId, name, isFolder, viewType, position FROM views WHERE noteId >= ? ORDER BY noteId "
                     "LIMIT 1");
        s.Bind(1, from);
        if (!s.Step()) return std::nullopt;
        return std::make_pair(s.Int(0), CPlaced{s.Int(4), ViewOf(s)});
    });
    std::stable_sort(placed.begin(), placed.end(),
                     [](const CPlaced& a, const CPlaced& b) { return a.first < b.first; });
    std::vector<CViewRow> views;
    for (auto& p : placed) views.push_back(std::move(p.second));
    return views;
}

std::vector<CViewRow> CNsfFile::ViewsWithUnfiled() {
    std::vector<CViewRow> views = StoredViews();
    AddUnfiledFolder(views, IdsOfClass(kClassDocument));
    return views;
}

std::vector<CViewRow> CNsfFile::ReadViews(bool withEntries) {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<CViewRow> views = ViewsWithUnfiled();
    if (!withEntries)
        for (auto& v : views) v.entries.clear();
    return views;
}

std::optional<CViewRow> CNsfFile::ReadView(NOTEID id) {
    std::lock_guard<std::mutex> guard(lock);
    if (id == kUnfiledFolderId) {
        for (auto& v : ViewsWithUnfiled())
            if (v.id == id) return std::move(v);
        return std::nullopt;
    }
    CStatement s(*statements, "SELECT noteId, name, isFolder, viewType FROM views WHERE noteId = ?");
    s.Bind(1, id);
    if (!s.Step()) return std::nullopt;
    CViewRow view = ViewOf(s);
    view.entries = ReadEntries(id);
    return view;
}

std::vector<CFormRow> CNsfFile::FormRows() {
    std::vector<CFormRow> forms;
    try {
        CStatement s(*statements, "SELECT noteId, name FROM forms ORDER BY noteId");
        while (s.Step()) forms.push_back({static_cast<NOTEID>(s.Int(0)), s.Blob(1), {}});
        return forms;
    } catch (const CNsfError&) {
    }
    return WalkPastDamage<CFormRow>([&](int64_t from) -> CSeekResult<CFormRow> {
        CStatement s(*statements, "SELECT noteId, name FROM forms WHERE noteId >= ? ORDER BY noteId LIMIT 1");
        s.Bind(1, from);
        if (!s.Step()) return std::nullopt;
        return std::make_pair(s.Int(0), CFormRow{static_cast<NOTEID>(s.Int(0)), s.Blob(1), {}});
    });
}

std::vector<CFormField> CNsfFile::FormFields(NOTEID form) {
    try {
        CStatement s(*statements, "SELECT name, type FROM formFields WHERE formNoteId = ? ORDER BY seq");
        s.Bind(1, form);
        std::vector<CFormField> fields;
        while (s.Step()) fields.push_back({s.Blob(0), static_cast<int>(s.Int(1))});
        return fields;
    } catch (const CNsfError&) {
    }
    return WalkPastDamage<CFormField>([&](int64_t from) -> CSeekResult<CFormField> {
        CStatement s(*statements,
                     "SELECT seq, name, type FROM formFields WHERE formNoteId = ? AND seq >= ? ORDER BY seq LIMIT 1");
        s.Bind(1, form).Bind(2, from);
        if (!s.Step()) return std::nullopt;
        return std::make_pair(s.Int(0), CFormField{s.Blob(1), static_cast<int>(s.Int(2))});
    });
}

std::vector<CFormRow> CNsfFile::ReadForms() {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<CFormRow> forms = FormRows();
    for (auto& form : forms) form.fields = FormFields(form.id);
    return forms;
}

std::optional<CFormRow> CNsfFile::ReadForm(const std::string& name) {
    std::lock_guard<std::mutex> guard(lock);
    std::optional<CFormRow> form;
    try {
        CStatement s(*statements, "SELECT noteId FROM forms WHERE name = ?");
        s.Bind(1, name);
        if (s.Step()) form = CFormRow{static_cast<NOTEID>(s.Int(0)), name, {}};
    } catch (const CNsfError&) {
        for (auto& row : FormRows())
            if (row.name == name) form = std::move(row);
    }
    if (form) form->fields = FormFields(form->id);
    return form;
}

std::optional<std::string> CNsfFile::ReadObject(const CFileObject& file) {
    std::string data;
    if (!CopyObject(file, [&data](std::string_view piece) { data.append(piece); })) return std::nullopt;
    return data;
}

// Bytes short of the size the $FILE item states would be saved as a cut-off
// file: they count as damage, as a real NSF file's do.
bool CNsfFile::CopyObject(const CFileObject& file, const std::function<void(std::string_view)>& sink) {
    std::lock_guard<std::mutex> guard(lock);
    // Read through the blob interface a piece at a time: a column value would
    // be copied out of the database pages whole first.
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(handle.Get(), "main", "objects", "data", file.rrv, 0, &blob);
    std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)> closer(blob, sqlite3_blob_close);
    if (rc == SQLITE_ERROR && sqlite3_extended_errcode(handle.Get()) == SQLITE_ERROR) return false;  // no row
    auto unreadable = [&] {
        return CNoteUnreadable(AttachmentName(file) + ": database access failed: " + sqlite3_errmsg(handle.Get()),
                               ERR_OBJECT_DAMAGED);
    };
    if (rc != SQLITE_OK) throw unreadable();
    const int size = sqlite3_blob_bytes(blob);
    if (static_cast<uint64_t>(size) < file.fileSize)
        throw CNoteUnreadable(AttachmentName(file) + ": its data is shorter than its size", ERR_OBJECT_DAMAGED);
    constexpr int kPiece = 1 << 20;
    std::unique_ptr<char[]> piece(new char[static_cast<size_t>(std::min(size, kPiece))]);
    for (int at = 0; at < size; at += kPiece) {
        const int n = std::min(kPiece, size - at);
        if (sqlite3_blob_read(blob, piece.get(), n, at) != SQLITE_OK) throw unreadable();
        sink(std::string_view(piece.get(), static_cast<size_t>(n)));
    }
    return true;
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

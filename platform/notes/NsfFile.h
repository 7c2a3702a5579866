// The Notes database file: a SQLite file holding the database's title and
// replica ID, its notes (documents, forms, views and folders) with their
// items in Notes' canonical encodings, the $FILE objects, the form fields
// in order and the ordered view entries. Reading a note is one indexed
// look-up by note ID; opening the file reads only the database row.
// The schema is described in docs/nsfdb.md.
#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/notes/NotesTypes.h"

struct sqlite3;

namespace notes {

enum ENoteClass : int { kClassDocument = 0x0001, kClassForm = 0x0004, kClassView = 0x0008 };

struct CItemRow {
    std::string name;   // LMBCS
    WORD flags = 0;
    std::string raw;    // value with its data-type word
};

struct CNoteRow {
    NOTEID id = 0;
    UNID unid{};
    int noteClass = kClassDocument;
    TIMEDATE created{}, modified{};
    bool encrypted = false;
    bool isSigned = false;
    std::vector<CItemRow> items;
};

struct CFormField {
    std::string name;   // LMBCS
    int type = 0;
};

struct CFormRow {
    NOTEID id = 0;
    std::string name;   // LMBCS
    std::vector<CFormField> fields;
};

struct CViewEntry {
    NOTEID noteId = 0;  // 0 = null entry
    bool unread = false;
};

struct CViewRow {
    NOTEID id = 0;
    std::string name;   // LMBCS
    bool folder = false;
    int type = 0;
    std::vector<CViewEntry> entries;
};

struct CNsfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class CSqliteHandle {
public:
    CSqliteHandle(const std::string& path, bool create);
    ~CSqliteHandle();
    CSqliteHandle(const CSqliteHandle&) = delete;
    CSqliteHandle& operator=(const CSqliteHandle&) = delete;
    sqlite3* Get() const { return db; }
    void Exec(const char* sql);

private:
    sqlite3* db = nullptr;
};

class CStatementCache;

// Read access; thread-safe (one connection guarded by a mutex).
class CNsfFile {
public:
    // Throws CNsfError when the file is missing or not a Notes database file.
    explicit CNsfFile(const std::string& path);
    ~CNsfFile();

    std::string Title() const { return title; }
    DBID ReplicaId() const { return replicaId; }
    std::optional<CNoteRow> ReadNote(NOTEID id);
    std::vector<NOTEID> NoteIds(int noteClass);
    // Views and folders in database order; entries only when asked.
    std::vector<CViewRow> ReadViews(bool withEntries);
    std::optional<CViewRow> ReadView(NOTEID id);
    std::vector<CFormRow> ReadForms();
    std::optional<CFormRow> ReadForm(const std::string& name);
    std::optional<std::string> ReadObject(DWORD rrv);

private:
    std::vector<CViewEntry> ReadEntries(NOTEID view);
    std::mutex lock;
    CSqliteHandle handle;
    // The read queries, prepared once per file; declared after the handle so
    // that they are finalized before the connection closes.
    std::unique_ptr<CStatementCache> statements;
    std::string title;
    DBID replicaId{};
};

// Writes a new database file in one transaction.
class CNsfWriter {
public:
    explicit CNsfWriter(const std::string& path);
    void SetDatabase(const std::string& title, const DBID& replicaId);
    void AddNote(const CNoteRow& note);
    void AddObject(DWORD rrv, NOTEID owner, const std::string& data);
    void AddForm(const CFormRow& form, const UNID& unid);
    void AddView(const CViewRow& view, const UNID& unid, int position);
    void Commit();

private:
    CSqliteHandle handle;
};

}  // namespace notes

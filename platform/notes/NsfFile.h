// The Notes database file: a SQLite file holding the database's title and
// replica ID, its notes (documents, forms, views and folders) with their
// items in Notes' canonical encodings, the $FILE objects, the form fields
// in order and the ordered view entries. Reading a note is one indexed
// look-up by note ID; opening the file reads only the database row.
// The schema is described in docs/nsfdb.md.
//
// Damage costs only what it hits: a note whose rows cannot be read fails
// alone (ERR_NOTE_DAMAGED with the reason), attachment bytes that cannot be
// read or fall short of their size fail alone (ERR_OBJECT_DAMAGED), tables
// with damaged pages are read past the damage, and the documents that no
// readable view or folder but "($All)" lists are the entries of one more
// folder, kUnfiledFolderName, so that no document is left out.
#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/notes/NotesSource.h"

struct sqlite3;

namespace notes {

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
class CNsfFile : public CNotesSource {
public:
    // Throws CNsfError when the file is missing or not a Notes database file.
    explicit CNsfFile(const std::string& path);
    ~CNsfFile() override;

    std::string Title() const override { return title; }
    DBID ReplicaId() const override { return replicaId; }
    std::optional<CNoteRow> ReadNote(NOTEID id) override;
    std::vector<NOTEID> NoteIds(int noteClass) override;
    std::vector<CViewRow> ReadViews(bool withEntries) override;
    std::optional<CViewRow> ReadView(NOTEID id) override;
    std::vector<CFormRow> ReadForms() override;
    std::optional<CFormRow> ReadForm(const std::string& name) override;
    std::optional<std::string> ReadObject(const CFileObject& file) override;
    bool CopyObject(const CFileObject& file, const std::function<void(std::string_view)>& sink) override;
    std::optional<std::vector<CNoteRow>> ReadNotesWith(NOTEID from, size_t most,
                                                       const std::vector<std::string>& names) override;
    // The file holds every item in the clear: sealed items are only hidden.
    bool CanDecrypt() const override { return true; }

private:
    void ReadDatabaseRow(const std::string& path);
    bool HoldsNotesTable();
    std::optional<CNoteRow> NoteRow(NOTEID id);
    bool HasItems(NOTEID id);
    std::vector<NOTEID> IdsOfClass(int noteClass);
    std::vector<NOTEID> RecoveredIds(int noteClass);
    std::set<NOTEID> NamedNoteIds();
    bool IsLostDocument(NOTEID id);
    std::vector<CViewEntry> ReadEntries(NOTEID view);
    std::vector<CViewRow> StoredViews();
    std::vector<CViewRow> RecoveredViews();
    std::vector<CViewRow> ViewsWithUnfiled();
    std::vector<CFormRow> FormRows();
    std::vector<CFormField> FormFields(NOTEID form);

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

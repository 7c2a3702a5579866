// Session, database and view/folder classes of the Notes stand-in.
//
// Conventions of all LN classes:
// - Operations that return LNSTATUS report their failure in that status and
//   do not throw. Operations that return a value throw the LNSTATUS of a
//   failure (catch (LNSTATUS s)).
// - Text is Notes text (LNString, LMBCS bytes); file-system paths given to
//   GetDatabase are in the system ANSI code page.
// - LN objects are handles: copies refer to the same database, view or note.
#pragma once
#include <memory>
#include <vector>

#include "platform/notes/LNErrors.h"
#include "platform/notes/LNString.h"

namespace notes {
struct CDatabaseState;
struct CViewState;
}

class LNDatabase;
class LNDocument;
class LNViewFolder;

// Flags of LNViewFolder::Open (accepted and ignored: the stand-in has no
// index to rebuild).
using LNVFOPENFLAGS = DWORD;
constexpr LNVFOPENFLAGS LNVFOPENFLAGS_DEFAULT = 0;

class LNNotesSession {
public:
    // Once per program; apiVersion 800. Further calls are harmless.
    LNSTATUS Initialize(int argc = 0, char** argv = nullptr, LNINT apiVersion = 800);
    // Around every thread that reads Notes.
    LNSTATUS InitThread();
    LNSTATUS TermThread();
    // Binds db to the database file at path (ANSI). server empty or null =
    // local; any other server name is not reachable here and gives
    // ERR_NOEXIST. A missing file gives ERR_NOEXIST; the file is read on Open.
    LNSTATUS GetDatabase(const char* path, LNDatabase* db, const char* server = nullptr);
    LNSTATUS Term();
    bool IsInitialized() const;
};

class LNDatabase {
public:
    LNDatabase();
    ~LNDatabase();
    LNDatabase(const LNDatabase&);
    LNDatabase& operator=(const LNDatabase&);

    LNSTATUS Open(DWORD flags = 0);
    LNSTATUS Close();
    bool IsOpen() const;
    bool IsNull() const;

    LNSTATUS GetViewFolder(LNNOTEID noteId, LNViewFolder* view);
    // All views and folders in database order (includeFolders: 1 = views and
    // folders, 0 = views only).
    LNSTATUS GetViewFolders(std::vector<LNViewFolder>* views, LNINT includeFolders = 1);
    bool ViewFolderExists(const LNString& name) const;
    LNSTATUS GetDocument(LNNOTEID noteId, LNDocument* doc);
    // Every document of the database in note-ID order (unopened).
    LNSTATUS GetDocuments(std::vector<LNDocument>* docs);
    // Handle for the HTML conversion functions, valid while open.
    DBHANDLE GetDatabaseHandle() const;

    LNString GetTitle() const;
    DBID GetReplicaID() const;
    LNString GetFilePath() const;  // ANSI

    // Internal: the state behind the handle.
    const std::shared_ptr<notes::CDatabaseState>& State() const { return state; }

private:
    friend class LNNotesSession;
    std::shared_ptr<notes::CDatabaseState> state;
};

class LNVFEntry {
public:
    // A null entry: a position of the view without a document.
    bool IsNull() const { return noteId == 0; }
    bool IsUnread() const { return unread; }
    LNNOTEID GetNoteID() const { return noteId; }
    LNSTATUS GetDocument(LNDocument* doc) const;

private:
    friend class LNViewFolder;
    std::shared_ptr<notes::CDatabaseState> db;
    LNNOTEID noteId = 0;
    bool unread = false;
};

class LNViewFolder {
public:
    LNViewFolder();
    ~LNViewFolder();
    LNViewFolder(const LNViewFolder&);
    LNViewFolder& operator=(const LNViewFolder&);

    LNSTATUS Open(LNVFOPENFLAGS flags = 0);
    LNSTATUS Close();
    bool IsOpen() const;
    bool IsNull() const;
    // Entry count; also available on a view that is not open.
    LNINT GetEntryCount() const;
    // Entry i (0-based); throws ERR_RANGE outside 0..count-1.
    LNVFEntry operator[](LNINT index) const;
    LNString GetName() const;
    bool IsFolder() const;
    LNINT GetType() const;     // view type code (0 = standard outline)
    LNNOTEID GetNoteID() const;

private:
    friend class LNDatabase;
    std::shared_ptr<notes::CViewState> state;
    bool openHere = false;
};

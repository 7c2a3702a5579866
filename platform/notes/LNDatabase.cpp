#include "platform/notes/LNDatabase.h"

#include <atomic>

#include "platform/notes/LNNote.h"
#include "platform/notes/NotesState.h"
#include "platform/sys/Text.h"

using notes::CDatabaseState;
using notes::CViewState;

namespace {
std::atomic<int> sessionCount{0};
}

LNSTATUS LNNotesSession::Initialize(int, char**, LNINT) {
    ++sessionCount;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::InitThread() { return sessionCount > 0 ? LNNOERROR : ERR_NOT_INIT; }
LNSTATUS LNNotesSession::TermThread() { return LNNOERROR; }

LNSTATUS LNNotesSession::Term() {
    int n = sessionCount.load();
    while (n > 0 && !sessionCount.compare_exchange_weak(n, n - 1)) {}
    return LNNOERROR;
}

bool LNNotesSession::IsInitialized() const { return sessionCount > 0; }

LNSTATUS LNNotesSession::GetDatabase(const char* path, LNDatabase* db, const char* server) {
    if (!db || !path) return ERR_BAD_PARAM;
    if (sessionCount <= 0) return ERR_NOT_INIT;
    if (server && *server) return ERR_NOEXIST;
    auto state = std::make_shared<CDatabaseState>();
    state->path = sys::Utf16ToUtf8(sys::AnsiToUtf16(path));
    db->state = state;
    FILE* probe = std::fopen(state->path.c_str(), "rb");
    if (!probe) return ERR_NOEXIST;
    std::fclose(probe);
    return LNNOERROR;
}

LNDatabase::LNDatabase() = default;
LNDatabase::~LNDatabase() = default;
LNDatabase::LNDatabase(const LNDatabase&) = default;
LNDatabase& LNDatabase::operator=(const LNDatabase&) = default;

bool LNDatabase::IsNull() const { return !state; }

LNSTATUS LNDatabase::Open(DWORD) {
    if (!state) return ERR_NOEXIST;
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->openCount > 0) {
        ++state->openCount;
        return LNNOERROR;
    }
    try {
        state->file = notes::OpenNotesSource(state->path);
    } catch (const notes::CNsfError&) {
        FILE* probe = std::fopen(state->path.c_str(), "rb");
        if (!probe) return ERR_NOEXIST;
        std::fclose(probe);
        return ERR_DB_CORRUPT;
    }
    state->handle = notes::RegisterDatabase(state);
    state->openCount = 1;
    return LNNOERROR;
}

LNSTATUS LNDatabase::Close() {
    if (!state) return LNNOERROR;
    std::lock_guard<std::mutex> guard(state->lock);
    if (state->openCount > 0 && --state->openCount == 0) {
        notes::ReleaseDatabase(state->handle);
        state->handle = 0;
        state->file.reset();
    }
    return LNNOERROR;
}

bool LNDatabase::IsOpen() const { return state && state->file != nullptr; }

DBHANDLE LNDatabase::GetDatabaseHandle() const { return state ? state->handle : NULLHANDLE; }

LNString LNDatabase::GetTitle() const {
    if (!IsOpen()) throw static_cast<LNSTATUS>(ERR_DB_NOT_OPEN);
    return LNString(state->file->Title());
}

DBID LNDatabase::GetReplicaID() const {
    if (!IsOpen()) throw static_cast<LNSTATUS>(ERR_DB_NOT_OPEN);
    return state->file->ReplicaId();
}

LNString LNDatabase::GetFilePath() const {
    return state ? LNString(sys::Utf16ToAnsi(sys::Utf8ToUtf16(state->path))) : LNString();
}

LNSTATUS LNDatabase::GetViewFolder(LNNOTEID noteId, LNViewFolder* view) {
    if (!view) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_DB_NOT_OPEN;
    try {
        auto row = state->file->ReadView(noteId);
        if (!row) return ERR_NOT_VIEW;
        auto vs = std::make_shared<CViewState>();
        vs->db = state;
        vs->row = std::move(*row);
        view->Close();
        view->state = vs;
        return LNNOERROR;
    } catch (const notes::CNsfError&) {
        return ERR_DB_CORRUPT;
    }
}

LNSTATUS LNDatabase::GetViewFolders(std::vector<LNViewFolder>* views, LNINT includeFolders) {
    if (!views) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_DB_NOT_OPEN;
    try {
        views->clear();
        for (auto& row : state->file->ReadViews(true)) {
            if (row.folder && !includeFolders) continue;
            auto vs = std::make_shared<CViewState>();
            vs->db = state;
            vs->row = std::move(row);
            LNViewFolder v;
            v.state = vs;
            views->push_back(v);
        }
        return LNNOERROR;
    } catch (const notes::CNsfError&) {
        return ERR_DB_CORRUPT;
    }
}

bool LNDatabase::ViewFolderExists(const LNString& name) const {
    if (!IsOpen()) return false;
    try {
        for (const auto& row : state->file->ReadViews(false))
            if (row.name == name.GetBytes()) return true;
    } catch (const notes::CNsfError&) {
    }
    return false;
}

LNSTATUS LNDatabase::GetDocument(LNNOTEID noteId, LNDocument* doc) {
    if (!doc) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_DB_NOT_OPEN;
    if (noteId == 0) return ERR_INVALID_NOTE;
    auto ref = std::make_shared<notes::CNoteRef>();
    ref->db = state;
    ref->id = noteId;
    doc->Bind(ref);
    return LNNOERROR;
}

LNSTATUS LNDatabase::GetDocuments(std::vector<LNDocument>* docs) {
    if (!docs) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_DB_NOT_OPEN;
    docs->clear();
    std::vector<NOTEID> ids;
    try {
        ids = state->file->NoteIds(notes::kClassDocument);
    } catch (const notes::CNsfError&) {
        return ERR_DB_CORRUPT;
    }
    for (NOTEID id : ids) {
        LNDocument doc;
        GetDocument(id, &doc);
        docs->push_back(doc);
    }
    return LNNOERROR;
}

LNSTATUS LNVFEntry::GetDocument(LNDocument* doc) const {
    if (!doc) return ERR_BAD_PARAM;
    if (!db || noteId == 0) return ERR_INVALID_NOTE;
    auto ref = std::make_shared<notes::CNoteRef>();
    ref->db = db;
    ref->id = noteId;
    doc->Bind(ref);
    return LNNOERROR;
}

LNViewFolder::LNViewFolder() = default;
LNViewFolder::~LNViewFolder() { Close(); }
LNViewFolder::LNViewFolder(const LNViewFolder& other) : state(other.state) {}
LNViewFolder& LNViewFolder::operator=(const LNViewFolder& other) {
    if (this != &other) {
        Close();
        state = other.state;
    }
    return *this;
}

bool LNViewFolder::IsNull() const { return !state; }

LNSTATUS LNViewFolder::Open(LNVFOPENFLAGS) {
    if (!state) return ERR_NOT_VIEW;
    if (!state->db->file) return ERR_DB_NOT_OPEN;
    if (!openHere) {
        openHere = true;
        ++state->openCount;
    }
    return LNNOERROR;
}

LNSTATUS LNViewFolder::Close() {
    if (state && openHere) {
        openHere = false;
        --state->openCount;
    }
    return LNNOERROR;
}

bool LNViewFolder::IsOpen() const { return state && state->openCount > 0; }

LNINT LNViewFolder::GetEntryCount() const {
    return state ? static_cast<LNINT>(state->row.entries.size()) : 0;
}

LNVFEntry LNViewFolder::operator[](LNINT index) const {
    if (!state || index < 0 || index >= GetEntryCount()) throw static_cast<LNSTATUS>(ERR_RANGE);
    LNVFEntry entry;
    entry.db = state->db;
    entry.noteId = state->row.entries[static_cast<size_t>(index)].noteId;
    entry.unread = state->row.entries[static_cast<size_t>(index)].unread;
    return entry;
}

LNString LNViewFolder::GetName() const {
    if (!state) throw static_cast<LNSTATUS>(ERR_NOT_VIEW);
    return LNString(state->row.name);
}

bool LNViewFolder::IsFolder() const { return state && state->row.folder; }
LNINT LNViewFolder::GetType() const { return state ? state->row.type : 0; }
LNNOTEID LNViewFolder::GetNoteID() const { return state ? state->row.id : 0; }

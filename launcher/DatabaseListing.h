// What the conversion report accounts for: every document of the database
// (note ID, UNID, form, subject; or why it cannot be read), also those whose
// record is lost but that views still list, its design notes (forms, views
// and folders) and which views and folders list which documents, read
// through the Notes stand-in's source of the file.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct CListedNote {
    uint32_t noteId = 0;
    std::string unid;        // 32 hexadecimal digits; empty when unreadable
    std::string form;        // UTF-8; for design notes "(form)", "(view)" or "(folder)"
    std::string subject;     // UTF-8; for design notes the design name
    std::string unreadable;  // why the note cannot be read; empty when it can
};

struct CListedView {
    uint32_t noteId = 0;
    std::string name;  // UTF-8 Notes name, "($Inbox)"
    bool folder = false;
    // The note IDs of its documents, each once, in ascending order (which
    // documents a view lists, not where).
    std::vector<uint32_t> entries;
};

namespace notes {
class CNotesSource;
}

struct CDatabaseListing {
    // The documents: those held here, in note-ID order, or (from a database)
    // only their note IDs, each read from `source` when it is visited, so
    // that a listing of any size costs four bytes a document.
    std::vector<CListedNote> documents;
    std::vector<uint32_t> documentIds;
    std::shared_ptr<notes::CNotesSource> source;
    std::vector<CListedNote> designNotes;  // forms, then views and folders
    std::vector<CListedView> views;
    std::string viewsUnreadable;           // why the views cannot be read; empty when they can

    // Visits every document in note-ID order.
    void ForEachDocument(const std::function<void(const CListedNote&)>& visit) const;
};

// Lists the database at path (UTF-8). Throws notes::CNsfError when the file
// cannot be opened or its documents cannot be enumerated.
CDatabaseListing ListDatabase(const std::string& path);

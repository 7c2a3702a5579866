#include "launcher/DatabaseListing.h"

#include <algorithm>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/NotesSource.h"
#include "platform/sys/Text.h"

namespace {

std::string Utf8OfLmbcs(const std::string& lmbcs) { return sys::Utf16ToUtf8(sys::LmbcsToUtf16(lmbcs)); }

// The first text value of the first item of that name.
std::string TextItem(const notes::CNoteRow& note, const char* name) {
    for (const notes::CItemRow& item : note.items) {
        if (item.name != name) continue;
        auto values = notes::DecodeTextValues(item.raw);
        if (values && !values->empty()) return Utf8OfLmbcs(values->front());
    }
    return {};
}

// What names the document to a reader of the report: its subject, or the
// name of a person, group or calendar entry that has none.
std::string Title(const notes::CNoteRow& note) {
    for (const char* name : {"Subject", "FullName", "ListName", "CompanyName"}) {
        std::string text = TextItem(note, name);
        if (!text.empty()) return text;
    }
    return {};
}

CListedNote ListDocument(notes::CNotesSource& source, NOTEID id) {
    CListedNote listed;
    listed.noteId = id;
    try {
        auto note = source.ReadNote(id);
        if (!note) {
            listed.unreadable = "the note cannot be found";
            return listed;
        }
        listed.unid = notes::UnidText(note->unid);
        listed.form = TextItem(*note, "Form");
        listed.subject = Title(*note);
    } catch (const notes::CNsfError& error) {
        listed.unreadable = error.what();
    }
    return listed;
}

// A design note by its note ID, with the UNID of its note when it has one.
CListedNote DesignNote(notes::CNotesSource& source, NOTEID id, const char* kind, std::string name) {
    CListedNote listed{id, {}, kind, std::move(name), {}};
    try {
        if (auto note = source.ReadNote(id)) listed.unid = notes::UnidText(note->unid);
    } catch (const notes::CNsfError& error) {
        listed.unreadable = error.what();
    }
    return listed;
}

void ListViews(notes::CNotesSource& source, CDatabaseListing& listing) {
    try {
        for (const notes::CViewRow& row : source.ReadViews(true)) {
            CListedView view{row.id, Utf8OfLmbcs(row.name), row.folder, {}};
            view.entries.reserve(row.entries.size());
            for (const notes::CViewEntry& entry : row.entries)
                if (entry.noteId != 0) view.entries.push_back(entry.noteId);
            std::sort(view.entries.begin(), view.entries.end());
            view.entries.erase(std::unique(view.entries.begin(), view.entries.end()), view.entries.end());
            // The folder of documents that no folder lists has no note of its own.
            if (row.id != notes::kUnfiledFolderId)
                listing.designNotes.push_back(DesignNote(source, row.id, row.folder ? "(folder)" : "(view)", view.name));
            listing.views.push_back(std::move(view));
        }
    } catch (const notes::CNsfError& error) {
        listing.viewsUnreadable = error.what();
    }
}

// Notes that views list but the database does not list among its documents
// (their own record is lost): they are documents to account for as well.
void ListNamedNotes(CDatabaseListing& listing) {
    std::vector<uint32_t>& ids = listing.documentIds;
    std::sort(ids.begin(), ids.end());
    std::vector<uint32_t> design;
    for (const CListedNote& note : listing.designNotes) design.push_back(note.noteId);
    std::sort(design.begin(), design.end());
    std::vector<uint32_t> named;
    for (const CListedView& view : listing.views)
        for (uint32_t id : view.entries)
            if (!std::binary_search(ids.begin(), ids.end(), id) && !std::binary_search(design.begin(), design.end(), id))
                named.push_back(id);
    ids.insert(ids.end(), named.begin(), named.end());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

}  // namespace

void CDatabaseListing::ForEachDocument(const std::function<void(const CListedNote&)>& visit) const {
    for (const CListedNote& note : documents) visit(note);
    for (uint32_t id : documentIds) visit(ListDocument(*source, id));
}

CDatabaseListing ListDatabase(const std::string& path) {
    auto source = notes::OpenNotesSource(path);
    CDatabaseListing listing;
    for (NOTEID id : source->NoteIds(notes::kClassDocument)) listing.documentIds.push_back(id);
    try {
        for (const notes::CFormRow& form : source->ReadForms())
            listing.designNotes.push_back(DesignNote(*source, form.id, "(form)", Utf8OfLmbcs(form.name)));
    } catch (const notes::CNsfError&) {
        // Forms only name design notes; the documents are listed without them.
    }
    ListViews(*source, listing);
    ListNamedNotes(listing);
    listing.source = std::move(source);
    return listing;
}

#include "launcher/DatabaseListing.h"

#include <algorithm>
#include <limits>
#include <optional>

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

CListedNote Listed(const notes::CNoteRow& note) {
    return {note.id, notes::UnidText(note.unid), TextItem(note, "Form"), Title(note), {}};
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
        listed = Listed(*note);
    } catch (const notes::CNsfError& error) {
        listed.unreadable = error.what();
    }
    return listed;
}

// The documents read a page of notes at a time with only the items the
// listing shows, where the source can. A note that no page holds (its record
// is lost) is read on its own, as is every note once a page could not be
// read: the note-by-note read says what is wrong with each.
class CListedPages {
public:
    explicit CListedPages(notes::CNotesSource& source) : source(source) {}

    // Documents are asked for in ascending note-ID order.
    CListedNote Document(NOTEID id) {
        if (usable && (!pageEnd || id > *pageEnd)) Fetch(id);
        if (usable) {
            auto found = std::lower_bound(page.begin(), page.end(), id,
                                          [](const notes::CNoteRow& n, NOTEID at) { return n.id < at; });
            if (found != page.end() && found->id == id) return Listed(*found);
        }
        return ListDocument(source, id);
    }

private:
    static constexpr size_t kPageNotes = 1024;

    void Fetch(NOTEID from) {
        static const std::vector<std::string> shown = {"Form", "Subject", "FullName", "ListName", "CompanyName"};
        try {
            std::optional<std::vector<notes::CNoteRow>> notes = source.ReadNotesWith(from, kPageNotes, shown);
            if (!notes) {
                usable = false;
                return;
            }
            page = std::move(*notes);
            // A short page is the last: no note lies beyond it.
            pageEnd = page.size() < kPageNotes ? std::numeric_limits<NOTEID>::max() : page.back().id;
        } catch (const notes::CNsfError&) {
            usable = false;
        }
    }

    notes::CNotesSource& source;
    std::vector<notes::CNoteRow> page;
    std::optional<NOTEID> pageEnd;  // the last note ID the page answers for; none before the first
    bool usable = true;
};

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
    if (documentIds.empty()) return;
    CListedPages pages(*source);
    for (uint32_t id : documentIds) visit(pages.Document(id));
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

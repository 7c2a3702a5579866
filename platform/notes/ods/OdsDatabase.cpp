#include "platform/notes/ods/OdsDatabase.h"

#include <algorithm>
#include <set>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/NotesState.h"
#include "platform/notes/ods/OdsNote.h"
#include "platform/notes/ods/OdsObjects.h"

namespace notes::ods {

namespace {
constexpr uint8_t kCdField = 0x8A;   // CDFIELD, a field of a form (WSIG)
constexpr size_t kCdFieldFixed = 36;

const CItemRow* FirstItem(const CNoteRow& note, const char* name) {
    for (const auto& item : note.items)
        if (SameName(item.name, name)) return &item;
    return nullptr;
}

std::vector<std::string> TextsOf(const CNoteRow& note, const char* name) {
    const CItemRow* item = FirstItem(note, name);
    if (!item) return {};
    auto values = DecodeTextValues(item->raw);
    return values ? *values : std::vector<std::string>{};
}

std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool IsSystemName(const std::string& name) {
    return name.size() > 3 && name.compare(0, 2, "($") == 0 && name.back() == ')';
}

// A design title is "name|alias|...", possibly as several list values. The
// name comes first; a hidden system name such as "($Sent)" among the aliases
// wins, since that is how the mail template's views are known.
std::string DesignName(const CNoteRow& note) {
    std::vector<std::string> parts;
    for (const auto& value : TextsOf(note, "$TITLE")) {
        size_t start = 0;
        for (;;) {
            size_t bar = value.find('|', start);
            parts.push_back(Trimmed(value.substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
    }
    if (parts.empty()) return std::string();
    for (const auto& part : parts)
        if (IsSystemName(part)) return part;
    return parts.front();
}

std::string DesignFlags(const CNoteRow& note) {
    auto flags = TextsOf(note, "$Flags");
    return flags.empty() ? std::string() : flags.front();
}

int FieldTypeCode(uint16_t dataType) {
    switch (dataType) {
        case TYPE_TEXT: case TYPE_TEXT_LIST: return 45;
        case TYPE_TIME: case TYPE_TIME_RANGE: return 46;
        case TYPE_NUMBER: case TYPE_NUMBER_RANGE: return 47;
        case TYPE_COMPOSITE: return 49;
        default: return 51;
    }
}

// The fields of a form in form order: its CDFIELD records (type, then the
// name after the default-value, translation and validation formulas).
std::vector<CFormField> FieldsOfBody(const CNoteRow& form) {
    std::vector<CFormField> fields;
    for (const auto& item : form.items) {
        if (!SameName(item.name, "$Body") || RawType(item.raw) != TYPE_COMPOSITE) continue;
        CBytes cd(std::string_view(item.raw).substr(2));
        size_t at = 0;
        while (cd.Has(at, 2)) {
            uint8_t kind = cd.U8(at + 1);
            size_t length = kind == 0xFF ? (cd.Has(at, 4) ? cd.U16(at + 2) : 0)
                          : kind == 0x00 ? (cd.Has(at, 6) ? cd.U32(at + 2) : 0)
                                         : kind;
            if (length < 2 || !cd.Has(at, length)) break;
            if (cd.U8(at) == kCdField && kind == 0xFF && length >= kCdFieldFixed) {
                CBytes r = cd.Sub(at, length);
                size_t nameAt = kCdFieldFixed + r.U16(22) + r.U16(24) + r.U16(28);
                if (r.Has(nameAt, r.U16(30))) fields.push_back({r.Str(nameAt, r.U16(30)), FieldTypeCode(r.U16(6))});
            }
            at += length + (length & 1);
        }
    }
    return fields;
}

CFormRow FormOf(const CNoteRow& note) {
    CFormRow form{note.id, DesignName(note), FieldsOfBody(note)};
    if (form.fields.empty())
        for (const auto& name : TextsOf(note, "$FIELDS")) form.fields.push_back({name, 45});
    return form;
}

bool SameUnid(const UNID& a, const UNID& b) {
    return a.File.Innards[0] == b.File.Innards[0] && a.File.Innards[1] == b.File.Innards[1] &&
           a.Note.Innards[0] == b.Note.Innards[0] && a.Note.Innards[1] == b.Note.Innards[1];
}

// $FolderRef names the folders a document is in: UNIDs as 32 hex digits in
// text, or as 16-byte universal note IDs.
std::vector<UNID> FolderRefs(const CNoteRow& note) {
    std::vector<UNID> out;
    for (const auto& item : note.items) {
        if (!SameName(item.name, "$FolderRef")) continue;
        if (auto texts = DecodeTextValues(item.raw)) {
            for (const auto& t : *texts)
                if (auto unid = ParseUnidText(t)) out.push_back(*unid);
        } else if (RawType(item.raw) == 0x0004 && item.raw.size() >= 2) {
            for (size_t at = 2; at + 16 <= item.raw.size(); at += 16)
                out.push_back(UNID{GetTime(item.raw, at), GetTime(item.raw, at + 8)});
        }
    }
    return out;
}

CDocumentFacts FactsOf(const CNoteRow& note) {
    CDocumentFacts f;
    f.id = note.id;
    auto form = TextsOf(note, "Form");
    f.form = form.empty() ? std::string() : form.front();
    f.posted = FirstItem(note, "PostedDate") != nullptr;
    f.delivered = FirstItem(note, "DeliveredDate") != nullptr;
    auto categories = TextsOf(note, "Categories");
    f.categorized = std::any_of(categories.begin(), categories.end(), [](const std::string& c) { return !c.empty(); });
    f.folders = FolderRefs(note);
    return f;
}
}  // namespace

COdsDatabase::COdsDatabase(const std::string& path) : container(path) {}

std::unique_ptr<CNotesSource> OpenOdsDatabase(const std::string& path) {
    return std::make_unique<COdsDatabase>(path);
}

const std::map<NOTEID, int>& COdsDatabase::Classes() {
    if (!classes) {
        std::map<NOTEID, int> found;
        for (const auto& [id, entry] : container.Rrv())
            if (int c = OdsNoteClass(container, id)) found[id] = c;
        classes = std::move(found);
    }
    return *classes;
}

std::optional<CNoteRow> COdsDatabase::ReadNote(NOTEID id) {
    if (id == kUnfiledFolderId) return std::nullopt;
    return ReadOdsNote(container, id);
}

std::vector<NOTEID> COdsDatabase::NoteIds(int noteClass) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    std::vector<NOTEID> ids;
    for (const auto& [id, c] : Classes())
        if (c == noteClass) ids.push_back(id);
    return ids;
}

// Navigators ('G') are kept with views in the file but are no views.
const std::vector<COdsDatabase::CViewNote>& COdsDatabase::ViewNotes() {
    if (!viewNotes) {
        std::vector<CViewNote> found;
        for (const auto& [id, c] : Classes()) {
            if (c != kClassView) continue;
            std::optional<CNoteRow> note;
            try {
                note = ReadOdsNote(container, id);
            } catch (const CNsfError&) {
                continue;
            }
            if (!note) continue;
            std::string flags = DesignFlags(*note);
            if (flags.find('G') != std::string::npos) continue;
            CViewNote v;
            v.row.id = id;
            v.row.name = DesignName(*note);
            v.row.folder = flags.find('F') != std::string::npos;
            v.row.type = flags.find('c') != std::string::npos ? 1 : 0;
            v.unid = note->unid;
            if (!v.row.folder) v.mailView = MailViewOf(v.row.name);
            found.push_back(std::move(v));
        }
        viewNotes = std::move(found);
    }
    return *viewNotes;
}

// A document that cannot be read still gets facts (its note ID only), so
// that it reaches a conversion and is named there.
const std::vector<CDocumentFacts>& COdsDatabase::Facts() {
    if (!facts) {
        std::vector<CDocumentFacts> found;
        for (const auto& [id, c] : Classes()) {
            if (c != kClassDocument) continue;
            try {
                if (auto note = ReadOdsNote(container, id, EOdsRead::SummaryItems)) found.push_back(FactsOf(*note));
            } catch (const CNsfError&) {
                CDocumentFacts unreadable;
                unreadable.id = id;
                found.push_back(unreadable);
            }
        }
        facts = std::move(found);
    }
    return *facts;
}

std::vector<CViewEntry> COdsDatabase::FolderEntries(const CViewNote& view) {
    std::vector<CViewEntry> entries;
    for (const auto& f : Facts()) {
        if (view.mailView ? Selects(*view.mailView, f)
                          : std::any_of(f.folders.begin(), f.folders.end(),
                                        [&](const UNID& u) { return SameUnid(u, view.unid); }))
            entries.push_back({f.id, false});
    }
    return entries;
}

const std::vector<CViewRow>& COdsDatabase::ViewsWithEntries() {
    if (!views) {
        std::vector<CViewRow> rows;
        std::set<NOTEID> listed;
        for (const auto& v : ViewNotes()) {
            CViewRow row = v.row;
            row.entries = FolderEntries(v);
            if (!(v.mailView && *v.mailView == EMailView::All))
                for (const auto& e : row.entries) listed.insert(e.noteId);
            rows.push_back(std::move(row));
        }
        CViewRow unfiled{kUnfiledFolderId, kUnfiledFolderName, true, 0, {}};
        for (const auto& f : Facts())
            if (!listed.count(f.id)) unfiled.entries.push_back({f.id, false});
        if (!unfiled.entries.empty()) rows.push_back(std::move(unfiled));
        views = std::move(rows);
    }
    return *views;
}

std::vector<CViewRow> COdsDatabase::ReadViews(bool withEntries) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (withEntries) return ViewsWithEntries();
    std::vector<CViewRow> rows;
    for (const auto& row : ViewsWithEntries()) {
        rows.push_back(row);
        rows.back().entries.clear();
    }
    return rows;
}

std::optional<CViewRow> COdsDatabase::ReadView(NOTEID id) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    for (const auto& row : ViewsWithEntries())
        if (row.id == id) return row;
    return std::nullopt;
}

std::vector<CFormRow> COdsDatabase::ReadForms() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!forms) {
        std::vector<CFormRow> found;
        for (const auto& [id, c] : Classes()) {
            if (c != kClassForm) continue;
            try {
                if (auto note = ReadOdsNote(container, id)) found.push_back(FormOf(*note));
            } catch (const CNsfError&) {
            }
        }
        forms = std::move(found);
    }
    return *forms;
}

std::optional<CFormRow> COdsDatabase::ReadForm(const std::string& name) {
    for (const auto& form : ReadForms())
        if (SameName(form.name, name)) return form;
    return std::nullopt;
}

std::optional<std::string> COdsDatabase::ReadObject(const CFileObject& file) {
    return ReadOdsObject(container, file);
}

}  // namespace notes::ods

#include "platform/notes/NotesState.h"

#include <algorithm>
#include <map>

#include "platform/notes/LNErrors.h"
#include "platform/notes/MimeBody.h"
#include "platform/sys/Text.h"

namespace notes {

namespace {
std::mutex handleLock;
std::map<DBHANDLE, std::weak_ptr<CDatabaseState>>& DbTable() {
    static std::map<DBHANDLE, std::weak_ptr<CDatabaseState>> table;
    return table;
}
std::map<NOTEHANDLE, std::weak_ptr<CNoteRef>>& NoteTable() {
    static std::map<NOTEHANDLE, std::weak_ptr<CNoteRef>> table;
    return table;
}
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads the note's $FILE objects by name (exactly, else without regard to
// case) for the parts of a MIME body kept in them; a missing or unreadable
// object reads as none.
CObjectReader ObjectReader(const CNoteRef& note) {
    std::vector<CFileObject> files;
    for (const auto& item : note.Named("$FILE"))
        if (auto file = DecodeFileObject(item->raw)) files.push_back(*file);
    return [db = note.db, files](const std::string& name) -> std::optional<CObjectContent> {
        auto found = std::find_if(files.begin(), files.end(), [&](const CFileObject& f) { return f.name == name; });
        if (found == files.end())
            found = std::find_if(files.begin(), files.end(), [&](const CFileObject& f) { return SameName(f.name, name); });
        if (found == files.end() || !db || !db->file) return std::nullopt;
        try {
            auto bytes = db->file->ReadObject(*found);
            if (!bytes) return std::nullopt;
            return CObjectContent{std::move(*bytes), found->flags};
        } catch (const CNsfError&) {
            return std::nullopt;
        }
    };
}

std::vector<std::string> MimeValues(const std::vector<CItemPtr>& items) {
    std::vector<std::string> raws;
    for (const auto& item : items)
        if (item->Type() == TYPE_MIME_PART) raws.push_back(item->raw);
    return raws;
}
}  // namespace

uint32_t NextHandle() {
    static std::atomic<uint32_t> next{0x100};
    return next.fetch_add(4);
}

CNotesSource& CDatabaseState::File() {
    if (!file) throw static_cast<LNSTATUS>(ERR_DB_NOT_OPEN);
    return *file;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::vector<CItemPtr> CNoteRef::Visible() const {
    std::vector<CItemPtr> out;
    for (const auto& item : items)
        if (!(item->flags & ITEM_SEAL) || decrypted) out.push_back(item);
    return out;
}

std::vector<CItemPtr> CNoteRef::Named(const std::string& name) const {
    std::vector<CItemPtr> out;
    for (const auto& item : Visible())
        if (SameName(item->name, name)) out.push_back(item);
    return out;
}

CItemPtr CNoteRef::First(const std::string& name) const {
    for (const auto& item : items)
        if ((!(item->flags & ITEM_SEAL) || decrypted) && SameName(item->name, name)) return item;
    return nullptr;
}

DBHANDLE RegisterDatabase(const std::shared_ptr<CDatabaseState>& db) {
    std::lock_guard<std::mutex> guard(handleLock);
    DBHANDLE h = NextHandle();
    DbTable()[h] = db;
    return h;
}
void ReleaseDatabase(DBHANDLE handle) {
    std::lock_guard<std::mutex> guard(handleLock);
    DbTable().erase(handle);
}
std::shared_ptr<CDatabaseState> FindDatabase(DBHANDLE handle) {
    std::lock_guard<std::mutex> guard(handleLock);
    auto it = DbTable().find(handle);
    return it == DbTable().end() ? nullptr : it->second.lock();
}
NOTEHANDLE RegisterNote(const std::shared_ptr<CNoteRef>& note) {
    std::lock_guard<std::mutex> guard(handleLock);
    NOTEHANDLE h = NextHandle();
    NoteTable()[h] = note;
    return h;
}
void ReleaseNote(NOTEHANDLE handle) {
    std::lock_guard<std::mutex> guard(handleLock);
    NoteTable().erase(handle);
}
std::shared_ptr<CNoteRef> FindNote(NOTEHANDLE handle) {
    std::lock_guard<std::mutex> guard(handleLock);
    auto it = NoteTable().find(handle);
    return it == NoteTable().end() ? nullptr : it->second.lock();
}

std::shared_ptr<CRichTextState> LoadRichText(const CNoteRef& note, const std::string& name) {
    auto state = std::make_shared<CRichTextState>();
    auto items = note.Named(name);
    if (!items.empty() && items.front()->Type() == TYPE_MIME_PART) {
        state->mime = std::make_shared<CMimeBody>(MimeValues(items), ObjectReader(note));
        return state;
    }
    std::vector<std::string> raws;
    for (const auto& item : items)
        if (item->Type() == TYPE_COMPOSITE) raws.push_back(item->raw);
    if (auto links = note.First("$Links"))
        if (auto decoded = DecodeNoteLinks(links->raw)) state->links = *decoded;
    CRtContext context;
    context.links = state->links;
    if (auto fonts = note.First("$Fonts")) context.fonts = DecodeFontTable(fonts->raw);
    CRtDecoded decoded = DecodeRichTextItems(raws, context);
    // Damage that left nothing to show is an error; otherwise what could be
    // read is kept and the damage counted.
    if (decoded.elements.empty() && decoded.damagedRecords > 0) throw static_cast<LNSTATUS>(ERR_CD_RECORD);
    state->elements = std::move(decoded.elements);
    state->damagedRecords = decoded.damagedRecords;
    return state;
}

CNoteLink LinkTarget(const CRichTextState& field, const CRtElement& link) {
    if (link.hasTarget) return link.target;
    if (link.linkIndex < field.links.size()) return field.links[link.linkIndex];
    return CNoteLink{};
}

std::string PlainText(const std::vector<CRtElement>& elements) {
    std::string out;
    bool first = true;
    for (const auto& e : elements) {
        if (e.kind == CRtElement::kParagraph) {
            if (!first) out += "\r\n";
            first = false;
        } else if (e.kind == CRtElement::kText) {
            out += e.text;
            first = false;
        }
    }
    return out;
}

std::string PlainText(const CRichTextState& field) {
    if (field.mime) return sys::Utf16ToLmbcs(field.mime->Plain());
    return field.plainOnly ? field.plain : PlainText(field.elements);
}

std::vector<std::string> RichTextFieldNames(const CNoteRef& note) {
    std::vector<std::string> names;
    for (const auto& item : note.Visible()) {
        if (item->Type() != TYPE_COMPOSITE && item->Type() != TYPE_MIME_PART) continue;
        bool seen = false;
        for (const auto& n : names) seen = seen || SameName(n, item->name);
        if (!seen) names.push_back(item->name);
    }
    return names;
}

CMimeFiles MimeFilesOf(const CNoteRef& note) {
    CMimeFiles files;
    for (const auto& field : RichTextFieldNames(note)) {
        auto items = note.Named(field);
        if (items.empty() || items.front()->Type() != TYPE_MIME_PART) continue;
        CMimeBody body(MimeValues(items), ObjectReader(note));
        files.inBody.insert(files.inBody.end(), body.InlineObjects().begin(), body.InlineObjects().end());
        files.attachments.insert(files.attachments.end(), body.Attachments().begin(), body.Attachments().end());
    }
    return files;
}

}  // namespace notes

#include "platform/notes/LNNote.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "platform/notes/NotesState.h"
#include "platform/notes/TimeDate.h"
#include "platform/sys/Text.h"

using notes::CNoteRef;

namespace {
std::atomic<long> documentOpens{0};
std::atomic<bool> handlesExhausted{false};

// NSFDB_OPEN_LIMIT=N: every document open after the N-th in this process
// fails with ERR_NOTE_HANDLES, as when Notes runs out of note handles.
bool OpenLimitReached() {
    const char* value = std::getenv("NSFDB_OPEN_LIMIT");
    if (!value || !*value) return false;
    char* end = nullptr;
    long limit = std::strtol(value, &end, 10);
    if (!end || *end != '\0' || limit < 0) return false;
    if (++documentOpens <= limit) return false;
    handlesExhausted = true;
    return true;
}
// NSFDB_CRASH_NOTE=ID: opening that note kills the process, as a document
// that makes the converter crash would (fault injection for tests).
void CrashWhenAsked(NOTEID id) {
    const char* value = std::getenv("NSFDB_CRASH_NOTE");
    if (value && *value && std::strtoul(value, nullptr, 10) == id) std::abort();
}
}  // namespace

bool LNNoteHandlesExhausted() { return handlesExhausted; }

namespace notes {
void ResetOpenCount() {
    documentOpens = 0;
    handlesExhausted = false;
}
}  // namespace notes

namespace {
LNSTATUS Load(CNoteRef& ref) {
    auto row = ref.db->File().ReadNote(ref.id);
    if (!row) return ERR_INVALID_NOTE;
    ref.unid = row->unid;
    ref.noteClass = row->noteClass;
    ref.created = row->created;
    ref.modified = row->modified;
    ref.encrypted = row->encrypted;
    ref.isSigned = row->isSigned;
    ref.items.clear();
    for (auto& item : row->items)
        ref.items.push_back(std::make_shared<notes::CItemData>(notes::CItemData{item.name, item.flags, item.raw}));
    return LNNOERROR;
}
}  // namespace

LNNote::LNNote() = default;
LNNote::~LNNote() { Close(); }
LNNote::LNNote(const LNNote& other) : ref(other.ref) {}
LNNote& LNNote::operator=(const LNNote& other) {
    if (this != &other) {
        Close();
        ref = other.ref;
    }
    return *this;
}

void LNNote::Bind(std::shared_ptr<notes::CNoteRef> note) {
    Close();
    ref = std::move(note);
}

bool LNNote::IsNull() const { return !ref; }

LNSTATUS LNNote::Open(LNNOTEOPENFLAGS) {
    if (!ref) return ERR_INVALID_NOTE;
    if (openHere) return LNNOERROR;
    std::lock_guard<std::mutex> guard(ref->lock);
    if (!ref->db->file) return ERR_DB_NOT_OPEN;
    if (!dynamic_cast<LNForm*>(this) && OpenLimitReached()) return ERR_NOTE_HANDLES;
    CrashWhenAsked(ref->id);
    if (ref->openCount == 0) {
        try {
            if (LNSTATUS s = Load(*ref)) return s;
        } catch (LNSTATUS s) {
            return s;
        } catch (const notes::CNoteUnreadable& unreadable) {
            return unreadable.status;
        } catch (const notes::CNsfError&) {
            return ERR_DB_CORRUPT;
        }
        ref->decrypted = false;
        ref->handle = notes::RegisterNote(ref);
    }
    ++ref->openCount;
    openHere = true;
    return LNNOERROR;
}

LNSTATUS LNNote::Close() {
    if (!ref || !openHere) return LNNOERROR;
    std::lock_guard<std::mutex> guard(ref->lock);
    openHere = false;
    if (--ref->openCount == 0) {
        notes::ReleaseNote(ref->handle);
        ref->handle = 0;
        ref->items.clear();
        ref->decrypted = false;
    }
    return LNNOERROR;
}

bool LNNote::IsOpen() const { return ref && ref->openCount > 0; }

const CNoteRef& LNNote::Loaded() const {
    if (!IsOpen()) throw static_cast<LNSTATUS>(ERR_NOTE_NOT_OPEN);
    return *ref;
}

LNNOTEID LNNote::GetNoteID() const { return ref ? ref->id : 0; }
UNID LNNote::GetUniversalID() const { return Loaded().unid; }
NOTEHANDLE LNNote::GetNoteHandle() const { return IsOpen() ? ref->handle : NULLHANDLE; }

LNDatetime LNNote::GetCreated() const {
    const auto& r = Loaded();
    return notes::IsNullTime(r.created) ? LNDatetime() : LNDatetime(r.created);
}

LNDatetime LNNote::GetLastModified() const {
    const auto& r = Loaded();
    return notes::IsNullTime(r.modified) ? LNDatetime() : LNDatetime(r.modified);
}

bool LNNote::HasItem(const LNString& name) const { return Loaded().First(name.GetBytes()) != nullptr; }

LNSTATUS LNNote::GetItem(const LNString& name, LNItem* item) const {
    if (!item) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_NOTE_NOT_OPEN;
    auto found = ref->First(name.GetBytes());
    if (!found) return ERR_ITEM_NOT_FOUND;
    if (auto* rich = dynamic_cast<LNRichText*>(item)) {
        if (LNSTATUS s = rich->Assign(found)) return s;
        if (found->Type() == TYPE_MIME_PART) {
            rich->SetState(notes::LoadRichText(*ref, name.GetBytes()));
        } else if (found->Type() == TYPE_COMPOSITE) {
            try {
                rich->SetParts(ref->Named(name.GetBytes()), ref->First("$Links"));
            } catch (LNSTATUS s) {
                return s;
            }
        } else {
            LNText text;
            text.Assign(found);
            rich->SetPlainText(text.GetText());
        }
        return LNNOERROR;
    }
    return item->Assign(found);
}

LNSTATUS LNNote::GetItems(std::vector<LNItem>* items, LNITEMTYPE type) const {
    if (!items) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_NOTE_NOT_OPEN;
    items->clear();
    for (const auto& data : ref->Visible()) {
        LNItem item;
        item.Assign(data);
        if (type == LNITEMTYPE_ANY || item.GetType() == type) items->push_back(item);
    }
    return LNNOERROR;
}

bool LNNote::HasAttachments() const {
    const auto& r = Loaded();
    auto mime = notes::MimeFilesOf(r);
    if (!mime.attachments.empty()) return true;
    for (const auto& item : r.Named("$FILE")) {
        auto file = item->Type() == TYPE_OBJECT ? notes::DecodeFileObject(item->raw) : std::nullopt;
        if (file && std::find(mime.inBody.begin(), mime.inBody.end(), file->name) == mime.inBody.end()) return true;
    }
    return false;
}

LNSTATUS LNNote::GetAttachments(std::vector<LNAttachment>* attachments) const {
    if (!attachments) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_NOTE_NOT_OPEN;
    attachments->clear();
    // $FILE objects that hold text or images of a native MIME body are part
    // of the body, not attachments; attachments kept inside MIME items have
    // no $FILE item and are added after the others.
    auto mime = notes::MimeFilesOf(*ref);
    auto add = [&](std::shared_ptr<notes::CAttachmentData> data) {
        LNAttachment a;
        a.Assign(std::move(data));
        attachments->push_back(a);
    };
    for (const auto& item : ref->Named("$FILE")) {
        auto file = notes::DecodeFileObject(item->raw);
        if (!file || std::find(mime.inBody.begin(), mime.inBody.end(), file->name) != mime.inBody.end()) continue;
        add(std::make_shared<notes::CAttachmentData>(notes::CAttachmentData{ref->db, *file, std::nullopt}));
    }
    for (auto& inItem : mime.attachments) {
        notes::CFileObject file;
        file.name = sys::Utf16ToLmbcs(sys::Utf8ToUtf16(inItem.name));
        file.fileSize = static_cast<DWORD>(inItem.bytes.size());
        add(std::make_shared<notes::CAttachmentData>(notes::CAttachmentData{ref->db, file, std::move(inItem.bytes)}));
    }
    return LNNOERROR;
}

bool LNNote::HasLinks() const {
    const auto& r = Loaded();
    std::vector<std::string> names;
    for (const auto& item : r.Visible())
        if (item->Type() == TYPE_COMPOSITE) {
            bool seen = false;
            for (const auto& n : names) seen = seen || notes::SameName(n, item->name);
            if (!seen) names.push_back(item->name);
        }
    for (const auto& name : names) {
        try {
            auto field = notes::LoadRichText(r, name);
            for (const auto& e : field->elements)
                if (e.kind == notes::CRtElement::kLink) return true;
        } catch (LNSTATUS) {
        }
    }
    return false;
}

bool LNNote::IsEncrypted() const { return Loaded().encrypted; }
bool LNNote::IsSigned() const { return Loaded().isSigned; }

bool LNNote::CanBeDecrypted() const { return ref && ref->db->file && ref->db->file->CanDecrypt(); }

LNSTATUS LNNote::Decrypt() {
    if (!IsOpen()) return ERR_NOTE_NOT_OPEN;
    if (!ref->encrypted) return ERR_NOT_ENCRYPTED;
    if (!ref->db->file || !ref->db->file->CanDecrypt()) return ERR_NOTE_NO_KEY;
    ref->decrypted = true;
    return LNNOERROR;
}

LNString LNDocument::GetFormName() const {
    auto form = Loaded().First("Form");
    if (!form) return LNString();
    auto values = notes::DecodeTextValues(form->raw);
    return values && !values->empty() ? LNString(values->front()) : LNString();
}

LNSTATUS LNDocument::GetFormNote(LNString* formName) const {
    if (!formName) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_NOTE_NOT_OPEN;
    *formName = GetFormName();
    return LNNOERROR;
}

LNSTATUS LNDocument::GetFormNote(LNForm* form) const {
    if (!form) return ERR_BAD_PARAM;
    if (!IsOpen()) return ERR_NOTE_NOT_OPEN;
    std::optional<notes::CFormRow> row;
    try {
        row = notes::Guarded([&] { return ref->db->File().ReadForm(GetFormName().GetBytes()); });
    } catch (LNSTATUS s) {
        return s;
    }
    if (!row) return ERR_INVALID_NOTE;
    auto formRef = std::make_shared<CNoteRef>();
    formRef->db = ref->db;
    formRef->id = row->id;
    form->Bind(formRef);
    return LNNOERROR;
}

LNText LNDocument::GetCategories() const {
    LNText text;
    GetItem("Categories", &text);
    return text;
}

LNString LNForm::GetName() const {
    if (!ref) throw static_cast<LNSTATUS>(ERR_INVALID_NOTE);
    auto forms = notes::Guarded([&] { return ref->db->File().ReadForms(); });
    for (const auto& form : forms)
        if (form.id == ref->id) return LNString(form.name);
    return LNString();
}

LNSTATUS LNForm::GetFormFields(std::vector<LNFormField>* fields, LNINT type) const {
    if (!fields) return ERR_BAD_PARAM;
    if (!ref) return ERR_INVALID_NOTE;
    fields->clear();
    if (type != LNTYPE_FORM_FIELD) return LNNOERROR;
    try {
        auto row = notes::Guarded([&] { return ref->db->File().ReadForm(GetName().GetBytes()); });
        if (!row) return ERR_INVALID_NOTE;
        for (const auto& f : row->fields) fields->push_back(LNFormField(LNString(f.name), f.type));
    } catch (LNSTATUS s) {
        return s;
    }
    return LNNOERROR;
}

// Database -> description.
#include <map>
#include <optional>
#include <set>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNErrors.h"
#include "platform/notes/LNNote.h"
#include "platform/notes/NotesSource.h"
#include "platform/notes/NotesState.h"
#include "platform/notes/TimeDate.h"
#include "tools/nsfdb/AttachmentFolder.h"
#include "tools/nsfdb/Description.h"
#include "tools/nsfdb/DumpValues.h"

namespace nsfdb {

using namespace notes;

namespace {

// Note classes a description does not hold; their notes are listed by class.
constexpr std::pair<int, const char*> kOtherClasses[] = {
    {0x0002, "about"},      {0x0010, "icon"},        {0x0020, "design collection"}, {0x0040, "access control list"},
    {0x0080, "help index"}, {0x0100, "help"},        {0x0200, "agent"},             {0x0400, "shared field"},
    {0x0800, "replication formula"}, {0x1000, "private design"}};

bool SameTime(const TIMEDATE& a, const TIMEDATE& b) {
    return a.Innards[0] == b.Innards[0] && a.Innards[1] == b.Innards[1];
}

// The reason without the "note N: " or "attachment "x": " it may begin with.
std::string Reason(const std::string& what, const std::string& prefix) {
    return what.compare(0, prefix.size(), prefix) == 0 ? what.substr(prefix.size()) : what;
}

const char* FieldTypeName(int type) {
    switch (type) {
    case LNFORMFIELDTYPE_TEXT: return "text";
    case LNFORMFIELDTYPE_DATETIME: return "datetime";
    case LNFORMFIELDTYPE_NUMBER: return "number";
    case LNFORMFIELDTYPE_NAMES: return "names";
    case LNFORMFIELDTYPE_RICHTEXT: return "richtext";
    case LNFORMFIELDTYPE_KEYWORDS: return "keywords";
    case LNFORMFIELDTYPE_OTHER: return "other";
    default: return nullptr;
    }
}

std::string TitleOf(const CNoteRow& note) {
    for (const auto& item : note.items)
        if (SameName(item.name, "$TITLE"))
            if (auto texts = DecodeTextValues(item.raw); texts && !texts->empty()) return Utf8(texts->front());
    return std::string();
}

// One item as it goes into the description, before the items build adds by
// itself are taken out again.
struct CEntry {
    enum EKind { kValue, kFile, kLinks } kind = kValue;
    std::string name;   // UTF-8
    Json value;
    WORD flags = 0;
    std::string raw;    // $Links
};

class CDumper {
public:
    CDumper(CNotesSource& source, const CDumpOptions& options) : source(source), options(options) {
        if (!options.attachmentFolder.empty()) folder.emplace(options.attachmentFolder);
    }
    Json Run();

private:
    Json Forms();
    Json Documents();
    Json Views();
    Json DocumentOf(const CNoteRow& note);
    std::vector<CEntry> Entries(const CNoteRow& note, size_t from, CDocContext& ctx);
    Json ItemsJson(std::vector<CEntry> entries, const CDocContext& ctx, Json& doc);
    Json AttachmentsOf(const CNoteRow& note);
    Json AttachmentBytes(const CNoteRow& note, const CFileObject& file, Json a);
    void Design(int noteClass, const char* className, const std::set<NOTEID>& described);
    void Unreadable(NOTEID id, const std::string& what, Json entry = Json::object());

    CNotesSource& source;
    const CDumpOptions& options;
    std::optional<CAttachmentFolder> folder;
    std::set<NOTEID> documents, unreadableNotes;
    Json unreadable = Json::array();
    Json otherNotes = Json::array();
};

void CDumper::Unreadable(NOTEID id, const std::string& what, Json entry) {
    std::string reason = Reason(what, "note " + std::to_string(id) + ": ");
    std::string attachment;
    if (entry.contains("attachment")) {
        attachment = "attachment \"" + entry["attachment"].get<std::string>() + "\": ";
        reason = Reason(reason, attachment);
    } else {
        unreadableNotes.insert(id);
    }
    Json out{{"noteId", id}};
    out.update(entry);
    out["reason"] = reason;
    unreadable.push_back(out);
    if (options.report) options.report("note " + std::to_string(id) + ": " + attachment + reason);
}

std::vector<CEntry> CDumper::Entries(const CNoteRow& note, size_t from, CDocContext& ctx) {
    std::vector<CNoteLink> links;   // the list the note's doclinks refer to, as the LN classes find it
    for (const auto& it : note.items)
        if (SameName(it.name, "$Links")) {
            if (auto l = DecodeNoteLinks(it.raw)) links = *l;
            break;
        }
    std::vector<CEntry> entries;
    std::set<std::string> rawFields;   // rich-text fields written item by item
    for (size_t i = from; i < note.items.size(); ++i) {
        const auto& item = note.items[i];
        WORD type = RawType(item.raw);
        CEntry entry;
        entry.name = Utf8(item.name);
        entry.flags = static_cast<WORD>(item.flags & ~ITEM_SEAL);
        ctx.place.item = entry.name;
        auto file = SameName(item.name, "$FILE") ? DecodeFileObject(item.raw) : std::nullopt;
        if (file) {
            entry.kind = CEntry::kFile;
            entry.value = Json{{"attachment", Utf8(file->name)}};
        } else if (type == TYPE_COMPOSITE && !rawFields.count(item.name)) {
            // The field is every rich-text item of the name; only one run of
            // consecutive items of one flag value can be written as elements.
            std::vector<std::string> parts;
            size_t last = i;
            for (; last < note.items.size() && note.items[last].name == item.name &&
                   RawType(note.items[last].raw) == TYPE_COMPOSITE && note.items[last].flags == item.flags;
                 ++last)
                parts.push_back(note.items[last].raw);
            size_t total = 0;
            for (const auto& other : note.items) total += SameName(other.name, item.name) && RawType(other.raw) == TYPE_COMPOSITE;
            auto richText = total == parts.size() ? RichTextJson(parts, links, ctx) : std::nullopt;
            if (richText) {
                entry.value = *richText;
                i = last - 1;
            } else {
                rawFields.insert(item.name);
                entry.value = RawJson(item.raw);
            }
        } else if (type == TYPE_COMPOSITE) {
            entry.value = RawJson(item.raw);
        } else {
            entry.kind = SameName(item.name, "$Links") ? CEntry::kLinks : CEntry::kValue;
            entry.raw = item.raw;
            entry.value = ValueJson(item.raw, ctx);
        }
        WORD defaultFlags = IsSummaryType(type) ? ITEM_SUMMARY : 0;
        if (entry.flags != defaultFlags) entry.value = Json{{"value", entry.value}, {"flags", entry.flags}};
        entries.push_back(std::move(entry));
    }
    ctx.place.item.clear();
    return entries;
}

// Build puts the "$Links" list of the doclinks and then the $FILE items of
// attachments no item places at the end of a note: items that are just that
// are left out.
Json CDumper::ItemsJson(std::vector<CEntry> entries, const CDocContext& ctx, Json& doc) {
    while (!entries.empty() && entries.back().kind == CEntry::kFile && entries.back().flags == 0) entries.pop_back();
    size_t linkItems = 0;
    for (const auto& e : entries) linkItems += e.kind == CEntry::kLinks;
    if (!ctx.links.empty() && linkItems == 1 && entries.back().kind == CEntry::kLinks && entries.back().flags == 0 &&
        entries.back().raw == EncodeNoteLinks(ctx.links))
        entries.pop_back();
    else if (!ctx.links.empty())
        doc["linksItem"] = false;
    std::set<std::string> names;
    bool unique = true;
    for (const auto& e : entries) unique = names.insert(e.name).second && unique;
    Json items = unique ? Json::object() : Json::array();
    for (auto& e : entries) {
        if (unique) items[e.name] = std::move(e.value);
        else items.push_back(Json{{e.name, std::move(e.value)}});
    }
    return items;
}

Json CDumper::AttachmentBytes(const CNoteRow& note, const CFileObject& file, Json a) {
    std::optional<std::string> bytes;
    try {
        bytes = source.ReadObject(file);
        if (!bytes) throw CNoteUnreadable("its object is missing", ERR_OBJECT_DAMAGED);
    } catch (const CNoteUnreadable& e) {
        Unreadable(note.id, e.what(), Json{{"attachment", a["name"]}});
        a["unreadable"] = unreadable.back()["reason"];
        a["size"] = file.fileSize;
        return a;
    }
    if (folder) {
        auto path = folder->Write(a["name"].get<std::string>(), *bytes);
        a["path"] = std::filesystem::proximate(std::filesystem::absolute(path),
                                               std::filesystem::absolute(options.descriptionFolder))
                        .generic_string();
    } else {
        a["base64"] = Base64Encode(*bytes);
    }
    if (file.fileSize != bytes->size()) a["size"] = file.fileSize;
    return a;
}

Json CDumper::AttachmentsOf(const CNoteRow& note) {
    Json attachments = Json::array();
    for (const auto& it : note.items) {
        auto file = SameName(it.name, "$FILE") ? DecodeFileObject(it.raw) : std::nullopt;
        if (!file) continue;
        Json a = AttachmentBytes(note, *file, Json{{"name", Utf8(file->name)}});
        // Times other than the document's modification time, which build gives.
        for (auto [key, time] : {std::pair{"created", file->created}, std::pair{"modified", file->modified}})
            if (!SameTime(time, note.modified)) a[key] = IsNullTime(time) ? Json() : TimeJson(time);
        if (file->flags) a["flags"] = file->flags;
        attachments.push_back(a);
    }
    return attachments;
}

Json CDumper::DocumentOf(const CNoteRow& note) {
    Json doc;
    doc["noteId"] = note.id;
    doc["unid"] = UnidText(note.unid);
    CDocContext ctx{CPlace{"note " + std::to_string(note.id), ""}, {}, {}, "."};
    for (const auto& it : note.items)
        if (auto file = SameName(it.name, "$FILE") ? DecodeFileObject(it.raw) : std::nullopt)
            ctx.attachmentNames.insert(file->name);
    size_t from = 0;
    if (!note.items.empty() && note.items[0].name == "Form" && RawType(note.items[0].raw) == TYPE_TEXT &&
        note.items[0].flags == ITEM_SUMMARY) {
        Json form = ValueJson(note.items[0].raw, ctx);
        if (form.is_string()) {
            doc["form"] = form;
            from = 1;
        }
    }
    if (!IsNullTime(note.created)) doc["created"] = TimeJson(note.created);
    if (!IsNullTime(note.modified)) doc["modified"] = TimeJson(note.modified);
    if (note.encrypted) doc["encrypted"] = true;
    if (note.isSigned) doc["signed"] = true;
    auto entries = Entries(note, from, ctx);
    doc["items"] = ItemsJson(std::move(entries), ctx, doc);
    std::set<std::string> sealed;
    for (size_t i = from; i < note.items.size(); ++i)
        if (note.items[i].flags & ITEM_SEAL) sealed.insert(Utf8(note.items[i].name));
    if (note.encrypted && !(sealed.size() == 1 && *sealed.begin() == "Body")) doc["sealed"] = sealed;
    Json attachments = AttachmentsOf(note);
    if (!attachments.empty()) doc["attachments"] = attachments;
    return doc;
}

Json CDumper::Documents() {
    Json docs = Json::array();
    for (NOTEID id : source.NoteIds(kClassDocument)) {
        try {
            if (auto note = source.ReadNote(id)) {
                docs.push_back(DocumentOf(*note));
                documents.insert(id);
            } else {
                Unreadable(id, "no note has this note ID any more");
            }
        } catch (const CNoteUnreadable& e) {
            Unreadable(id, e.what());
        }
    }
    return docs;
}

Json CDumper::Forms() {
    Json forms = Json::object();
    std::set<NOTEID> described;
    for (const auto& form : source.ReadForms()) {
        std::string name = Utf8(form.name);
        if (forms.contains(name)) {
            otherNotes.push_back(Json{{"noteId", form.id}, {"class", "form"}, {"title", name},
                                      {"reason", "an earlier form has this name"}});
            described.insert(form.id);
            continue;
        }
        Json fields = Json::array();
        for (const auto& f : form.fields) {
            const char* type = FieldTypeName(f.type);
            fields.push_back(Json{{"name", Utf8(f.name)}, {"type", type ? Json(type) : Json(f.type)}});
        }
        forms[name] = fields;
        described.insert(form.id);
    }
    Design(kClassForm, "form", described);
    return forms;
}

// The UNID build gives a view without one.
UNID DerivedViewUnid(const DBID& replica, NOTEID id) {
    UNID u{};
    u.File = replica;
    u.Note.Innards[0] = id;
    u.Note.Innards[1] = 0x4E530000u | kClassView;
    return u;
}

Json CDumper::Views() {
    Json views = Json::array();
    std::set<NOTEID> described;
    for (const auto& v : source.ReadViews(true)) {
        std::string name = Utf8(v.name);
        Json view{{"name", name}, {"folder", v.folder}, {"noteId", v.id}, {"type", v.type}};
        described.insert(v.id);
        try {
            auto note = source.ReadNote(v.id);
            if (note && UnidText(note->unid) != UnidText(DerivedViewUnid(source.ReplicaId(), v.id)))
                view["unid"] = UnidText(note->unid);
        } catch (const CNoteUnreadable& e) {
            Unreadable(v.id, e.what());
        }
        Json entries = Json::array();
        for (const auto& e : v.entries) {
            if (e.noteId == 0) entries.push_back(nullptr);
            else if (!documents.count(e.noteId)) {
                // A note that could not be read is listed under "unreadable" already.
                if (!unreadableNotes.count(e.noteId) && options.report)
                    options.report("view \"" + name + "\": entry " + std::to_string(e.noteId) + " names no document");
            } else if (e.unread) entries.push_back(Json{{"noteId", e.noteId}, {"unread", true}});
            else entries.push_back(e.noteId);
        }
        view["entries"] = entries;
        views.push_back(view);
    }
    Design(kClassView, "view", described);
    return views;
}

// Notes of a design class that the description leaves out, by note ID.
void CDumper::Design(int noteClass, const char* className, const std::set<NOTEID>& described) {
    for (NOTEID id : source.NoteIds(noteClass)) {
        if (described.count(id)) continue;
        try {
            Json entry{{"noteId", id}, {"class", className}};
            auto note = source.ReadNote(id);
            if (note && !TitleOf(*note).empty()) entry["title"] = TitleOf(*note);
            if (noteClass == kClassForm || noteClass == kClassView)
                entry["reason"] = noteClass == kClassForm ? "not readable as a form" : "neither a view nor a folder";
            otherNotes.push_back(entry);
        } catch (const CNoteUnreadable& e) {
            Unreadable(id, e.what(), Json{{"class", className}});
        }
    }
}

Json CDumper::Run() {
    Json out;
    out["title"] = Utf8(source.Title());
    out["replicaId"] = ReplicaText(source.ReplicaId());
    out["forms"] = Forms();
    out["documents"] = Documents();
    out["views"] = Views();
    for (const auto& [noteClass, name] : kOtherClasses) Design(noteClass, name, {});
    if (!unreadable.empty()) out["unreadable"] = unreadable;
    if (!otherNotes.empty()) out["otherNotes"] = otherNotes;
    return out;
}

}  // namespace

Json DumpSource(CNotesSource& source, const CDumpOptions& options) { return CDumper(source, options).Run(); }

Json DumpDatabase(const std::filesystem::path& database, const CDumpOptions& options) {
    auto source = OpenNotesSource(database.string());
    return DumpSource(*source, options);
}

}  // namespace nsfdb

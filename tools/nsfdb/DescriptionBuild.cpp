// Description -> database file.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include <unistd.h>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNNote.h"
#include "platform/notes/NotesState.h"
#include "platform/notes/NsfFile.h"
#include "tools/nsfdb/Description.h"
#include "tools/nsfdb/DescriptionValues.h"

namespace nsfdb {

using namespace notes;

namespace {

constexpr NOTEID kFirstNoteId = 0x900;

// An attachment of a document: its $FILE item and the bytes of its object
// (none when the dump could not read them).
struct CAttachment {
    CFileObject file;
    std::string nameUtf8;
    std::optional<std::string> bytes;
    bool placed = false;   // its $FILE item is already among the items
};

class CBuilder {
public:
    CBuilder(const Json& d, const std::filesystem::path& baseDir) : desc(d), baseDir(baseDir) {}
    void Run(CNsfWriter& writer);

private:
    NOTEID Assign() {
        while (used.count(next)) next += 4;
        used.insert(next);
        return next;
    }
    void Reserve(const Json& holder, const CPlace& place);
    UNID UnidFor(const Json& holder, NOTEID id, int noteClass, const CPlace& place);
    CNoteRow Document(const Json& doc, NOTEID id, const CPlace& place, CNsfWriter& writer);
    CAttachment AttachmentOf(const Json& a, const CNoteRow& note, const CPlace& docPlace);

    const Json& desc;
    std::filesystem::path baseDir;
    std::set<NOTEID> used;
    std::set<std::string> unids;
    NOTEID next = kFirstNoteId;
    DBID replica{};
    DWORD nextObject = 1;
};

void CBuilder::Reserve(const Json& holder, const CPlace& place) {
    if (!holder.contains("noteId")) return;
    const Json& v = holder["noteId"];
    if (!v.is_number_integer() || v.get<int64_t>() <= 0 || v.get<int64_t>() > 0xFFFFFFFFll)
        place.Fail("noteId must be a positive 32-bit number");
    if (!used.insert(v.get<NOTEID>()).second) place.Fail("duplicate noteId " + std::to_string(v.get<NOTEID>()));
}

UNID CBuilder::UnidFor(const Json& holder, NOTEID id, int noteClass, const CPlace& place) {
    UNID u;
    if (holder.contains("unid")) {
        auto parsed = ParseUnidText(StringOf(holder["unid"], place, "unid"));
        if (!parsed) place.Fail("unid must be 32 hexadecimal digits");
        u = *parsed;
    } else {
        u.File = replica;
        u.Note.Innards[0] = id;
        u.Note.Innards[1] = 0x4E530000u | static_cast<DWORD>(noteClass);
    }
    if (!unids.insert(UnidText(u)).second) place.Fail("duplicate unid " + UnidText(u));
    return u;
}

CAttachment CBuilder::AttachmentOf(const Json& a, const CNoteRow& note, const CPlace& docPlace) {
    CPlace place = docPlace;
    place.item = "$FILE";
    if (!a.is_object() || !a.contains("name")) place.Fail("an attachment needs a \"name\"");
    CAttachment out;
    out.nameUtf8 = StringOf(a["name"], place, "attachment name");
    place.item = "$FILE " + out.nameUtf8;
    if (a.contains("path")) out.bytes = ReadFile(baseDir / StringOf(a["path"], place, "path"), place);
    else if (a.contains("text")) out.bytes = StringOf(a["text"], place, "text");
    else if (a.contains("base64")) {
        try {
            out.bytes = Base64Decode(StringOf(a["base64"], place, "base64"));
        } catch (const std::invalid_argument&) {
            place.Fail("\"base64\" is not base64 text");
        }
    } else if (!a.contains("unreadable")) place.Fail("an attachment needs \"path\", \"text\" or \"base64\"");
    CFileObject& file = out.file;
    file.rrv = nextObject++;
    file.name = Lmbcs(out.nameUtf8);
    file.fileSize = static_cast<DWORD>(out.bytes ? out.bytes->size() : 0);
    if (a.contains("size")) {
        if (!a["size"].is_number_unsigned() || a["size"].get<uint64_t>() > 0xFFFFFFFFull)
            place.Fail("\"size\" must be a number of bytes");
        file.fileSize = a["size"].get<DWORD>();
    }
    // Absent times are the document's modification time; null is no time.
    auto timeOf = [&](const char* key) {
        if (!a.contains(key)) return note.modified;
        return a[key].is_null() ? TIMEDATE{} : TimeOf(a[key], place);
    };
    file.created = timeOf("created");
    file.modified = timeOf("modified");
    if (a.contains("flags")) {
        if (!a["flags"].is_number_unsigned() || a["flags"].get<uint64_t>() > 0xFFFF) place.Fail("\"flags\" must be a 16-bit number");
        file.flags = a["flags"].get<WORD>();
    }
    return out;
}

// The items in order: an object of names and values, or an array of objects
// of one name each (for items of the same name and for any item order).
std::vector<std::pair<std::string, const Json*>> ItemList(const Json& items, const CPlace& place) {
    std::vector<std::pair<std::string, const Json*>> out;
    if (items.is_object()) {
        for (const auto& [name, value] : items.items()) out.emplace_back(name, &value);
        return out;
    }
    if (!items.is_array()) place.Fail("\"items\" must be an object or an array");
    for (const auto& entry : items) {
        if (!entry.is_object() || entry.size() != 1) place.Fail("an entry of \"items\" must be an object of one item");
        out.emplace_back(entry.begin().key(), &entry.begin().value());
    }
    return out;
}

CNoteRow CBuilder::Document(const Json& doc, NOTEID id, const CPlace& docPlace, CNsfWriter& writer) {
    CNoteRow note;
    note.id = id;
    note.noteClass = kClassDocument;
    note.unid = UnidFor(doc, id, kClassDocument, docPlace);
    if (doc.contains("created")) note.created = TimeOf(doc["created"], docPlace);
    if (doc.contains("modified")) note.modified = TimeOf(doc["modified"], docPlace);
    note.encrypted = doc.value("encrypted", false);
    note.isSigned = doc.value("signed", false);
    std::set<std::string> sealed;
    if (note.encrypted) {
        Json list = doc.value("sealed", Json::array({"Body"}));
        for (const auto& s : list) sealed.insert(Lmbcs(StringOf(s, docPlace, "sealed item name")));
    }
    auto flagsFor = [&](const std::string& name, WORD type) {
        WORD f = IsSummaryType(type) ? ITEM_SUMMARY : 0;
        for (const auto& s : sealed)
            if (SameName(s, name)) f |= ITEM_SEAL;
        return f;
    };
    CDocContext ctx{docPlace, {}, {}, baseDir};
    std::vector<CAttachment> attachments;
    if (doc.contains("attachments")) {
        if (!doc["attachments"].is_array()) docPlace.Fail("\"attachments\" must be an array");
        for (const auto& a : doc["attachments"]) {
            attachments.push_back(AttachmentOf(a, note, docPlace));
            ctx.attachmentNames.insert(attachments.back().file.name);
            if (attachments.back().bytes) writer.AddObject(attachments.back().file.rrv, id, *attachments.back().bytes);
        }
    }
    auto fileItem = [&](CAttachment& a, std::optional<WORD> flags) {
        a.placed = true;
        WORD f = flagsFor("$FILE", TYPE_OBJECT);
        if (flags) f = static_cast<WORD>(*flags | (f & ITEM_SEAL));
        note.items.push_back({"$FILE", f, EncodeFileObject(a.file)});
    };
    if (doc.contains("form"))
        note.items.push_back({"Form", flagsFor("Form", TYPE_TEXT), EncodeText(Lmbcs(StringOf(doc["form"], docPlace, "form")))});
    if (doc.contains("items")) {
        for (const auto& [name, value] : ItemList(doc["items"], docPlace)) {
            ctx.place.item = name;
            const Json* v = value;
            std::optional<WORD> flags;
            if (value->is_object() && value->contains("value")) {
                v = &(*value)["value"];
                if (value->contains("flags")) {
                    if (!(*value)["flags"].is_number_unsigned() || (*value)["flags"].get<uint64_t>() > 0xFFFF)
                        ctx.place.Fail("\"flags\" must be a 16-bit number");
                    flags = (*value)["flags"].get<WORD>();
                }
            }
            std::string lname = Lmbcs(name);
            if (SameName(lname, "$FILE") && v->is_object() && v->contains("attachment")) {
                std::string wanted = StringOf((*v)["attachment"], ctx.place, "attachment");
                auto a = std::find_if(attachments.begin(), attachments.end(),
                                      [&](const CAttachment& c) { return !c.placed && c.nameUtf8 == wanted; });
                if (a == attachments.end()) ctx.place.Fail("no attachment \"" + wanted + "\" is left to place here");
                fileItem(*a, flags);
                continue;
            }
            for (auto& raw : ValuesOf(*v, ctx)) {
                WORD f = flagsFor(lname, RawType(raw));
                if (flags) f = static_cast<WORD>(*flags | (f & ITEM_SEAL));
                note.items.push_back({lname, f, std::move(raw)});
            }
        }
        ctx.place.item.clear();
    }
    if (!ctx.links.empty() && doc.value("linksItem", true))
        note.items.push_back({"$Links", flagsFor("$Links", TYPE_NOTELINK_LIST), EncodeNoteLinks(ctx.links)});
    for (auto& a : attachments)
        if (!a.placed) fileItem(a, std::nullopt);
    return note;
}

int FieldType(const Json& t, const CPlace& place) {
    if (t.is_number_integer()) return t.get<int>();
    static const std::map<std::string, int> names = {
        {"text", LNFORMFIELDTYPE_TEXT},       {"datetime", LNFORMFIELDTYPE_DATETIME},
        {"number", LNFORMFIELDTYPE_NUMBER},   {"names", LNFORMFIELDTYPE_NAMES},
        {"richtext", LNFORMFIELDTYPE_RICHTEXT}, {"keywords", LNFORMFIELDTYPE_KEYWORDS},
        {"other", LNFORMFIELDTYPE_OTHER}};
    auto it = names.find(t.is_string() ? t.get<std::string>() : "");
    if (it == names.end()) place.Fail("unknown field type " + t.dump());
    return it->second;
}

std::string DocumentName(size_t index, const Json& doc) {
    std::string name = "document " + std::to_string(index + 1);
    if (doc.is_object() && doc.contains("noteId")) name += " (noteId " + doc["noteId"].dump() + ")";
    return name;
}

void CBuilder::Run(CNsfWriter& writer) {
    CPlace top;
    if (!desc.is_object()) top.Fail("the description must be a JSON object");
    std::string title = desc.value("title", std::string());
    if (desc.contains("replicaId")) {
        auto r = ParseReplicaText(StringOf(desc["replicaId"], top, "replicaId"));
        if (!r) top.Fail("replicaId must be 16 hexadecimal digits");
        replica = *r;
    } else {
        uint64_t h = 1469598103934665603ull;
        for (char c : title) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
        replica.Innards[0] = static_cast<DWORD>(h);
        replica.Innards[1] = static_cast<DWORD>(h >> 32);
    }
    writer.SetDatabase(Lmbcs(title), replica);

    const Json docs = desc.value("documents", Json::array());
    const Json views = desc.value("views", Json::array());
    const Json forms = desc.value("forms", Json::object());
    if (!docs.is_array() || !views.is_array() || !forms.is_object())
        top.Fail("\"documents\" and \"views\" must be arrays, \"forms\" an object");
    for (size_t i = 0; i < docs.size(); ++i) {
        if (!docs[i].is_object()) top.Fail(DocumentName(i, docs[i]) + " must be an object");
        Reserve(docs[i], CPlace{DocumentName(i, docs[i]), ""});
    }
    for (size_t i = 0; i < views.size(); ++i) Reserve(views[i], CPlace{"view " + std::to_string(i + 1), ""});

    std::set<NOTEID> documentIds;
    for (size_t i = 0; i < docs.size(); ++i) {
        CPlace place{DocumentName(i, docs[i]), ""};
        NOTEID id = docs[i].contains("noteId") ? docs[i]["noteId"].get<NOTEID>() : Assign();
        documentIds.insert(id);
        writer.AddNote(Document(docs[i], id, place, writer));
    }
    for (size_t i = 0; i < views.size(); ++i) {
        const Json& v = views[i];
        CPlace place{"view " + std::to_string(i + 1) + " \"" + v.value("name", std::string()) + "\"", ""};
        CViewRow row;
        row.id = v.contains("noteId") ? v["noteId"].get<NOTEID>() : Assign();
        row.name = Lmbcs(StringOf(v.value("name", Json()), place, "view name"));
        row.folder = v.value("folder", false);
        row.type = v.value("type", 0);
        for (const auto& e : v.value("entries", Json::array())) {
            CViewEntry entry;
            if (e.is_number_integer() && e.get<int64_t>() > 0) entry.noteId = e.get<NOTEID>();
            else if (e.is_object() && e.contains("noteId") && e["noteId"].is_number_integer() && e["noteId"].get<int64_t>() > 0) {
                entry.noteId = e["noteId"].get<NOTEID>();
                entry.unread = e.value("unread", false);
            } else if (!e.is_null()) place.Fail("unknown view entry " + e.dump());
            if (!e.is_null() && !documentIds.count(entry.noteId))
                place.Fail("unknown view entry " + e.dump() + ": no document has that noteId");
            row.entries.push_back(entry);
        }
        writer.AddView(row, UnidFor(v, row.id, kClassView, place), static_cast<int>(i));
    }
    for (const auto& [name, fields] : forms.items()) {
        CPlace place{"form \"" + name + "\"", ""};
        CFormRow form;
        form.id = Assign();
        form.name = Lmbcs(name);
        if (!fields.is_array()) place.Fail("a form is an array of fields");
        for (const auto& f : fields) {
            if (!f.is_object() || !f.contains("name")) place.Fail("a form field needs a \"name\"");
            form.fields.push_back({Lmbcs(StringOf(f["name"], place, "field name")), FieldType(f.value("type", Json("text")), place)});
        }
        writer.AddForm(form, UnidFor(Json::object(), form.id, kClassForm, place));
    }
}

}  // namespace

void BuildDatabase(const Json& description, const std::filesystem::path& baseDir, const std::filesystem::path& out) {
    std::filesystem::path temp = out;
    temp += ".tmp" + std::to_string(getpid());
    std::filesystem::remove(temp);
    try {
        {
            CNsfWriter writer(temp.string());
            CBuilder(description, baseDir).Run(writer);
            writer.Commit();
        }
        std::filesystem::rename(temp, out);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw;
    }
}

}  // namespace nsfdb

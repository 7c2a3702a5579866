// Database file -> description.
#include <map>
#include <set>

#include "platform/notes/CdRecords.h"
#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNNote.h"
#include "platform/notes/NotesState.h"
#include "platform/notes/NsfFile.h"
#include "platform/notes/TimeDate.h"
#include "platform/sys/Text.h"
#include "tools/nsfdb/Description.h"

namespace nsfdb {

using namespace notes;

namespace {

std::string Utf8(const std::string& lmbcs) { return sys::Utf16ToUtf8(sys::LmbcsToUtf16(lmbcs)); }

bool IsSummaryType(WORD t) {
    return t == TYPE_TEXT || t == TYPE_TEXT_LIST || t == TYPE_TIME || t == TYPE_TIME_RANGE || t == TYPE_NUMBER ||
           t == TYPE_NUMBER_RANGE;
}

Json TimeJson(const TIMEDATE& td) {
    std::string iso = IsoTimeText(td);
    if (DecodeTime(td).dst) return Json{{"datetime", iso}, {"dst", true}};
    return iso;
}

Json FontJson(const CFont& f, Json run) {
    if (f.attrib & ISBOLD) run["bold"] = true;
    if (f.attrib & ISITALIC) run["italic"] = true;
    if (f.attrib & ISUNDERLINE) run["underline"] = true;
    if (f.attrib & ISSTRIKEOUT) run["strikeout"] = true;
    if (f.size != 10) run["size"] = f.size;
    if (f.color != 0) run["color"] = NotesColorName(f.color);
    if (f.face == FONT_FACE_ROMAN) run["font"] = "roman";
    if (f.face == FONT_FACE_TYPEWRITER) run["font"] = "typewriter";
    return run;
}

Json RichTextJson(const std::vector<CRtElement>& elements, const std::vector<CNoteLink>& links) {
    Json out = Json::array();
    for (size_t i = 0; i < elements.size(); ++i) {
        const auto& e = elements[i];
        switch (e.kind) {
        case CRtElement::kParagraph:
            // A paragraph begins with its first default-font run, if any.
            if (i + 1 < elements.size() && elements[i + 1].kind == CRtElement::kText && elements[i + 1].font.IsDefault()) {
                out.push_back(Utf8(elements[i + 1].text));
                ++i;
            } else {
                out.push_back("");
            }
            break;
        case CRtElement::kText:
            out.push_back(FontJson(e.font, Json{{"text", Utf8(e.text)}}));
            break;
        case CRtElement::kLink: {
            CNoteLink l{};
            if (e.linkIndex < links.size()) l = links[e.linkIndex];
            Json d{{"replicaId", ReplicaText(l.file)}, {"view", UnidText(l.view)}, {"document", UnidText(l.note)},
                   {"description", Utf8(e.text)}};
            if (!e.serverHint.empty()) d["server"] = Utf8(e.serverHint);
            out.push_back(Json{{"doclink", d}});
            break;
        }
        case CRtElement::kImage:
            out.push_back(Json{{"image", Json{{"base64", Base64Encode(e.bytes)}}}});
            break;
        case CRtElement::kAttachment:
            out.push_back(Json{{"attachment", Utf8(e.uniqueName)}});
            break;
        }
    }
    return out;
}

Json HtmlJson(const std::string& raw) {
    std::string data = raw.substr(2);
    if (data.size() % 2 == 0 && data.size() >= 2 && data[1] == '\0')
        return Json{{"html", sys::Utf16ToUtf8(sys::FromUtf16LeBytes(data))}, {"charset", "utf-16"}};
    return Json{{"html", sys::Utf16ToUtf8(sys::AnsiToUtf16(data))}, {"charset", "ansi"}};
}

Json TimesJson(const CTimeValues& v) {
    if (v.times.empty() && v.ranges.size() == 1)
        return Json{{"range", Json::array({TimeJson(v.ranges[0].Lower), TimeJson(v.ranges[0].Upper)})}};
    Json out{{"datetimes", Json::array()}};
    for (const auto& t : v.times) out["datetimes"].push_back(TimeJson(t));
    if (!v.ranges.empty()) {
        out["ranges"] = Json::array();
        for (const auto& r : v.ranges) out["ranges"].push_back(Json::array({TimeJson(r.Lower), TimeJson(r.Upper)}));
    }
    return out;
}

Json RawJson(const std::string& raw) {
    return Json{{"raw", Base64Encode(raw.substr(2))}, {"type", RawType(raw)}};
}

Json ValueJson(const std::string& raw) {
    WORD type = RawType(raw);
    switch (type) {
    case TYPE_TEXT:
        if (auto v = DecodeTextValues(raw)) return Utf8(v->front());
        break;
    case TYPE_TEXT_LIST:
        if (auto v = DecodeTextValues(raw)) {
            Json list = Json::array();
            for (const auto& s : *v) list.push_back(Utf8(s));
            return list;
        }
        break;
    case TYPE_TIME:
        if (auto v = DecodeTimes(raw)) {
            Json t = TimeJson(v->times[0]);
            return t.is_string() ? Json{{"datetime", t}} : t;
        }
        break;
    case TYPE_TIME_RANGE:
        if (auto v = DecodeTimes(raw)) return TimesJson(*v);
        break;
    case TYPE_NUMBER:
        if (auto v = DecodeNumbers(raw)) return Json{{"number", v->front()}};
        break;
    case TYPE_NUMBER_RANGE:
        if (auto v = DecodeNumbers(raw)) return Json{{"numbers", *v}};
        break;
    case TYPE_HTML:
        return HtmlJson(raw);
    default:
        break;
    }
    return RawJson(raw);
}

class CDumper {
public:
    explicit CDumper(CNotesSource& file) : file(file) {}
    Json Document(const CNoteRow& note);

private:
    void Items(const CNoteRow& note, size_t from, Json& doc, std::vector<CNoteLink>& linksSeen);
    CNotesSource& file;
};

void CDumper::Items(const CNoteRow& note, size_t from, Json& doc, std::vector<CNoteLink>& generated) {
    std::vector<CNoteLink> links;
    for (const auto& it : note.items)
        if (SameName(it.name, "$Links"))
            if (auto l = DecodeNoteLinks(it.raw)) links = *l;
    Json items = Json::object();
    std::set<std::string> sealed;
    for (size_t i = from; i < note.items.size(); ++i) {
        const auto& item = note.items[i];
        WORD type = RawType(item.raw);
        if (item.flags & ITEM_SEAL) sealed.insert(Utf8(item.name));
        if (SameName(item.name, "$FILE") && type == TYPE_OBJECT && DecodeFileObject(item.raw)) continue;
        if (SameName(item.name, "$Links") && type == TYPE_NOTELINK_LIST) continue;
        Json value;
        size_t last = i;
        if (type == TYPE_COMPOSITE) {
            std::vector<std::string> parts;
            while (last < note.items.size() && note.items[last].name == item.name &&
                   RawType(note.items[last].raw) == TYPE_COMPOSITE)
                parts.push_back(note.items[last++].raw);
            --last;
            try {
                auto elements = DecodeRichText(parts);
                for (const auto& e : elements) {
                    if (e.kind != CRtElement::kLink) continue;
                    generated.push_back(e.linkIndex < links.size() ? links[e.linkIndex] : CNoteLink{});
                }
                value = Json{{"richtext", RichTextJson(elements, links)}};
            } catch (const CCdError&) {
                value = RawJson(item.raw);
                last = i;
            }
        } else {
            value = ValueJson(item.raw);
        }
        WORD defaultFlags = IsSummaryType(type) ? ITEM_SUMMARY : 0;
        WORD flags = static_cast<WORD>(item.flags & ~ITEM_SEAL);
        if (flags != defaultFlags) value = Json{{"value", value}, {"flags", flags}};
        items[Utf8(item.name)] = value;
        i = last;
    }
    doc["items"] = items;
    if (note.encrypted && !(sealed.size() == 1 && *sealed.begin() == "Body")) doc["sealed"] = sealed;
}

Json CDumper::Document(const CNoteRow& note) {
    Json doc;
    doc["noteId"] = note.id;
    doc["unid"] = UnidText(note.unid);
    size_t from = 0;
    if (!note.items.empty() && note.items[0].name == "Form" && RawType(note.items[0].raw) == TYPE_TEXT &&
        note.items[0].flags == ITEM_SUMMARY) {
        doc["form"] = Utf8(note.items[0].raw.substr(2));
        from = 1;
    }
    if (!IsNullTime(note.created)) doc["created"] = TimeJson(note.created);
    if (!IsNullTime(note.modified)) doc["modified"] = TimeJson(note.modified);
    if (note.encrypted) doc["encrypted"] = true;
    if (note.isSigned) doc["signed"] = true;
    std::vector<CNoteLink> generated;
    Items(note, from, doc, generated);
    bool hasLinksItem = false;
    for (const auto& it : note.items) hasLinksItem = hasLinksItem || SameName(it.name, "$Links");
    if (!generated.empty() && !hasLinksItem) doc["linksItem"] = false;
    Json attachments = Json::array();
    for (const auto& it : note.items) {
        if (!SameName(it.name, "$FILE")) continue;
        auto f = DecodeFileObject(it.raw);
        if (!f) continue;
        auto bytes = file.ReadObject(*f);
        attachments.push_back(Json{{"name", Utf8(f->name)}, {"base64", Base64Encode(bytes.value_or(""))}});
    }
    if (!attachments.empty()) doc["attachments"] = attachments;
    return doc;
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

}  // namespace

Json DumpDatabase(const std::filesystem::path& database) {
    auto source = OpenNotesSource(database.string());
    CNotesSource& file = *source;
    Json out;
    out["title"] = Utf8(file.Title());
    out["replicaId"] = ReplicaText(file.ReplicaId());
    Json forms = Json::object();
    for (const auto& form : file.ReadForms()) {
        Json fields = Json::array();
        for (const auto& f : form.fields) {
            const char* name = FieldTypeName(f.type);
            fields.push_back(Json{{"name", Utf8(f.name)}, {"type", name ? Json(name) : Json(f.type)}});
        }
        forms[Utf8(form.name)] = fields;
    }
    out["forms"] = forms;
    Json docs = Json::array();
    CDumper dumper(file);
    for (NOTEID id : file.NoteIds(kClassDocument))
        if (auto note = file.ReadNote(id)) docs.push_back(dumper.Document(*note));
    out["documents"] = docs;
    Json views = Json::array();
    for (const auto& v : file.ReadViews(true)) {
        Json view{{"name", Utf8(v.name)}, {"folder", v.folder}, {"noteId", v.id}, {"type", v.type}};
        if (auto note = file.ReadNote(v.id)) view["unid"] = UnidText(note->unid);
        Json entries = Json::array();
        for (const auto& e : v.entries) {
            if (e.noteId == 0) entries.push_back(nullptr);
            else if (e.unread) entries.push_back(Json{{"noteId", e.noteId}, {"unread", true}});
            else entries.push_back(e.noteId);
        }
        view["entries"] = entries;
        views.push_back(view);
    }
    out["views"] = views;
    return out;
}

}  // namespace nsfdb

// Description -> database file.
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

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

constexpr NOTEID kFirstNoteId = 0x900;
constexpr WORD kSummaryTypes[] = {TYPE_TEXT, TYPE_TEXT_LIST, TYPE_TIME, TYPE_TIME_RANGE, TYPE_NUMBER,
                                  TYPE_NUMBER_RANGE};

std::string Lmbcs(const std::string& utf8) { return sys::Utf16ToLmbcs(sys::Utf8ToUtf16(utf8)); }

// Where an error happened, for the message.
struct CPlace {
    std::string document;   // e.g. "document 3 (noteId 2310)"
    std::string item;
    [[noreturn]] void Fail(const std::string& what) const {
        std::string where = document.empty() ? "" : document;
        if (!item.empty()) where += (where.empty() ? "" : ", ") + std::string("item \"") + item + "\"";
        throw CDescriptionError((where.empty() ? "" : where + ": ") + what);
    }
};

std::string ReadFile(const std::filesystem::path& path, const CPlace& place) {
    std::ifstream in(path, std::ios::binary);
    if (!in) place.Fail("cannot read file \"" + path.string() + "\"");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string StringOf(const Json& v, const CPlace& place, const char* what) {
    if (!v.is_string()) place.Fail(std::string(what) + " must be a string");
    return v.get<std::string>();
}

// A time given as an ISO string or {"datetime": ISO, "dst": bool}.
TIMEDATE TimeOf(const Json& v, const CPlace& place) {
    std::string text;
    bool dst = false;
    if (v.is_string()) {
        text = v.get<std::string>();
    } else if (v.is_object() && v.contains("datetime")) {
        text = StringOf(v["datetime"], place, "datetime");
        dst = v.value("dst", false);
    } else {
        place.Fail("a date/time must be an ISO 8601 string");
    }
    auto td = ParseIsoTime(text, dst);
    if (!td) place.Fail("invalid date/time \"" + text + "\"");
    return *td;
}

CTimeValues TimesOf(const Json& v, const CPlace& place) {
    CTimeValues out;
    if (v.contains("datetimes")) {
        if (!v["datetimes"].is_array()) place.Fail("\"datetimes\" must be an array");
        for (const auto& t : v["datetimes"]) out.times.push_back(TimeOf(t, place));
    }
    auto addRange = [&](const Json& r) {
        if (!r.is_array() || r.size() != 2) place.Fail("a range must be an array of two date/times");
        out.ranges.push_back({TimeOf(r[0], place), TimeOf(r[1], place)});
    };
    if (v.contains("range")) addRange(v["range"]);
    if (v.contains("ranges")) {
        if (!v["ranges"].is_array()) place.Fail("\"ranges\" must be an array");
        for (const auto& r : v["ranges"]) addRange(r);
    }
    return out;
}

struct CDocContext {
    CPlace place;
    std::vector<CNoteLink> links;
    std::set<std::string> attachmentNames;   // LMBCS
    const std::filesystem::path* baseDir = nullptr;
};

CFont FontOf(const Json& run, const CPlace& place) {
    CFont f;
    if (run.value("bold", false)) f.attrib |= ISBOLD;
    if (run.value("italic", false)) f.attrib |= ISITALIC;
    if (run.value("underline", false)) f.attrib |= ISUNDERLINE;
    if (run.value("strikeout", false)) f.attrib |= ISSTRIKEOUT;
    if (run.contains("size")) {
        if (!run["size"].is_number_integer() || run["size"].get<int>() < 1 || run["size"].get<int>() > 255)
            place.Fail("font size must be a number of points from 1 to 255");
        f.size = static_cast<BYTE>(run["size"].get<int>());
    }
    if (run.contains("color")) {
        int c = NotesColorIndex(StringOf(run["color"], place, "color"));
        if (c < 0) place.Fail("unknown colour \"" + run["color"].get<std::string>() + "\"");
        f.color = static_cast<BYTE>(c);
    }
    if (run.contains("font")) {
        std::string face = StringOf(run["font"], place, "font");
        if (face == "roman") f.face = FONT_FACE_ROMAN;
        else if (face == "swiss") f.face = FONT_FACE_SWISS;
        else if (face == "typewriter") f.face = FONT_FACE_TYPEWRITER;
        else place.Fail("unknown font \"" + face + "\" (roman, swiss or typewriter)");
    }
    return f;
}

// Text runs of at most 10,000 UTF-16 units (30,000 LMBCS bytes at most),
// split at line feeds into paragraphs.
void AddText(std::vector<CRtElement>& out, const std::string& utf8, const CFont& font, bool newParagraph) {
    std::u16string text = sys::Utf8ToUtf16(utf8);
    size_t start = 0;
    bool first = true;
    while (true) {
        size_t end = text.find(u'\n', start);
        std::u16string line = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        if (newParagraph || !first) out.push_back(CRtElement{});
        for (size_t at = 0; at < line.size();) {
            size_t n = std::min<size_t>(10000, line.size() - at);
            if (at + n < line.size() && line[at + n - 1] >= 0xD800 && line[at + n - 1] <= 0xDBFF) --n;
            CRtElement run;
            run.kind = CRtElement::kText;
            run.font = font;
            run.text = sys::Utf16ToLmbcs(line.substr(at, n));
            out.push_back(run);
            at += n;
        }
        if (end == std::u16string::npos) break;
        start = end + 1;
        first = false;
    }
}

std::string ImageBytes(const Json& image, CDocContext& ctx) {
    if (image.is_string()) return ReadFile(*ctx.baseDir / image.get<std::string>(), ctx.place);
    if (image.is_object() && image.contains("path"))
        return ReadFile(*ctx.baseDir / StringOf(image["path"], ctx.place, "image path"), ctx.place);
    if (image.is_object() && image.contains("base64")) {
        try {
            return Base64Decode(StringOf(image["base64"], ctx.place, "image base64"));
        } catch (const std::invalid_argument&) {
            ctx.place.Fail("image \"base64\" is not base64 text");
        }
    }
    ctx.place.Fail("an image is a file path or {\"path\": ...} or {\"base64\": ...}");
}

CRtElement LinkOf(const Json& d, CDocContext& ctx) {
    if (!d.is_object()) ctx.place.Fail("a doclink must be an object");
    CNoteLink link;
    auto replica = ParseReplicaText(StringOf(d.value("replicaId", Json("")), ctx.place, "replicaId"));
    if (!replica) ctx.place.Fail("doclink \"replicaId\" must be 16 hexadecimal digits");
    link.file = *replica;
    auto unidOf = [&](const char* key) {
        if (!d.contains(key)) return UNID{};
        auto u = ParseUnidText(StringOf(d[key], ctx.place, key));
        if (!u) ctx.place.Fail(std::string("doclink \"") + key + "\" must be 32 hexadecimal digits");
        return *u;
    };
    link.view = unidOf("view");
    link.note = unidOf("document");
    CRtElement e;
    e.kind = CRtElement::kLink;
    e.linkIndex = static_cast<WORD>(ctx.links.size());
    e.text = Lmbcs(d.value("description", std::string()));
    e.serverHint = Lmbcs(d.value("server", std::string()));
    ctx.links.push_back(link);
    return e;
}

std::vector<CRtElement> RichTextOf(const Json& list, CDocContext& ctx) {
    if (!list.is_array()) ctx.place.Fail("\"richtext\" must be an array");
    std::vector<CRtElement> out;
    auto ensureParagraph = [&] {
        if (out.empty()) out.push_back(CRtElement{});
    };
    for (const auto& el : list) {
        if (el.is_string()) {
            AddText(out, el.get<std::string>(), CFont{}, true);
            continue;
        }
        if (!el.is_object()) ctx.place.Fail("rich-text elements are strings or objects");
        ensureParagraph();
        if (el.contains("text")) {
            AddText(out, StringOf(el["text"], ctx.place, "text"), FontOf(el, ctx.place), false);
        } else if (el.contains("doclink")) {
            out.push_back(LinkOf(el["doclink"], ctx));
        } else if (el.contains("image")) {
            CRtElement img;
            img.kind = CRtElement::kImage;
            img.bytes = ImageBytes(el["image"], ctx);
            if (!ProbeImage(img.bytes, &img.imageType, &img.width, &img.height))
                ctx.place.Fail("image is neither GIF nor JPEG");
            out.push_back(img);
        } else if (el.contains("attachment")) {
            CRtElement a;
            a.kind = CRtElement::kAttachment;
            a.uniqueName = Lmbcs(StringOf(el["attachment"], ctx.place, "attachment"));
            a.text = a.uniqueName;
            if (!ctx.attachmentNames.count(a.uniqueName))
                ctx.place.Fail("attachment \"" + el["attachment"].get<std::string>() + "\" is not among the document's attachments");
            out.push_back(a);
        } else {
            ctx.place.Fail("unknown rich-text element " + el.dump());
        }
    }
    return out;
}

std::string HtmlOf(const Json& v, const CPlace& place) {
    std::u16string text = sys::Utf8ToUtf16(StringOf(v["html"], place, "html"));
    std::string charset = v.value("charset", std::string("utf-16"));
    std::string raw;
    PutWord(raw, TYPE_HTML);
    if (charset == "utf-16") {
        if (!text.empty() && (text[0] == 0 || text[0] > 0xFF))
            place.Fail("an HTML item in UTF-16 must begin with a character below U+0100");
        return raw + sys::ToUtf16LeBytes(text);
    }
    if (charset == "ansi") return raw + sys::Utf16ToAnsi(text);
    place.Fail("unknown HTML charset \"" + charset + "\" (utf-16 or ansi)");
}

bool IsSummaryType(WORD type) {
    for (WORD t : kSummaryTypes)
        if (t == type) return true;
    return false;
}

// Raw values of one item (several for rich text).
std::vector<std::string> ValuesOf(const Json& v, CDocContext& ctx) {
    const CPlace& place = ctx.place;
    if (v.is_string()) return {EncodeText(Lmbcs(v.get<std::string>()))};
    if (v.is_array()) {
        std::vector<std::string> list;
        for (const auto& s : v) list.push_back(Lmbcs(StringOf(s, place, "a text list value")));
        return {EncodeTextList(list)};
    }
    if (!v.is_object()) place.Fail("unsupported item value " + v.dump());
    if (v.contains("datetime")) return {EncodeTime(TimeOf(v, place))};
    if (v.contains("datetimes") || v.contains("range") || v.contains("ranges"))
        return {EncodeTimeList(TimesOf(v, place))};
    if (v.contains("number")) {
        if (!v["number"].is_number()) place.Fail("\"number\" must be a number");
        return {EncodeNumber(v["number"].get<double>())};
    }
    if (v.contains("numbers")) {
        std::vector<double> n;
        for (const auto& x : v["numbers"]) {
            if (!x.is_number()) place.Fail("\"numbers\" must hold numbers");
            n.push_back(x.get<double>());
        }
        return {EncodeNumberList(n)};
    }
    if (v.contains("richtext")) return EncodeRichText(RichTextOf(v["richtext"], ctx));
    if (v.contains("html")) return {HtmlOf(v, place)};
    if (v.contains("raw")) {
        if (!v.contains("type") || !v["type"].is_number_integer()) place.Fail("a raw value needs its \"type\" number");
        std::string raw;
        PutWord(raw, static_cast<WORD>(v["type"].get<int>()));
        try {
            return {raw + Base64Decode(StringOf(v["raw"], place, "raw"))};
        } catch (const std::invalid_argument&) {
            place.Fail("\"raw\" is not base64 text");
        }
    }
    place.Fail("unsupported item value " + v.dump());
}

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
    void Attachments(const Json& doc, CNoteRow& note, CDocContext& ctx, CNsfWriter& writer);

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

void CBuilder::Attachments(const Json& doc, CNoteRow& note, CDocContext& ctx, CNsfWriter& writer) {
    if (!doc.contains("attachments")) return;
    for (const auto& a : doc["attachments"]) {
        CPlace place = ctx.place;
        place.item = "$FILE";
        if (!a.is_object() || !a.contains("name")) place.Fail("an attachment needs a \"name\"");
        std::string name = StringOf(a["name"], place, "attachment name");
        place.item = "$FILE " + name;
        std::string bytes;
        if (a.contains("path")) bytes = ReadFile(baseDir / StringOf(a["path"], place, "path"), place);
        else if (a.contains("text")) bytes = StringOf(a["text"], place, "text");
        else if (a.contains("base64")) {
            try {
                bytes = Base64Decode(StringOf(a["base64"], place, "base64"));
            } catch (const std::invalid_argument&) {
                place.Fail("\"base64\" is not base64 text");
            }
        } else place.Fail("an attachment needs \"path\", \"text\" or \"base64\"");
        CFileObject file;
        file.rrv = nextObject++;
        file.fileSize = static_cast<DWORD>(bytes.size());
        file.name = Lmbcs(name);
        file.created = file.modified = note.modified;
        writer.AddObject(file.rrv, note.id, bytes);
        note.items.push_back({"$FILE", 0, EncodeFileObject(file)});
    }
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
    CDocContext ctx{docPlace, {}, {}, &baseDir};
    if (doc.contains("attachments")) {
        if (!doc["attachments"].is_array()) docPlace.Fail("\"attachments\" must be an array");
        for (const auto& a : doc["attachments"])
            if (a.is_object() && a.contains("name") && a["name"].is_string()) ctx.attachmentNames.insert(Lmbcs(a["name"].get<std::string>()));
    }
    if (doc.contains("form"))
        note.items.push_back({"Form", flagsFor("Form", TYPE_TEXT), EncodeText(Lmbcs(StringOf(doc["form"], docPlace, "form")))});
    if (doc.contains("items")) {
        if (!doc["items"].is_object()) docPlace.Fail("\"items\" must be an object");
        for (const auto& [name, value] : doc["items"].items()) {
            ctx.place.item = name;
            const Json* v = &value;
            std::optional<WORD> flags;
            if (value.is_object() && value.contains("value")) {
                v = &value["value"];
                if (value.contains("flags")) flags = static_cast<WORD>(value["flags"].get<int>());
            }
            std::string lname = Lmbcs(name);
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
    Attachments(doc, note, ctx, writer);
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

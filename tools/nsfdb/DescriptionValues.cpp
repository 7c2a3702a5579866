// Description values -> raw item values.
#include "tools/nsfdb/DescriptionValues.h"

#include <fstream>
#include <sstream>

#include "platform/notes/CdRecords.h"
#include "platform/notes/TimeDate.h"
#include "platform/sys/Text.h"

namespace nsfdb {

using namespace notes;

namespace {

constexpr WORD kSummaryTypes[] = {TYPE_TEXT, TYPE_TEXT_LIST, TYPE_TIME, TYPE_TIME_RANGE, TYPE_NUMBER,
                                  TYPE_NUMBER_RANGE};
constexpr size_t kRunLength = 10000;   // UTF-16 units of one text record

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

BYTE FaceOf(const Json& font, const CPlace& place) {
    if (font.is_number_integer() && font.get<int>() >= 0 && font.get<int>() <= 255)
        return static_cast<BYTE>(font.get<int>());
    std::string face = StringOf(font, place, "font");
    if (face == "roman") return FONT_FACE_ROMAN;
    if (face == "swiss") return FONT_FACE_SWISS;
    if (face == "typewriter") return FONT_FACE_TYPEWRITER;
    place.Fail("unknown font \"" + face + "\" (roman, swiss, typewriter or a face number)");
}

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
    if (run.contains("font")) f.face = FaceOf(run["font"], place);
    return f;
}

CRtElement TextRun(const std::u16string& text, const CFont& font) {
    CRtElement run;
    run.kind = CRtElement::kText;
    run.font = font;
    run.text = sys::Utf16ToLmbcs(text);
    return run;
}

// Text runs of at most 10,000 UTF-16 units (30,000 LMBCS bytes at most),
// split at line feeds into paragraphs. A run object with empty text is an
// empty text record.
void AddText(std::vector<CRtElement>& out, const std::string& utf8, const CFont& font, bool newParagraph) {
    std::u16string text = sys::Utf8ToUtf16(utf8);
    if (text.empty() && !newParagraph) {
        out.push_back(TextRun(text, font));
        return;
    }
    size_t start = 0;
    bool first = true;
    while (true) {
        size_t end = text.find(u'\n', start);
        std::u16string line = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        if (newParagraph || !first) out.push_back(CRtElement{});
        for (size_t at = 0; at < line.size();) {
            size_t n = std::min(kRunLength, line.size() - at);
            if (at + n < line.size() && line[at + n - 1] >= 0xD800 && line[at + n - 1] <= 0xDBFF) --n;
            out.push_back(TextRun(line.substr(at, n), font));
            at += n;
        }
        if (end == std::u16string::npos) break;
        start = end + 1;
        first = false;
    }
}

std::string ImageBytes(const Json& image, CDocContext& ctx) {
    if (image.is_string()) return ReadFile(ctx.baseDir / image.get<std::string>(), ctx.place);
    if (image.is_object() && image.contains("path"))
        return ReadFile(ctx.baseDir / StringOf(image["path"], ctx.place, "image path"), ctx.place);
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

CRtElement ImageOf(const Json& image, CDocContext& ctx) {
    CRtElement img;
    img.kind = CRtElement::kImage;
    img.bytes = ImageBytes(image, ctx);
    if (!ProbeImage(img.bytes, &img.imageType, &img.width, &img.height)) ctx.place.Fail("image is neither GIF nor JPEG");
    return img;
}

CRtElement AttachmentOf(const Json& name, CDocContext& ctx) {
    CRtElement a;
    a.kind = CRtElement::kAttachment;
    a.uniqueName = Lmbcs(StringOf(name, ctx.place, "attachment"));
    a.text = a.uniqueName;
    if (!ctx.attachmentNames.count(a.uniqueName))
        ctx.place.Fail("attachment \"" + name.get<std::string>() + "\" is not among the document's attachments");
    return a;
}

std::vector<CRtElement> RichTextOf(const Json& list, CDocContext& ctx) {
    if (!list.is_array()) ctx.place.Fail("\"richtext\" must be an array");
    std::vector<CRtElement> out;
    for (const auto& el : list) {
        if (el.is_string()) {
            AddText(out, el.get<std::string>(), CFont{}, true);
            continue;
        }
        // Runs before the first paragraph string belong to the field's first
        // paragraph, which needs no paragraph record of its own.
        if (!el.is_object()) ctx.place.Fail("rich-text elements are strings or objects");
        if (el.contains("text")) AddText(out, StringOf(el["text"], ctx.place, "text"), FontOf(el, ctx.place), false);
        else if (el.contains("doclink")) out.push_back(LinkOf(el["doclink"], ctx));
        else if (el.contains("image")) out.push_back(ImageOf(el["image"], ctx));
        else if (el.contains("attachment")) out.push_back(AttachmentOf(el["attachment"], ctx));
        else ctx.place.Fail("unknown rich-text element " + el.dump());
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

// An array of texts gives one item per value, all of this name and type
// (the parts of a MIME body).
std::vector<std::string> RawsOf(const Json& v, const CPlace& place) {
    if (!v.contains("type") || !v["type"].is_number_integer()) place.Fail("a raw value needs its \"type\" number");
    std::string word;
    PutWord(word, static_cast<WORD>(v["type"].get<int>()));
    Json texts = v["raw"].is_array() ? v["raw"] : Json::array({v["raw"]});
    std::vector<std::string> raws;
    try {
        for (const auto& text : texts) raws.push_back(word + Base64Decode(StringOf(text, place, "raw")));
    } catch (const std::invalid_argument&) {
        place.Fail("\"raw\" is not base64 text");
    }
    return raws;
}

std::vector<double> NumbersOf(const Json& v, const CPlace& place) {
    std::vector<double> n;
    if (!v.is_array()) place.Fail("\"numbers\" must be an array");
    for (const auto& x : v) {
        if (!x.is_number()) place.Fail("\"numbers\" must hold numbers");
        n.push_back(x.get<double>());
    }
    return n;
}

}  // namespace

void CPlace::Fail(const std::string& what) const {
    std::string where = document;
    if (!item.empty()) where += (where.empty() ? "" : ", ") + std::string("item \"") + item + "\"";
    throw CDescriptionError((where.empty() ? "" : where + ": ") + what);
}

std::string Lmbcs(const std::string& utf8) { return sys::Utf16ToLmbcs(sys::Utf8ToUtf16(utf8)); }

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

bool IsSummaryType(WORD type) {
    for (WORD t : kSummaryTypes)
        if (t == type) return true;
    return false;
}

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
    if (v.contains("numbers")) return {EncodeNumberList(NumbersOf(v["numbers"], place))};
    if (v.contains("richtext")) return EncodeRichText(RichTextOf(v["richtext"], ctx));
    if (v.contains("html")) return {HtmlOf(v, place)};
    if (v.contains("raw")) return RawsOf(v, place);
    place.Fail("unsupported item value " + v.dump());
}

}  // namespace nsfdb

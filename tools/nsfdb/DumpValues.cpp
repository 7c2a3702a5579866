// Raw item values -> description values.
#include "tools/nsfdb/DumpValues.h"

#include <cmath>

#include "platform/notes/CdRecords.h"
#include "platform/notes/TimeDate.h"
#include "platform/sys/Text.h"

namespace nsfdb {

using namespace notes;

namespace {

Json FontJson(const CFont& f, Json run) {
    if (f.attrib & ISBOLD) run["bold"] = true;
    if (f.attrib & ISITALIC) run["italic"] = true;
    if (f.attrib & ISUNDERLINE) run["underline"] = true;
    if (f.attrib & ISSTRIKEOUT) run["strikeout"] = true;
    if (f.size != 10) run["size"] = f.size;
    if (f.color != 0) run["color"] = NotesColorName(f.color);
    if (f.face == FONT_FACE_ROMAN) run["font"] = "roman";
    else if (f.face == FONT_FACE_TYPEWRITER) run["font"] = "typewriter";
    else if (f.face != FONT_FACE_SWISS) run["font"] = f.face;   // an entry of the note's font table
    return run;
}

CNoteLink LinkAt(const std::vector<CNoteLink>& links, WORD index) {
    return index < links.size() ? links[index] : CNoteLink{};
}

Json LinkJson(const CRtElement& e, const std::vector<CNoteLink>& links) {
    CNoteLink l = LinkAt(links, e.linkIndex);
    Json d{{"replicaId", ReplicaText(l.file)}, {"view", UnidText(l.view)}, {"document", UnidText(l.note)},
           {"description", Utf8(e.text)}};
    if (!e.serverHint.empty()) d["server"] = Utf8(e.serverHint);
    return Json{{"doclink", d}};
}

Json ElementsJson(const std::vector<CRtElement>& elements, const std::vector<CNoteLink>& links) {
    Json out = Json::array();
    for (size_t i = 0; i < elements.size(); ++i) {
        const auto& e = elements[i];
        switch (e.kind) {
        case CRtElement::kParagraph: {
            // A paragraph begins with its first default-font run, if any.
            const CRtElement* next = i + 1 < elements.size() ? &elements[i + 1] : nullptr;
            if (next && next->kind == CRtElement::kText && next->font.IsDefault() && !next->text.empty()) {
                out.push_back(Utf8(next->text));
                ++i;
            } else {
                out.push_back("");
            }
            break;
        }
        case CRtElement::kText: out.push_back(FontJson(e.font, Json{{"text", Utf8(e.text)}})); break;
        case CRtElement::kLink: out.push_back(LinkJson(e, links)); break;
        case CRtElement::kImage: out.push_back(Json{{"image", Json{{"base64", Base64Encode(e.bytes)}}}}); break;
        case CRtElement::kAttachment: out.push_back(Json{{"attachment", Utf8(e.uniqueName)}}); break;
        }
    }
    return out;
}

bool SameLink(const CNoteLink& a, const CNoteLink& b) {
    return EncodeNoteLinks({a}) == EncodeNoteLinks({b});
}

bool SameElement(const CRtElement& a, const CRtElement& b, const std::vector<CNoteLink>& links) {
    if (a.kind != b.kind || a.text != b.text) return false;
    switch (a.kind) {
    case CRtElement::kParagraph: return true;
    case CRtElement::kText:
        return a.font.face == b.font.face && a.font.attrib == b.font.attrib && a.font.color == b.font.color &&
               a.font.size == b.font.size;
    case CRtElement::kLink:
        return a.serverHint == b.serverHint && SameLink(LinkAt(links, a.linkIndex), LinkAt(links, b.linkIndex));
    case CRtElement::kImage:
        // The position names the image's file when the body becomes HTML.
        return a.imageType == b.imageType && a.width == b.width && a.height == b.height && a.bytes == b.bytes &&
               a.itemIndex == b.itemIndex && a.offset == b.offset;
    case CRtElement::kAttachment: return a.uniqueName == b.uniqueName;
    }
    return false;
}

// How many elements the records of a field give, when every record is one
// the description format holds: paragraphs with their style references,
// text, links, images and file hotspots with nothing inside. Tables,
// sections, font tables, other hotspots and the like are not.
struct CRecordCount {
    size_t elements = 0;
    bool known = true;
};

void CountRecords(const std::string& raw, CRecordCount& count) {
    bool inHotspot = false;
    for (size_t pos = 2; count.known && pos + 2 <= raw.size();) {
        BYTE low = static_cast<BYTE>(raw[pos]), high = static_cast<BYTE>(raw[pos + 1]);
        size_t length = high;
        WORD signature = low;
        if (high == 0xFF || high == 0x00) {
            if (pos + (high ? 4 : 6) > raw.size()) {
                count.known = false;
                return;
            }
            signature = GetWord(raw, pos);
            length = high ? GetWord(raw, pos + 2) : GetDword(raw, pos + 2);
        }
        if (length < 2 || pos + length > raw.size()) {
            count.known = false;
            return;
        }
        switch (signature) {
        case SIG_CD_PABDEFINITION: case SIG_CD_PABREFERENCE: case SIG_CD_IMAGEHEADER: case SIG_CD_IMAGESEGMENT:
            count.known = !inHotspot;
            break;
        case SIG_CD_PARAGRAPH: case SIG_CD_TEXT: case SIG_CD_LINK2: case SIG_CD_GRAPHIC:
            count.known = !inHotspot;
            ++count.elements;
            break;
        case SIG_CD_HOTSPOTBEGIN:
            count.known = !inHotspot && length >= 6 && GetWord(raw, pos + 4) == HOTSPOTREC_TYPE_FILE;
            inHotspot = true;
            ++count.elements;
            break;
        case SIG_CD_HOTSPOTEND:
            count.known = inHotspot;
            inHotspot = false;
            break;
        default:
            count.known = false;
        }
        pos += length + (length & 1);
    }
    count.known = count.known && !inHotspot;
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

bool Finite(const std::vector<double>& numbers) {
    for (double n : numbers)
        if (!std::isfinite(n)) return false;
    return true;
}

// The readable form of a value; nothing for types without one.
std::optional<Json> ReadableJson(const std::string& raw) {
    switch (RawType(raw)) {
    case TYPE_TEXT:
        if (auto v = DecodeTextValues(raw); v && v->size() == 1) return Json(Utf8(v->front()));
        break;
    case TYPE_TEXT_LIST:
        if (auto v = DecodeTextValues(raw)) {
            Json list = Json::array();
            for (const auto& s : *v) list.push_back(Utf8(s));
            return list;
        }
        break;
    case TYPE_TIME:
        if (auto v = DecodeTimes(raw); v && v->times.size() == 1) {
            Json t = TimeJson(v->times[0]);
            return t.is_string() ? Json{{"datetime", t}} : t;
        }
        break;
    case TYPE_TIME_RANGE:
        if (auto v = DecodeTimes(raw)) return TimesJson(*v);
        break;
    case TYPE_NUMBER:
        if (auto v = DecodeNumbers(raw); v && v->size() == 1 && Finite(*v)) return Json{{"number", v->front()}};
        break;
    case TYPE_NUMBER_RANGE:
        if (auto v = DecodeNumbers(raw); v && Finite(*v)) return Json{{"numbers", *v}};
        break;
    case TYPE_HTML:
        return HtmlJson(raw);
    default:
        break;
    }
    return std::nullopt;
}

}  // namespace

std::string Utf8(const std::string& lmbcs) { return sys::Utf16ToUtf8(sys::LmbcsToUtf16(lmbcs)); }

Json TimeJson(const TIMEDATE& td) {
    std::string iso = IsoTimeText(td);
    if (DecodeTime(td).dst) return Json{{"datetime", iso}, {"dst", true}};
    return iso;
}

bool ExactTime(const TIMEDATE& td) {
    auto back = ParseIsoTime(IsoTimeText(td), DecodeTime(td).dst);
    return back && back->Innards[0] == td.Innards[0] && back->Innards[1] == td.Innards[1];
}

Json RawJson(const std::string& raw) {
    return Json{{"raw", Base64Encode(raw.substr(2))}, {"type", RawType(raw)}};
}

Json ValueJson(const std::string& raw, CDocContext& ctx) {
    auto readable = ReadableJson(raw);
    if (!readable) return RawJson(raw);
    try {
        auto built = ValuesOf(*readable, ctx);
        if (built.size() == 1 && built[0] == raw) return *readable;
    } catch (const CDescriptionError&) {
    }
    return RawJson(raw);
}

std::optional<Json> RichTextJson(const std::vector<std::string>& parts, const std::vector<CNoteLink>& links,
                                 CDocContext& ctx) {
    CRecordCount count;
    for (const auto& part : parts) CountRecords(part, count);
    if (!count.known) return std::nullopt;
    try {
        // A record the decoder passed over (damaged) would be lost.
        auto elements = DecodeRichText(parts);
        if (elements.size() != count.elements) return std::nullopt;
        Json value{{"richtext", ElementsJson(elements, links)}};
        CDocContext trial = ctx;
        auto again = DecodeRichText(ValuesOf(value, trial));
        if (again.size() != elements.size()) return std::nullopt;
        for (size_t i = 0; i < elements.size(); ++i)
            if (!SameElement(elements[i], again[i], links)) return std::nullopt;
        ctx.links = trial.links;
        return value;
    } catch (const CCdError&) {
    } catch (const CDescriptionError&) {
    }
    return std::nullopt;
}

}  // namespace nsfdb

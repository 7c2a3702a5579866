// Decoding of rich-text items into elements (see CdRecords.h): the records
// of one field, over all its items, go through one decoder that keeps what
// spans records (the picture being read, open hotspots, tables, ignored
// runs) and turns what a reader sees into paragraphs, text runs, links,
// images and attachments.
#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/notes/CdRecordWalk.h"
#include "platform/notes/CdRecords.h"
#include "platform/sys/Text.h"

namespace notes {

namespace {

// Signatures read here beyond the ones the header names.
enum : WORD {
    SIG_CD_BIDI_TEXT = 0xFFE4,
    SIG_CD_CAPTION = 0xFF76,
    SIG_CD_BUTTON = 0xFFAB,
    SIG_CD_BAR = 0xFFAC,
    SIG_CD_V4HOTSPOTBEGIN = 0xFFAD,
    SIG_CD_V5HOTSPOTBEGIN = 0xFF7E,
    SIG_CD_V4HOTSPOTEND = 0x00AE,
    SIG_CD_V5HOTSPOTEND = 0x007F,
    SIG_CD_TABLEBEGIN = 0x00A3,
    SIG_CD_TABLECELL = 0x00A4,
    SIG_CD_TABLEEND = 0x00A5,
    SIG_CD_NESTEDTABLEBEGIN = 0x00CF,
    SIG_CD_NESTEDTABLECELL = 0x00D0,
    SIG_CD_NESTEDTABLEEND = 0x00D1,
    SIG_CD_TABLELABEL = 0xFFE3,
    SIG_CD_IGNORE = 0x0059,
    SIG_CD_LARGE_PARAGRAPH = 0xFF68,
};

enum : WORD { HOTSPOTREC_TYPE_HOTLINK = 11 };
constexpr DWORD HOTSPOTREC_RUNFLAG_COMPUTED = 0x10 | 0x80 | 0x100;   // formula, action, script
constexpr DWORD BARREC_ISFORMULA = 0x2000;
constexpr DWORD BARREC_HAS_COLOR = 0x04000000;
constexpr BYTE CDTABLECELL_INVISIBLE = 0x04 | 0x08;   // covered by a spanning cell
constexpr DWORD CDIGNORE_BEGIN = 0x1, CDIGNORE_END = 0x2;
constexpr WORD CDIGNORE_NOTES_VERSION_CURRENT = 1;
constexpr WORD CDLARGEPARAGRAPH_BEGIN = 0x1, CDLARGEPARAGRAPH_END = 0x2;
constexpr BYTE kFirstTableFace = 5;   // faces from 5 on are defined in $Fonts
constexpr size_t kFaceSize = 34;      // CDFACE: face, family, name[32]
constexpr size_t kLabelSize = 128;    // CDTABLELABEL's label

WORD Word(std::string_view b, size_t at) {
    if (at + 2 > b.size()) return 0;
    return static_cast<WORD>(static_cast<BYTE>(b[at]) | static_cast<BYTE>(b[at + 1]) << 8);
}
DWORD Dword(std::string_view b, size_t at) {
    return at + 4 > b.size() ? 0 : Word(b, at) | static_cast<DWORD>(Word(b, at + 2)) << 16;
}
TIMEDATE Time(std::string_view b, size_t at) { return TIMEDATE{{Dword(b, at), Dword(b, at + 4)}}; }
UNID Unid(std::string_view b, size_t at) { return UNID{Time(b, at), Time(b, at + 8)}; }

// The zero-terminated string at *at, up to the end when it has no zero.
std::string CString(std::string_view b, size_t* at, bool* terminated = nullptr) {
    size_t from = std::min(*at, b.size());
    size_t end = b.find('\0', from);
    if (terminated) *terminated = end != std::string_view::npos;
    if (end == std::string_view::npos) end = b.size();
    *at = end + 1;
    return std::string(b.substr(from, end - from));
}

CFont FontAt(std::string_view b, size_t at) {
    if (at + 4 > b.size()) return CFont{};
    return {static_cast<BYTE>(b[at]), static_cast<BYTE>(b[at + 1]), static_cast<BYTE>(b[at + 2]),
            static_cast<BYTE>(b[at + 3])};
}

// A zero inside a text run is a line break.
std::string LineBreaks(std::string text) {
    if (text.find('\0') == std::string::npos) return text;
    std::u16string wide = sys::LmbcsToUtf16(text), out;
    for (char16_t c : wide) out += c == u'\0' ? std::u16string(u"\r\n") : std::u16string(1, c);
    return sys::Utf16ToLmbcs(out);
}

// The standard face nearest a font-table face's pitch and family.
BYTE StandardFace(BYTE family) {
    bool fixedPitch = (family & 0x03) == 1;
    BYTE kind = family & 0xF0;
    if (fixedPitch || kind == 0x30) return FONT_FACE_TYPEWRITER;
    return kind == 0x10 ? FONT_FACE_ROMAN : FONT_FACE_SWISS;
}

bool IsFontTable(std::string_view body) {
    WORD fonts = Word(body, 0);
    return fonts > 0 && body.size() == 2 + fonts * kFaceSize;
}

class CRtDecoder {
public:
    explicit CRtDecoder(const CRtContext& context) : context(context) {}
    void Item(const std::string& raw, int index);
    CRtDecoded Finish();

private:
    struct CHotspot {
        WORD type;
        std::string url;
    };
    struct CTable {
        int row = -1;
        bool rowHasCell = false;
        size_t rowStart = 0;       // element where the current row's content begins
        bool cellOpening = false;  // the cell's first paragraph record is still to come
    };

    void Record(const CCdRecord& r);
    CRtElement& Add(CRtElement::EKind kind, bool shows = true);
    void Damaged() { ++result.damagedRecords; }
    void Paragraph();
    void Run(std::string text, const CFont& font);
    void Text(std::string_view b);
    void Link(std::string_view b);
    void LinkExport(std::string_view b);
    void LinkStrings(CRtElement& e, std::string_view b, size_t at);
    void ImageHeader(std::string_view b);
    void ImageSegment(std::string_view b);
    void CloseImage();
    void HotspotBegin(std::string_view b);
    void Attachment(std::string_view data);
    void Bar(std::string_view b);
    void Button(std::string_view b);
    void Caption(std::string_view b);
    void TableCell(std::string_view b);
    void TableLabel(std::string_view b);
    void Ignore(std::string_view b);
    bool InAttachment() const;

    const CRtContext& context;
    CRtDecoded result;
    int itemIndex = 0;
    uint32_t offset = 0;
    bool paragraphHasContent = false;
    bool largeParagraph = false;
    int ignoring = 0;
    std::optional<std::pair<int, uint32_t>> graphic;   // where the picture being read begins
    std::optional<size_t> image;                        // its element, once its header is read
    DWORD imageSize = 0;
    std::vector<CHotspot> hotspots;
    std::vector<CTable> tables;
};

void CRtDecoder::Item(const std::string& raw, int index) {
    if (RawType(raw) != TYPE_COMPOSITE) {
        ++result.foreignItems;
        return;
    }
    itemIndex = index;
    CCdRecordWalk walk(std::string_view(raw).substr(2));
    CCdRecord r;
    while (walk.Next(&r)) Record(r);
    result.damagedRecords += walk.Damaged();
    result.lostBytes += walk.LostBytes();
}

CRtDecoded CRtDecoder::Finish() {
    CloseImage();
    auto& e = result.elements;
    e.erase(std::remove_if(e.begin(), e.end(), [](const CRtElement& x) { return x.kind == CRtElement::kImage && x.bytes.empty(); }),
            e.end());
    return std::move(result);
}

void CRtDecoder::Record(const CCdRecord& r) {
    offset = static_cast<uint32_t>(r.start);
    WORD sig = r.Signature();
    if (ignoring && sig != SIG_CD_IGNORE) return;
    // A picture's records follow one another; an item may end between them.
    if (sig != SIG_CD_IMAGEHEADER && sig != SIG_CD_IMAGESEGMENT && sig != SIG_CD_PABDEFINITION) CloseImage();
    const std::string_view b = r.body;
    switch (sig) {
    case SIG_CD_PARAGRAPH: Paragraph(); break;
    case SIG_CD_TEXT:
    case SIG_CD_BIDI_TEXT: Text(b); break;
    case SIG_CD_LINK2: Link(b); break;
    case SIG_CD_FONTTABLE:   // also the link record of files from earlier versions of this system
        if (!IsFontTable(b)) Link(b);
        break;
    case SIG_CD_LINKEXPORT2: LinkExport(b); break;
    case SIG_CD_GRAPHIC: graphic = {itemIndex, offset}; break;
    case SIG_CD_IMAGEHEADER: ImageHeader(b); break;
    case SIG_CD_IMAGESEGMENT: ImageSegment(b); break;
    case SIG_CD_HOTSPOTBEGIN:
    case SIG_CD_V4HOTSPOTBEGIN:
    case SIG_CD_V5HOTSPOTBEGIN: HotspotBegin(b); break;
    case SIG_CD_HOTSPOTEND:
    case SIG_CD_V4HOTSPOTEND:
    case SIG_CD_V5HOTSPOTEND:
        if (!hotspots.empty()) hotspots.pop_back();
        break;
    case SIG_CD_BAR: Bar(b); break;
    case SIG_CD_BUTTON: Button(b); break;
    case SIG_CD_CAPTION: Caption(b); break;
    case SIG_CD_TABLEBEGIN:
    case SIG_CD_NESTEDTABLEBEGIN: tables.emplace_back(); break;
    case SIG_CD_TABLECELL:
    case SIG_CD_NESTEDTABLECELL: TableCell(b); break;
    case SIG_CD_TABLEEND:
    case SIG_CD_NESTEDTABLEEND:
        if (!tables.empty()) tables.pop_back();
        break;
    case SIG_CD_TABLELABEL: TableLabel(b); break;
    case SIG_CD_IGNORE: Ignore(b); break;
    case SIG_CD_LARGE_PARAGRAPH:
        if (Word(b, 2) & CDLARGEPARAGRAPH_BEGIN) largeParagraph = true;
        if (Word(b, 2) & CDLARGEPARAGRAPH_END) largeParagraph = false;
        break;
    default: break;   // styles, colours, field and layout records: nothing to show
    }
}

// A new element where the current record begins; one that shows something
// gives the paragraph (and the table cell) content.
CRtElement& CRtDecoder::Add(CRtElement::EKind kind, bool shows) {
    CRtElement& e = result.elements.emplace_back();
    e.kind = kind;
    e.itemIndex = itemIndex;
    e.offset = offset;
    if (shows && kind != CRtElement::kParagraph) {
        paragraphHasContent = true;
        if (!tables.empty()) tables.back().cellOpening = false;
    }
    return e;
}

// A cell begins with a paragraph record that only opens its content, and
// the paragraphs of one split paragraph are one.
void CRtDecoder::Paragraph() {
    if (!tables.empty() && tables.back().cellOpening) {
        tables.back().cellOpening = false;
        return;
    }
    if (largeParagraph) return;
    Add(CRtElement::kParagraph);
    paragraphHasContent = false;
}

void CRtDecoder::Run(std::string text, const CFont& font) {
    CRtElement& e = Add(CRtElement::kText, !text.empty());
    e.text = LineBreaks(std::move(text));
    e.font = font;
    if (font.face >= kFirstTableFace)
        for (const auto& f : context.fonts)
            if (f.face == font.face) {
                e.faceName = f.name;
                e.font.face = StandardFace(f.family);
                break;
            }
    for (auto h = hotspots.rbegin(); h != hotspots.rend(); ++h)
        if (!h->url.empty()) {
            e.url = h->url;
            break;
        }
}

void CRtDecoder::Text(std::string_view b) {
    if (b.size() < 4) return Damaged();
    Run(std::string(b.substr(4)), FontAt(b, 0));
}

void CRtDecoder::LinkStrings(CRtElement& e, std::string_view b, size_t at) {
    bool terminated = true;
    e.text = CString(b, &at, &terminated);
    if (!terminated) Damaged();
    if (at < b.size()) e.serverHint = CString(b, &at);
}

void CRtDecoder::Link(std::string_view b) {
    if (b.size() < 2) return Damaged();
    CRtElement& e = Add(CRtElement::kLink);
    e.linkIndex = Word(b, 0);
    if (e.linkIndex < context.links.size()) {
        e.hasTarget = true;
        e.target = context.links[e.linkIndex];
    }
    LinkStrings(e, b, 2);
}

void CRtDecoder::LinkExport(std::string_view b) {
    constexpr size_t kNoteLinkSize = 40;
    if (b.size() < kNoteLinkSize) return Damaged();
    CRtElement& e = Add(CRtElement::kLink);
    e.linkIndex = kNoLinkIndex;
    e.hasTarget = true;
    e.target = CNoteLink{Time(b, 0), Unid(b, 8), Unid(b, 24)};
    LinkStrings(e, b, kNoteLinkSize);
}

void CRtDecoder::ImageHeader(std::string_view b) {
    if (!graphic || b.size() < 22) {
        graphic.reset();
        return Damaged();
    }
    auto [item, at] = *graphic;
    graphic.reset();
    image = result.elements.size();
    CRtElement& e = Add(CRtElement::kImage);
    e.itemIndex = item;
    e.offset = at;
    e.imageType = Word(b, 0);
    e.width = Word(b, 2);
    e.height = Word(b, 4);
    e.attachmentIcon = InAttachment();
    imageSize = Dword(b, 6);
}

void CRtDecoder::ImageSegment(std::string_view b) {
    if (!image || b.size() < 4) return Damaged();
    size_t dataSize = Word(b, 0);
    if (4 + dataSize > b.size()) {
        Damaged();
        dataSize = b.size() - 4;
    }
    result.elements[*image].bytes.append(b.substr(4, dataSize));
}

void CRtDecoder::CloseImage() {
    graphic.reset();
    if (image && result.elements[*image].bytes.size() < imageSize) Damaged();   // segments missing
    image.reset();
}

void CRtDecoder::HotspotBegin(std::string_view b) {
    if (b.size() < 8) {
        hotspots.push_back({0, {}});
        return Damaged();
    }
    WORD type = Word(b, 0);
    DWORD flags = Dword(b, 2);
    size_t dataLength = Word(b, 6);
    if (8 + dataLength > b.size()) {
        Damaged();
        dataLength = b.size() - 8;
    }
    std::string_view data = b.substr(8, dataLength);
    CHotspot h{type, {}};
    if (type == HOTSPOTREC_TYPE_HOTLINK && !(flags & HOTSPOTREC_RUNFLAG_COMPUTED)) {
        size_t at = 0;
        h.url = CString(data, &at);
    }
    if (type == HOTSPOTREC_TYPE_FILE) Attachment(data);
    hotspots.push_back(std::move(h));
}

// An attachment hotspot: the $FILE name, then the name shown.
void CRtDecoder::Attachment(std::string_view data) {
    size_t at = 0;
    bool terminated = true;
    std::string unique = CString(data, &at, &terminated);
    if (unique.empty()) return Damaged();
    std::string shown = at < data.size() ? CString(data, &at, &terminated) : unique;
    if (!terminated) Damaged();
    CRtElement& e = Add(CRtElement::kAttachment);
    e.uniqueName = std::move(unique);
    e.text = shown.empty() ? e.uniqueName : std::move(shown);
}

bool CRtDecoder::InAttachment() const {
    return std::any_of(hotspots.begin(), hotspots.end(), [](const CHotspot& h) { return h.type == HOTSPOTREC_TYPE_FILE; });
}

// A section's title bar: flags, font, an optional colour, then the title
// (unless a formula computes it).
void CRtDecoder::Bar(std::string_view b) {
    if (b.size() < 8) return Damaged();
    DWORD flags = Dword(b, 0);
    if (flags & BARREC_ISFORMULA) return;
    size_t at = flags & BARREC_HAS_COLOR ? 10 : 8;
    std::string title = CString(b, &at);
    if (!title.empty()) Run(std::move(title), FontAt(b, 4));
}

void CRtDecoder::Button(std::string_view b) {
    if (b.size() < 12) return Damaged();
    size_t at = 12;
    std::string face = CString(b, &at);
    if (!face.empty()) Run(std::move(face), FontAt(b, 8));
}

void CRtDecoder::Caption(std::string_view b) {
    if (b.size() < 24) return Damaged();
    std::string_view text = b.substr(24, Word(b, 0));
    size_t at = 0;
    std::string caption = CString(text, &at);
    if (!caption.empty()) Run(std::move(caption), FontAt(b, 3));
}

// Cells of a row go into one paragraph, separated by a tab; cells covered
// by a spanning cell add nothing.
void CRtDecoder::TableCell(std::string_view b) {
    if (b.size() < 10) return Damaged();
    if (tables.empty()) tables.emplace_back();
    int row = static_cast<BYTE>(b[0]);
    bool visible = !(static_cast<BYTE>(b[9]) & CDTABLECELL_INVISIBLE);
    if (row != tables.back().row) {
        if (paragraphHasContent) {
            Add(CRtElement::kParagraph);
            paragraphHasContent = false;
        }
        CTable& t = tables.back();
        t.row = row;
        t.rowHasCell = false;
        t.rowStart = result.elements.size();
    }
    if (visible && tables.back().rowHasCell) Run("\t", CFont{});
    CTable& t = tables.back();
    t.rowHasCell = t.rowHasCell || visible;
    t.cellOpening = true;
}

// A tab's label (tabbed tables show one row at a time): a paragraph of its
// own before the row it names.
void CRtDecoder::TableLabel(std::string_view b) {
    size_t at = 0;
    std::string label = CString(b.substr(0, kLabelSize), &at);
    if (label.empty()) return;
    size_t where = tables.empty() ? result.elements.size() : std::min(tables.back().rowStart, result.elements.size());
    CRtElement text, paragraph;
    text.kind = CRtElement::kText;
    text.text = std::move(label);
    for (CRtElement* e : {&text, &paragraph}) {
        e->itemIndex = itemIndex;
        e->offset = offset;
    }
    auto& out = result.elements;
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(where), {text, paragraph});
    if (!tables.empty()) tables.back().rowStart = where + 2;
}

// Runs kept for older readers are passed over, as are nested ones.
void CRtDecoder::Ignore(std::string_view b) {
    DWORD flags = Dword(b, 2);
    if ((flags & CDIGNORE_BEGIN) && Word(b, 0) <= CDIGNORE_NOTES_VERSION_CURRENT) ++ignoring;
    if ((flags & CDIGNORE_END) && ignoring > 0) --ignoring;
}

}  // namespace

CRtDecoded DecodeRichTextItems(const std::vector<std::string>& rawItems, const CRtContext& context) {
    CRtDecoder decoder(context);
    for (size_t i = 0; i < rawItems.size(); ++i) decoder.Item(rawItems[i], static_cast<int>(i));
    return decoder.Finish();
}

bool ShowsAnything(const std::vector<CRtElement>& elements) {
    return std::any_of(elements.begin(), elements.end(), [](const CRtElement& e) {
        return e.kind != CRtElement::kParagraph && !(e.kind == CRtElement::kText && e.text.empty());
    });
}

std::vector<CRtElement> DecodeRichText(const std::vector<std::string>& rawItems) {
    CRtDecoded d = DecodeRichTextItems(rawItems);
    if (d.foreignItems) throw CCdError("item is not rich text");
    if (d.damagedRecords && !ShowsAnything(d.elements)) throw CCdError("rich text is damaged");
    return std::move(d.elements);
}

std::vector<CFontFace> DecodeFontTable(const std::string& raw) {
    std::vector<CFontFace> faces;
    if (RawType(raw) != TYPE_COMPOSITE) return faces;
    CCdRecordWalk walk(std::string_view(raw).substr(2));
    CCdRecord r;
    while (walk.Next(&r)) {
        if (r.Signature() != SIG_CD_FONTTABLE) continue;
        for (size_t at = 2, n = 0; n < Word(r.body, 0) && at + kFaceSize <= r.body.size(); ++n, at += kFaceSize) {
            size_t name = at + 2;
            std::string_view face = r.body.substr(0, at + kFaceSize);
            faces.push_back({static_cast<BYTE>(r.body[at]), static_cast<BYTE>(r.body[at + 1]), CString(face, &name)});
        }
    }
    return faces;
}

}  // namespace notes

#include "platform/notes/HtmlRenderer.h"

#include <cstdio>

#include "platform/notes/LNErrors.h"
#include "platform/notes/MimeBody.h"
#include "platform/sys/Text.h"

namespace notes {

namespace {
int HtmlFontSize(int points) {
    if (points <= 8) return 1;
    if (points <= 10) return 2;
    if (points <= 12) return 3;
    if (points <= 14) return 4;
    if (points <= 18) return 5;
    if (points <= 24) return 6;
    return 7;
}

class CHtmlWriter {
public:
    explicit CHtmlWriter(CHtmlResult& result) : result(result) { result.literals.emplace_back(); }
    void Raw(const std::string& ascii) { pending += sys::Widen(ascii); }
    void Markup(const std::u16string& html) { pending += html; }
    void Escaped(const std::string& lmbcs) {
        for (char16_t c : sys::LmbcsToUtf16(lmbcs)) {
            switch (c) {
            case u'&': pending += u"&amp;"; break;
            case u'<': pending += u"&lt;"; break;
            case u'>': pending += u"&gt;"; break;
            case u'"': pending += u"&quot;"; break;
            case u'\n': pending += u"<br>\r\n"; break;
            case u'\r': break;
            default: pending += c;
            }
        }
    }
    void Reference(CHtmlReference ref) {
        Flush();
        result.slots.push_back(result.references.size());
        result.references.push_back(std::move(ref));
        result.literals.emplace_back();
    }
    void Flush() {
        result.literals.back() += sys::Utf16ToLmbcs(pending);
        pending.clear();
    }

private:
    CHtmlResult& result;
    std::u16string pending;
};

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

void RenderText(CHtmlWriter& w, const CRtElement& e) {
    const CFont& f = e.font;
    bool font = f.size != 10 || f.color != 0 || !e.faceName.empty();
    if (!e.url.empty()) {
        w.Raw("<a href=\"");
        w.Escaped(e.url);
        w.Raw("\">");
    }
    if (font) {
        w.Raw("<font size=\"" + std::to_string(HtmlFontSize(f.size)) + "\"");
        if (f.color != 0) w.Raw(std::string(" color=\"") + NotesColorHex(f.color) + "\"");
        if (!e.faceName.empty()) {
            w.Raw(" face=\"");
            w.Escaped(e.faceName);
            w.Raw("\"");
        }
        w.Raw(">");
    }
    if (f.face == FONT_FACE_TYPEWRITER) w.Raw("<tt>");
    if (f.attrib & ISBOLD) w.Raw("<b>");
    if (f.attrib & ISITALIC) w.Raw("<i>");
    if (f.attrib & ISUNDERLINE) w.Raw("<u>");
    if (f.attrib & ISSTRIKEOUT) w.Raw("<s>");
    w.Escaped(e.text);
    if (f.attrib & ISSTRIKEOUT) w.Raw("</s>");
    if (f.attrib & ISUNDERLINE) w.Raw("</u>");
    if (f.attrib & ISITALIC) w.Raw("</i>");
    if (f.attrib & ISBOLD) w.Raw("</b>");
    if (f.face == FONT_FACE_TYPEWRITER) w.Raw("</tt>");
    if (font) w.Raw("</font>");
    if (!e.url.empty()) w.Raw("</a>");
}

CHtmlTarget NameTarget(UAT attribute, const std::string& name) {
    CHtmlTarget t;
    t.attribute = attribute;
    t.valueType = URT_Name;
    t.name = name;
    return t;
}

CHtmlTarget UnidTarget(UAT attribute, const UNID& unid) {
    CHtmlTarget t;
    t.attribute = attribute;
    t.valueType = URT_Unid;
    t.unid = unid;
    return t;
}

// The reference of an image element: the item name and the position
// "item index.hex offset" as its last two targets.
CHtmlReference ImageReference(const CNoteRef& note, const std::string& field, int itemIndex, uint32_t offset,
                              const std::string& format) {
    std::string position = std::to_string(itemIndex) + "." + Hex(offset);
    CHtmlReference ref;
    ref.type = HTMLAPI_REF_IMG;
    ref.command = CmdId_OpenElement;
    ref.text = "/" + ReplicaText(note.db->File().ReplicaId()) + "/0/" + UnidText(note.unid) + "/" + field + "/" +
               position + "?OpenElement&FieldElemFormat=" + format;
    ref.targets.push_back(UnidTarget(UAT_Document, note.unid));
    ref.targets.push_back(NameTarget(UAT_Field, field));
    ref.targets.push_back(NameTarget(UAT_FieldOffset, position));
    return ref;
}

void RenderImage(CHtmlWriter& w, const CNoteRef& note, const std::string& field, const CRtElement& e) {
    const char* format = e.imageType == CDIMAGETYPE_JPEG ? "jpeg" : "gif";
    w.Raw("<img src=\"");
    w.Reference(ImageReference(note, field, e.itemIndex, e.offset, format));
    w.Raw("\"");
    if (e.width && e.height)
        w.Raw(" width=\"" + std::to_string(e.width) + "\" height=\"" + std::to_string(e.height) + "\"");
    w.Raw(" border=\"0\">");
}

void RenderLink(CHtmlWriter& w, const CRichTextState& rt, const CRtElement& e) {
    CNoteLink link = LinkTarget(rt, e);
    CHtmlReference ref;
    ref.type = HTMLAPI_REF_HREF;
    ref.command = CmdId_OpenDocument;
    ref.text = "notes:///" + ReplicaText(link.file) + "/" + UnidText(link.view) + "/" + UnidText(link.note);
    CHtmlTarget db;
    db.attribute = UAT_Database;
    db.valueType = URT_RepId;
    db.replica = link.file;
    ref.targets.push_back(db);
    ref.targets.push_back(UnidTarget(UAT_View, link.view));
    ref.targets.push_back(UnidTarget(UAT_Document, link.note));
    w.Raw("<a href=\"");
    w.Reference(ref);
    w.Raw("\" title=\"");
    w.Escaped(e.text);
    w.Raw("\">");
    w.Escaped(e.text);
    w.Raw("</a>");
}

void RenderAttachment(CHtmlWriter& w, const CNoteRef& note, const CRtElement& e) {
    CHtmlReference ref;
    ref.type = HTMLAPI_REF_HREF;
    ref.command = CmdId_OpenElement;
    ref.text = "/" + ReplicaText(note.db->File().ReplicaId()) + "/0/" + UnidText(note.unid) + "/$FILE/" +
               e.uniqueName + "?OpenElement";
    ref.targets.push_back(UnidTarget(UAT_Document, note.unid));
    ref.targets.push_back(NameTarget(UAT_Filename, e.uniqueName));
    ref.targets.push_back(NameTarget(UAT_ActualFilename, e.text));
    w.Raw("<a href=\"");
    w.Reference(ref);
    w.Raw("\">");
    w.Escaped(e.text);
    w.Raw("</a>");
}

// A native MIME body: its HTML, each image an element at offset 0 of the
// part's item.
void RenderMime(CHtmlWriter& w, const CNoteRef& note, const std::string& field, const CMimeBody& body) {
    for (const auto& segment : body.Html()) {
        if (segment.imagePart < 0) w.Markup(segment.markup);
        else w.Reference(ImageReference(note, field, segment.imagePart, 0, segment.imageFormat));
    }
}

void RenderField(CHtmlWriter& w, const CNoteRef& note, const std::string& field) {
    auto rt = LoadRichText(note, field);
    if (rt->mime) {
        RenderMime(w, note, field, *rt->mime);
        return;
    }
    bool first = true;
    for (const auto& e : rt->elements) {
        switch (e.kind) {
        case CRtElement::kParagraph:
            if (!first) w.Raw("<br>\r\n");
            break;
        case CRtElement::kText: RenderText(w, e); break;
        case CRtElement::kLink: RenderLink(w, *rt, e); break;
        case CRtElement::kImage:
            // The icon Notes draws for an attachment hotspot is no picture of
            // the body: the attachment's link stands for it.
            if (!e.attachmentIcon) RenderImage(w, note, field, e);
            break;
        case CRtElement::kAttachment: RenderAttachment(w, note, e); break;
        }
        first = false;
    }
    if (!first) w.Raw("<br>\r\n");
}
}  // namespace

std::string CHtmlResult::Text() const {
    std::string out = literals.empty() ? std::string() : literals[0];
    for (size_t i = 0; i < slots.size(); ++i) out += references[slots[i]].text + literals[i + 1];
    return out;
}

std::vector<std::string> RichTextFields(const CNoteRef& note) { return RichTextFieldNames(note); }

CHtmlResult RenderFields(const CNoteRef& note, const std::vector<std::string>& fields) {
    CHtmlResult result;
    CHtmlWriter w(result);
    w.Raw("<html>\r\n<body text=\"#000000\" bgcolor=\"#FFFFFF\">\r\n");
    for (const auto& field : fields) RenderField(w, note, field);
    w.Raw("</body>\r\n</html>\r\n");
    w.Flush();
    return result;
}

}  // namespace notes

#include "platform/notes/MimeBody.h"

#include <gmime/gmime.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/notes/HtmlText.h"
#include "platform/sys/GMime.h"

namespace notes {

namespace {

using sys::GPtr;
using sys::InitGMime;

std::string Lower(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

std::u16string Convert(const std::string& bytes, const char* charset) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> conv(ucnv_open(charset, &status), ucnv_close);
    if (U_FAILURE(status) || !conv) return {};
    std::u16string out(bytes.size() * 2 + 2, u'\0');
    int32_t n = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                              static_cast<int32_t>(bytes.size()), &status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(n) : 0);
    return out;
}

// Text of a part in its charset. ASCII and Latin-1 labels are read as
// windows-1252 (their superset, which mail uses under those names); text
// without a charset is UTF-8 when it is valid UTF-8, windows-1252 otherwise.
std::u16string TextOf(const std::string& bytes, const char* charset) {
    std::string name = Lower(charset);
    if (name.empty() || name == "utf-8" || name == "utf8") {
        std::u16string out(bytes.size() + 1, u'\0');
        int32_t n = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8(out.data(), static_cast<int32_t>(out.size()), &n, bytes.data(),
                      static_cast<int32_t>(bytes.size()), &status);
        if (U_SUCCESS(status)) return out.substr(0, static_cast<size_t>(n));
        name.clear();
    }
    if (name.empty() || name == "us-ascii" || name == "ascii" || name == "iso-8859-1" || name == "latin1")
        name = "windows-1252";
    std::u16string text = Convert(bytes, name.c_str());
    return text.empty() && !bytes.empty() ? Convert(bytes, "windows-1252") : text;
}

// Line breaks as CR LF, without the blank lines and spaces at the end.
std::u16string NormalizedText(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
        if (text[i] == u'\r' || text[i] == u'\n') out += u"\r\n";
        else out += text[i];
    }
    while (!out.empty() && (out.back() == u'\r' || out.back() == u'\n' || out.back() == u' ' || out.back() == u'\t'))
        out.pop_back();
    return out;
}

std::string ImageFormat(const std::string& subtype) {
    if (subtype == "jpg" || subtype == "pjpeg") return "jpeg";
    return subtype;
}

std::string DecodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) return {};
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, stream.get()) < 0) return {};
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return array ? std::string(reinterpret_cast<const char*>(array->data), array->len) : std::string();
}

}  // namespace

std::string DecodeObjectBytes(const CObjectContent& content) {
    GMimeContentEncoding encoding;
    switch (content.fileFlags & ENCODE_MASK) {
    case ENCODE_BASE64: encoding = GMIME_CONTENT_ENCODING_BASE64; break;
    case ENCODE_QP: encoding = GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE; break;
    case ENCODE_UUENCODE: encoding = GMIME_CONTENT_ENCODING_UUENCODE; break;
    default: return content.bytes;
    }
    GMimeEncoding state;
    g_mime_encoding_init_decode(&state, encoding);
    std::string out(g_mime_encoding_outlen(&state, content.bytes.size()) + 64, '\0');
    size_t n = g_mime_encoding_step(&state, content.bytes.data(), content.bytes.size(), out.data());
    n += g_mime_encoding_flush(&state, "", 0, out.data() + n);
    out.resize(n);
    return out;
}

// Walks the parsed entities and fills the body's HTML, plain text, images
// and inline objects.
class CMimeRenderer {
public:
    explicit CMimeRenderer(CMimeBody& body) : body(body) {}
    void Run(GMimeObject* root) {
        CollectContentIds(root);
        CFragment all = Entity(root);
        body.html = std::move(all.html);
        body.plain = std::move(all.plain);
    }

private:
    struct CFragment {
        std::vector<CMimeSegment> html;
        std::u16string plain;
        void Markup(const std::u16string& m) {
            if (m.empty()) return;
            if (!html.empty() && html.back().imagePart < 0) html.back().markup += m;
            else html.push_back({m, -1, {}});
        }
        void Add(CFragment other) {
            for (auto& s : other.html) {
                if (s.imagePart < 0) Markup(s.markup);
                else html.push_back(std::move(s));
            }
            if (!plain.empty() && !other.plain.empty()) plain += u"\r\n";
            plain += other.plain;
        }
    };

    static std::string Type(GMimeObject* o) {
        GMimeContentType* t = g_mime_object_get_content_type(o);
        return t ? Lower(g_mime_content_type_get_media_type(t)) : "text";
    }
    static std::string Subtype(GMimeObject* o) {
        GMimeContentType* t = g_mime_object_get_content_type(o);
        return t ? Lower(g_mime_content_type_get_media_subtype(t)) : "plain";
    }
    static bool IsAttachment(GMimeObject* o) {
        GMimeContentDisposition* d = g_mime_object_get_content_disposition(o);
        if (d && g_mime_content_disposition_is_attachment(d)) return true;
        if (GMIME_IS_MESSAGE_PART(o)) return false;
        if (!GMIME_IS_PART(o)) return false;
        std::string type = Type(o);
        if (type == "image") return false;
        if (type != "text") return true;
        bool explicitlyInline = d && Lower(g_mime_content_disposition_get_disposition(d)) == "inline";
        return !explicitlyInline && g_mime_part_get_filename(GMIME_PART(o)) != nullptr;
    }
    static bool HasHtml(GMimeObject* o) {
        if (GMIME_IS_MULTIPART(o)) {
            GMimeMultipart* m = GMIME_MULTIPART(o);
            for (int i = 0; i < g_mime_multipart_get_count(m); ++i)
                if (HasHtml(g_mime_multipart_get_part(m, i))) return true;
            return false;
        }
        return GMIME_IS_PART(o) && !IsAttachment(o) && Type(o) == "text" && Subtype(o) == "html";
    }
    static bool Renderable(GMimeObject* o) {
        if (GMIME_IS_MULTIPART(o) || GMIME_IS_MESSAGE_PART(o)) return true;
        return GMIME_IS_PART(o) && !IsAttachment(o) && (Type(o) == "text" || Type(o) == "image");
    }

    int PartIndex(GMimeObject* o) const {
        const char* value = g_mime_object_get_header(o, kPartIndexHeader);
        if (!value) return -1;
        char* end = nullptr;
        long index = std::strtol(value, &end, 10);
        return end != value && index >= 0 && static_cast<size_t>(index) < body.parts.size() ? static_cast<int>(index) : -1;
    }

    void CollectContentIds(GMimeObject* o) {
        if (GMIME_IS_MULTIPART(o)) {
            GMimeMultipart* m = GMIME_MULTIPART(o);
            for (int i = 0; i < g_mime_multipart_get_count(m); ++i) CollectContentIds(g_mime_multipart_get_part(m, i));
        } else if (GMIME_IS_MESSAGE_PART(o)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(o));
            if (inner && g_mime_message_get_mime_part(inner)) CollectContentIds(g_mime_message_get_mime_part(inner));
        } else if (GMIME_IS_PART(o) && Type(o) == "image") {
            if (const char* id = g_mime_object_get_content_id(o)) byContentId.emplace(Lower(id), GMIME_PART(o));
        }
    }

    // The decoded bytes of a leaf; reads the object when the body lies in one.
    std::string Content(GMimePart* part, bool* fromObject = nullptr) {
        int index = PartIndex(GMIME_OBJECT(part));
        if (index >= 0 && body.parts[static_cast<size_t>(index)].InObject()) {
            if (fromObject) *fromObject = true;
            auto stored = body.reader ? body.reader(body.parts[static_cast<size_t>(index)].body) : std::nullopt;
            return stored ? DecodeObjectBytes(*stored) : std::string();
        }
        return DecodedContent(part);
    }

    void Shown(GMimeObject* o) {
        int index = PartIndex(o);
        if (index < 0) return;
        const CMimePart& p = body.parts[static_cast<size_t>(index)];
        if (p.InObject() && std::find(body.inlineObjects.begin(), body.inlineObjects.end(), p.body) == body.inlineObjects.end())
            body.inlineObjects.push_back(p.body);
    }

    // An image slot for the image (kept once however often it is shown).
    std::optional<CMimeSegment> ImageSlot(GMimePart* part) {
        int index = PartIndex(GMIME_OBJECT(part));
        if (index < 0) return std::nullopt;
        if (shownImages.insert(part).second) {
            CMimeBody::CImage image;
            image.part = index;
            const CMimePart& p = body.parts[static_cast<size_t>(index)];
            if (p.InObject()) image.object = p.body;
            else image.bytes = DecodedContent(part);
            body.images.push_back(std::move(image));
            Shown(GMIME_OBJECT(part));
        }
        return CMimeSegment{{}, index, ImageFormat(Subtype(GMIME_OBJECT(part)))};
    }

    CFragment ImageFragment(GMimePart* part) {
        CFragment f;
        if (auto slot = ImageSlot(part)) {
            f.Markup(u"<img src=\"");
            f.html.push_back(*slot);
            f.Markup(u"\" border=\"0\"><br>\r\n");
        }
        return f;
    }

    // HTML with its cid: URLs of known images as image slots.
    CFragment HtmlFragment(const std::u16string& html) {
        CFragment f;
        size_t at = 0;
        for (const auto& ref : FindCidReferences(html)) {
            auto it = byContentId.find(Lower(ref.contentId.c_str()));
            if (it == byContentId.end()) continue;
            auto slot = ImageSlot(it->second);
            if (!slot) continue;
            f.Markup(html.substr(at, ref.begin - at) + u"\"");
            f.html.push_back(*slot);
            f.Markup(u"\"");
            at = ref.begin + ref.length;
        }
        f.Markup(html.substr(at));
        f.plain = HtmlToText(html);
        return f;
    }

    // An attachment part: kept when its bytes are in the MIME items (those in
    // an object are the note's $FILE items).
    void KeepAttachment(GMimeObject* o) {
        int index = PartIndex(o);
        if (index >= 0 && body.parts[static_cast<size_t>(index)].InObject()) return;
        CMimeAttachment a;
        if (GMIME_IS_MESSAGE_PART(o)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(o));
            if (!inner) return;
            char* text = g_mime_object_to_string(GMIME_OBJECT(inner), nullptr);
            a.bytes = text ? text : "";
            g_free(text);
            const char* name = g_mime_object_get_content_disposition_parameter(o, "filename");
            a.name = name ? name : "message.eml";
        } else {
            GMimePart* part = GMIME_PART(o);
            a.bytes = DecodedContent(part);
            const char* name = g_mime_part_get_filename(part);
            a.name = name ? name : "attachment" + std::to_string(body.attachments.size() + 1) + "." + Subtype(o);
        }
        if (a.bytes.empty()) return;
        body.attachments.push_back(std::move(a));
    }

    CFragment Leaf(GMimePart* part) {
        GMimeObject* o = GMIME_OBJECT(part);
        if (IsAttachment(o)) return KeepAttachment(o), CFragment{};
        std::string type = Type(o);
        if (type == "image") return ImageFragment(part);
        if (type != "text") return {};
        bool fromObject = false;
        std::u16string text = TextOf(Content(part, &fromObject), g_mime_object_get_content_type_parameter(o, "charset"));
        Shown(o);
        if (Subtype(o) == "html") return HtmlFragment(HtmlBodyContent(text));
        CFragment f;
        f.plain = NormalizedText(text);
        f.Markup(TextToHtml(f.plain));
        if (!f.plain.empty()) f.Markup(u"<br>\r\n");
        return f;
    }

    CFragment Alternative(GMimeMultipart* m) {
        int count = g_mime_multipart_get_count(m);
        int html = -1, renderable = -1, plainText = -1;
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(m, i);
            if (HasHtml(child)) html = i;
            if (Renderable(child)) renderable = i;
            if (plainText < 0 && GMIME_IS_PART(child) && !IsAttachment(child) && Type(child) == "text" &&
                Subtype(child) == "plain")
                plainText = i;
        }
        int chosen = html >= 0 ? html : renderable;
        if (chosen < 0) return {};
        CFragment f = Entity(g_mime_multipart_get_part(m, chosen));
        if (plainText >= 0 && plainText != chosen) f.plain = Entity(g_mime_multipart_get_part(m, plainText)).plain;
        return f;
    }

    CFragment Related(GMimeMultipart* m) {
        int count = g_mime_multipart_get_count(m);
        if (count == 0) return {};
        std::string start = Lower(g_mime_object_get_content_type_parameter(GMIME_OBJECT(m), "start"));
        if (start.size() > 2 && start.front() == '<' && start.back() == '>') start = start.substr(1, start.size() - 2);
        int root = 0;
        for (int i = 0; i < count && !start.empty(); ++i)
            if (Lower(g_mime_object_get_content_id(g_mime_multipart_get_part(m, i))) == start) root = i;
        CFragment f = Entity(g_mime_multipart_get_part(m, root));
        // Images the root does not refer to are shown after it.
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(m, i);
            if (i != root && GMIME_IS_PART(child) && Type(child) == "image" && !IsAttachment(child) &&
                !shownImages.count(GMIME_PART(child)))
                f.Add(ImageFragment(GMIME_PART(child)));
        }
        return f;
    }

    CFragment Entity(GMimeObject* o) {
        if (GMIME_IS_MULTIPART(o)) {
            GMimeMultipart* m = GMIME_MULTIPART(o);
            std::string subtype = Subtype(o);
            if (subtype == "alternative") return Alternative(m);
            if (subtype == "related") return Related(m);
            // An image with a Content-ID is shown where HTML refers to it,
            // otherwise after the other parts.
            CFragment f;
            std::vector<GMimePart*> referable;
            for (int i = 0; i < g_mime_multipart_get_count(m); ++i) {
                GMimeObject* child = g_mime_multipart_get_part(m, i);
                if (GMIME_IS_PART(child) && Type(child) == "image" && g_mime_object_get_content_id(child))
                    referable.push_back(GMIME_PART(child));
                else
                    f.Add(Entity(child));
            }
            for (GMimePart* image : referable)
                if (!IsAttachment(GMIME_OBJECT(image)) && !shownImages.count(image)) f.Add(ImageFragment(image));
            return f;
        }
        if (GMIME_IS_MESSAGE_PART(o)) {
            if (IsAttachment(o)) return KeepAttachment(o), CFragment{};
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(o));
            GMimeObject* part = inner ? g_mime_message_get_mime_part(inner) : nullptr;
            return part ? Entity(part) : CFragment{};
        }
        if (GMIME_IS_PART(o)) return Leaf(GMIME_PART(o));
        return {};
    }

    CMimeBody& body;
    std::map<std::string, GMimePart*> byContentId;
    std::set<GMimePart*> shownImages;
};

CMimeBody::CMimeBody(const std::vector<std::string>& rawParts, CObjectReader reader) : reader(std::move(reader)) {
    for (const auto& raw : rawParts)
        if (auto part = DecodeMimePart(raw)) parts.push_back(std::move(*part));
    if (parts.empty()) return;
    InitGMime();
    std::string stream = AssembleMimeStream(parts);
    GPtr<GMimeStream> input(g_mime_stream_mem_new_with_buffer(stream.data(), stream.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(input.get()));
    GPtr<GMimeObject> root(g_mime_parser_construct_part(parser.get(), nullptr));
    if (root) CMimeRenderer(*this).Run(root.get());
}

std::optional<std::string> CMimeBody::ImageBytes(int part) const {
    for (const auto& image : images) {
        if (image.part != part) continue;
        if (image.object.empty()) return image.bytes;
        auto stored = reader ? reader(image.object) : std::nullopt;
        if (!stored) return std::nullopt;
        return DecodeObjectBytes(*stored);
    }
    return std::nullopt;
}

}  // namespace notes

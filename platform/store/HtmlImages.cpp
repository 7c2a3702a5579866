// Images that an HTML body refers to by local file path (src="/tmp/.../a.gif"
// or a file: URL) become inline attachments with a content ID, and the HTML
// is pointed at them ("cid:..."), so the pictures live in the item itself.
// Only image files inside the user's temporary directory, where the body
// conversion leaves its pictures, are taken: a body that names any other
// local file keeps the reference and never carries the file's content.
#include <chrono>
#include <filesystem>
#include <map>
#include <random>

#include "platform/store/Attachments.h"
#include "platform/store/ItemObject.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"
#include "platform/sys/TempPath.h"

namespace store {
namespace {

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// A file: URL or an absolute path to the local file it names, or empty.
std::u16string LocalPath(std::u16string value) {
    value = ReplaceAll(Trim(value), u"&amp;", u"&");
    if (StartsWithNoCase(value, u"file://")) {
        value = value.substr(7);
        if (StartsWithNoCase(value, u"localhost/")) value = value.substr(9);
        std::string bytes;  // percent-decoding works on the UTF-8 bytes
        std::string utf8 = ToUtf8(value);
        for (size_t i = 0; i < utf8.size(); ++i) {
            if (utf8[i] == '%' && i + 2 < utf8.size() && HexValue(utf8[i + 1]) >= 0 && HexValue(utf8[i + 2]) >= 0) {
                bytes.push_back(static_cast<char>(HexValue(utf8[i + 1]) * 16 + HexValue(utf8[i + 2])));
                i += 2;
            } else {
                bytes.push_back(utf8[i]);
            }
        }
        value = FromUtf8(bytes);
    }
    if (value.empty() || value[0] != u'/' || value.find(u"/../") != std::u16string::npos) return {};
    return value;
}

std::u16string NewContentIdStem() {
    // Seeded once per thread: opening the random device for every body
    // costs more than embedding the images themselves.
    thread_local std::mt19937 generator(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()) ^ std::random_device{}());
    char buf[16];
    snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(generator()));
    return Widen(buf);
}

bool IsAttributeName(std::u16string_view html, size_t pos, std::u16string_view name) {
    if (pos == 0 || !EqualNoCase(html.substr(pos, name.size()), name)) return false;
    char16_t before = html[pos - 1];
    return before == u' ' || before == u'\t' || before == u'\r' || before == u'\n' || before == u'"' || before == u'\'';
}

bool IsImage(const std::string& bytes) {
    auto starts = [&](const char* magic, size_t n) { return bytes.size() >= n && bytes.compare(0, n, magic, n) == 0; };
    return starts("GIF8", 4) || starts("\x89PNG", 4) || starts("\xFF\xD8\xFF", 3) || starts("BM", 2);
}

// The file's real path when it lies inside the temporary directory, else empty.
std::u16string InsideTempDirectory(const std::u16string& path) {
    std::u16string temp = sys::TempPath();
    if (temp.empty()) return {};
    std::error_code error;
    auto base = std::filesystem::weakly_canonical(std::filesystem::path(ToUtf8(temp)), error);
    if (error) return {};
    auto file = std::filesystem::weakly_canonical(std::filesystem::path(ToUtf8(path)), error);
    if (error) return {};
    auto rel = file.lexically_relative(base);
    if (rel.empty() || rel.native().rfind("..", 0) == 0) return {};
    return FromUtf8(file.string());
}

struct CEmbedder {
    std::vector<CAttachment>& attachments;
    std::map<std::u16string, std::u16string>& byPath;  // path -> content ID
    std::u16string stem = NewContentIdStem();

    std::u16string ContentIdFor(const std::u16string& path) {
        auto found = byPath.find(path);
        if (found != byPath.end()) return found->second;
        std::string bytes;
        std::u16string real = InsideTempDirectory(path);
        if (real.empty()) return {};
        try {
            bytes = ReadImportFile(real).View();
        } catch (const CDispatchError&) {
            return {};  // a picture that is gone keeps its reference
        }
        if (!IsImage(bytes)) return {};
        std::u16string name = path.substr(path.rfind(u'/') + 1);
        std::u16string cid = u"image" + Widen(std::to_string(byPath.size() + 1)) + u"." + stem + u"@store.local";
        CAttachment a = MakeAttachment(name, MimeTypeForName(name), std::move(bytes));
        a.props.Set(tagAttachContentId, cid);
        a.props.Set(tagAttachmentHidden, true);
        a.props.Set(tagAttachFlags, int32_t(4));  // rendered in the body
        attachments.push_back(std::move(a));
        byPath[path] = cid;
        return cid;
    }
};

}  // namespace

std::u16string EmbedLocalImages(const std::u16string& html, CMessageData& data) {
    CEmbedder embedder{data.attachments, data.embeddedImages};
    std::u16string out;
    size_t pos = 0, copied = 0;
    bool inTag = false;
    while (pos < html.size()) {
        // Attributes count only inside tags, never in the text between them.
        if (html[pos] == u'<') inTag = true;
        else if (html[pos] == u'>') inTag = false;
        size_t nameLen = 0;
        if (!inTag) { ++pos; continue; }
        if (IsAttributeName(html, pos, u"src")) nameLen = 3;
        else if (IsAttributeName(html, pos, u"background")) nameLen = 10;
        if (!nameLen) { ++pos; continue; }
        size_t i = pos + nameLen;
        while (i < html.size() && (html[i] == u' ' || html[i] == u'\t')) ++i;
        if (i >= html.size() || html[i] != u'=') { pos = i; continue; }
        ++i;
        while (i < html.size() && (html[i] == u' ' || html[i] == u'\t')) ++i;
        if (i >= html.size()) break;
        char16_t quote = (html[i] == u'"' || html[i] == u'\'') ? html[i] : 0;
        size_t valueStart = quote ? i + 1 : i;
        size_t valueEnd = quote ? html.find(quote, valueStart) : html.find_first_of(u" \t\r\n>", valueStart);
        if (valueEnd == std::u16string::npos) valueEnd = html.size();
        std::u16string path = LocalPath(html.substr(valueStart, valueEnd - valueStart));
        std::u16string cid = path.empty() ? u"" : embedder.ContentIdFor(path);
        if (!cid.empty()) {
            out.append(html, copied, valueStart - copied);
            out += u"cid:" + cid;
            copied = valueEnd;
        }
        pos = valueEnd;
    }
    out.append(html, copied, std::u16string::npos);
    return out;
}

}  // namespace store

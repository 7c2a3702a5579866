#include "platform/store/Attachments.h"

#include <cstdint>

#include "platform/store/ItemCommon.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"

namespace store {

std::u16string ExtensionOf(std::u16string_view name) {
    size_t slash = name.find_last_of(u"/\\");
    size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash) || dot + 1 == name.size())
        return {};
    return std::u16string(name.substr(dot));
}

std::u16string MimeTypeForName(std::u16string_view name) {
    static const struct { const char16_t* ext; const char16_t* type; } types[] = {
        {u".jpg", u"image/jpeg"}, {u".jpeg", u"image/jpeg"}, {u".png", u"image/png"}, {u".gif", u"image/gif"},
        {u".bmp", u"image/bmp"}, {u".tif", u"image/tiff"}, {u".tiff", u"image/tiff"}, {u".txt", u"text/plain"},
        {u".htm", u"text/html"}, {u".html", u"text/html"}, {u".pdf", u"application/pdf"},
        {u".doc", u"application/msword"}, {u".xls", u"application/vnd.ms-excel"},
        {u".ppt", u"application/vnd.ms-powerpoint"}, {u".zip", u"application/zip"}, {u".eml", u"message/rfc822"},
        {u".ics", u"text/calendar"}, {u".vcf", u"text/x-vcard"},
    };
    std::u16string ext = Lower(ExtensionOf(name));
    for (const auto& t : types)
        if (ext == t.ext) return t.type;
    return u"application/octet-stream";
}

namespace {

// The short (8.3) form of a file name.
std::u16string ShortName(const std::u16string& name) {
    std::u16string ext = ExtensionOf(name);
    std::u16string base = name.substr(0, name.size() - ext.size());
    std::u16string shortBase;
    for (char16_t c : base)
        if (c != u' ' && c != u'.' && shortBase.size() < 8) shortBase.push_back(c);
    if (base.size() > 8 && shortBase.size() >= 6) shortBase = shortBase.substr(0, 6) + u"~1";
    if (shortBase.empty()) shortBase = u"ATTACH";
    return shortBase + ext.substr(0, std::min<size_t>(ext.size(), 4));
}

}  // namespace

CAttachment MakeAttachment(const std::u16string& name, const std::u16string& mimeType, std::string bytes) {
    CAttachment a;
    CPropertyBag& p = a.props;
    std::u16string fileName = name.empty() ? u"attachment" : name;
    p.Set(tagAttachMethod, int32_t(1));
    p.Set(tagAttachSize, static_cast<int32_t>(std::min<size_t>(bytes.size(), 0x7FFFFFFF)));
    p.Set(tagAttachDataBinary, std::move(bytes));
    p.Set(tagAttachLongFilename, fileName);
    p.Set(tagAttachFilename, ShortName(fileName));
    p.Set(tagDisplayName, fileName);
    std::u16string ext = ExtensionOf(fileName);
    if (!ext.empty()) p.Set(tagAttachExtension, ext);
    p.Set(tagAttachMimeTag, mimeType.empty() ? MimeTypeForName(fileName) : mimeType);
    p.Set(tagRenderingPosition, int32_t(-1));
    CFileTime now = FileTimeNow();
    p.Set(tagCreationTime, now);
    p.Set(tagLastModificationTime, now);
    return a;
}

namespace {

constexpr uint8_t kSkip = 64, kPad = 65, kBad = 66;

struct CBase64Values {
    uint8_t of[256];
    constexpr CBase64Values() : of() {
        for (auto& v : of) v = kBad;
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (uint8_t i = 0; i < 64; ++i) of[static_cast<unsigned char>(alphabet[i])] = i;
        of[static_cast<unsigned char>(' ')] = of[static_cast<unsigned char>('\t')] = kSkip;
        of[static_cast<unsigned char>('\r')] = of[static_cast<unsigned char>('\n')] = kSkip;
        of[static_cast<unsigned char>('=')] = kPad;
    }
};
constexpr CBase64Values kBase64;

}  // namespace

std::optional<std::string> DecodeBase64Until(std::string_view text, size_t& stop) {
    std::string out(text.size() / 4 * 3 + 3, '\0');
    char* o = out.data();
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = begin;
    const auto* end = begin + text.size();
    uint32_t bits = 0;
    int count = 0;  // characters in `bits`
    while (p < end) {
        // Four alphabet characters in a row, as in all but the ends of lines.
        if (count == 0 && end - p >= 4) {
            const uint32_t a = kBase64.of[p[0]], b = kBase64.of[p[1]], c = kBase64.of[p[2]], d = kBase64.of[p[3]];
            if ((a | b | c | d) < 64) {
                const uint32_t group = a << 18 | b << 12 | c << 6 | d;
                o[0] = static_cast<char>(group >> 16);
                o[1] = static_cast<char>(group >> 8);
                o[2] = static_cast<char>(group);
                o += 3;
                p += 4;
                continue;
            }
        }
        const uint8_t v = kBase64.of[*p];
        if (v == kPad) break;
        ++p;
        if (v == kSkip) continue;
        if (v == kBad) return std::nullopt;
        bits = bits << 6 | v;
        if (++count == 4) {
            o[0] = static_cast<char>(bits >> 16);
            o[1] = static_cast<char>(bits >> 8);
            o[2] = static_cast<char>(bits);
            o += 3;
            bits = 0;
            count = 0;
        }
    }
    // A last group of two or three characters holds one or two bytes.
    if (count == 2) *o++ = static_cast<char>(bits >> 4);
    if (count == 3) {
        *o++ = static_cast<char>(bits >> 10);
        *o++ = static_cast<char>(bits >> 2);
    }
    stop = static_cast<size_t>(p - begin);
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    size_t stop = 0;
    return DecodeBase64Until(text, stop);
}

void SetAppointmentStart(CPropertyBag& p, const CFileTime& t) {
    p.SetNamed(Appointment(0x820D, ptTime), t);
    p.Set(tagStartDate, t);
    p.SetNamed(Common(0x8516, ptTime), t);
    p.SetNamed(Appointment(0x8235, ptTime), t);
}

void SetAppointmentEnd(CPropertyBag& p, const CFileTime& t) {
    p.SetNamed(Appointment(0x820E, ptTime), t);
    p.Set(tagEndDate, t);
    p.SetNamed(Common(0x8517, ptTime), t);
    p.SetNamed(Appointment(0x8236, ptTime), t);
}

}  // namespace store

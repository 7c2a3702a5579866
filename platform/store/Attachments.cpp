#include "platform/store/Attachments.h"

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

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t buffer = 0;
    int bits = 0;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') break;
        else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        else return std::nullopt;
        buffer = (buffer << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
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

// RFC 822 import into a mail or task item, with GMime: encoded-word headers,
// sender and recipients, Date, the text or HTML body, attachments with their
// names, and images the HTML refers to by local file path, which are taken
// into the item as inline attachments so that the pictures survive the
// temporary files.
#include <gmime/gmime.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/store/Addresses.h"
#include "platform/store/Attachments.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/ItemModel.h"
#include "platform/store/ItemObject.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"
#include "platform/sys/GMime.h"

namespace store {
namespace {

constexpr size_t maxHeaderField = 1024 * 1024;

using sys::GPtr;
using sys::InitGMime;

// The header block must be text, end with an empty line, and hold no field
// longer than the limit.
void CheckHeaderBlock(std::string_view bytes) {
    size_t end = std::string::npos, pos = 0, fieldStart = 0;
    bool any = false;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        if (nl == std::string::npos) break;
        size_t len = nl - pos - (nl > pos && bytes[nl - 1] == '\r' ? 1 : 0);
        if (len == 0) {
            end = nl + 1;
            break;
        }
        char first = bytes[pos];
        if (first != ' ' && first != '\t') {
            size_t colon = bytes.find(':', pos);
            if (colon == std::string::npos || colon > nl || colon == pos)
                ThrowDispatch(hrFail, "the message header is not valid");
            fieldStart = pos;
            any = true;
        } else if (!any) {
            ThrowDispatch(hrFail, "the message header is not valid");
        }
        if (nl - fieldStart > maxHeaderField) ThrowDispatch(hrFail, "a header field of the message is too long");
        pos = nl + 1;
    }
    if (end == std::string::npos || !any) ThrowDispatch(hrFail, "the message header is incomplete");
    if (bytes.find('\0', 0) < end) ThrowDispatch(hrFail, "the message header is not text");
}

struct CParseIssues {
    bool fatal = false;
    std::string what;
};

void OnParserWarning(gint64, GMimeParserWarning code, const gchar*, gpointer data) {
    auto* issues = static_cast<CParseIssues*>(data);
    switch (code) {
    case GMIME_WARN_TRUNCATED_MESSAGE:
    case GMIME_WARN_MALFORMED_MESSAGE:
    case GMIME_CRIT_INVALID_HEADER_NAME:
    case GMIME_CRIT_NESTING_OVERFLOW:
    case GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY:
        issues->fatal = true;
        issues->what = "the message is malformed (" + std::to_string(static_cast<int>(code)) + ")";
        break;
    default:
        break;
    }
}

// The bytes of a stream over the message in memory (the parser's parts are
// windows on the stream it parsed), without a copy; no data when the stream
// is of another kind. The stream must be at its start.
std::string_view InMemory(GMimeStream* stream) {
    if (!GMIME_IS_STREAM_MEM(stream)) return {};
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    const gint64 at = g_mime_stream_tell(stream), length = g_mime_stream_length(stream);
    if (!array || at < 0 || length < 0 || static_cast<uint64_t>(at) + static_cast<uint64_t>(length) > array->len) return {};
    return {reinterpret_cast<const char*>(array->data) + at, static_cast<size_t>(length)};
}

// The bytes of a base64 part, decoded here rather than through GMime's
// filter (which costs more than the rest of the import); nullopt when the
// text is anything but plain base64 with padding at its end, which GMime's
// lenient decoding then takes.
std::optional<std::string> PlainBase64Bytes(GMimeDataWrapper* content) {
    if (g_mime_data_wrapper_get_encoding(content) != GMIME_CONTENT_ENCODING_BASE64) return std::nullopt;
    GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
    if (!raw || g_mime_stream_reset(raw) < 0) return std::nullopt;
    std::string gathered;
    std::string_view text = InMemory(raw);
    if (!text.data()) {
        if (gint64 length = g_mime_stream_length(raw); length > 0) gathered.reserve(static_cast<size_t>(length));
        char chunk[65536];
        for (ssize_t n; (n = g_mime_stream_read(raw, chunk, sizeof chunk)) > 0;)
            gathered.append(chunk, static_cast<size_t>(n));
        g_mime_stream_reset(raw);
        text = gathered;
    }
    size_t stop = 0;
    std::optional<std::string> bytes = DecodeBase64Until(text, stop);
    if (bytes && text.find_first_not_of("= \t\r\n", stop) != std::string::npos) return std::nullopt;
    return bytes;
}

std::string PartBytes(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) return {};
    if (std::optional<std::string> bytes = PlainBase64Bytes(content)) return std::move(*bytes);
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, stream.get()) < 0) ThrowDispatch(hrFail, "a part of the message cannot be decoded");
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return array ? std::string(reinterpret_cast<const char*>(array->data), array->len) : std::string();
}

std::u16string PartText(GMimePart* part) {
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return FromCharset(PartBytes(part), charset ? charset : "UTF-8");
}

// Address fields are read as text and split as the conversion joins them
// (";" or ","): the writer encodes a whole list as one encoded word, which
// an RFC 5322 address parser would take for a single display name.
std::vector<CAddress> HeaderAddresses(GMimeObject* object, const char* name) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    if (!header) return {};
    const char* raw = g_mime_header_get_raw_value(header);
    if (!raw) return {};
    std::string unfolded;
    for (const char* c = raw; *c; ++c)
        if (*c != '\r' && *c != '\n') unfolded.push_back(*c);
    char* decoded = g_mime_utils_header_decode_text(nullptr, unfolded.c_str());
    std::u16string text = FromUtf8(decoded ? decoded : unfolded.c_str());
    g_free(decoded);
    return ParseAddressList(text);
}

std::u16string HeaderText(GMimeObject* object, const char* name) {
    const char* value = g_mime_object_get_header(object, name);
    return value ? Trim(FromUtf8(value)) : u"";
}

void ImportHeaders(CMessageData& data, GMimeMessage* message) {
    CPropertyBag& p = data.props;
    const char* subject = g_mime_message_get_subject(message);
    if (subject) SetSubject(p, FromUtf8(subject));

    GMimeObject* object = GMIME_OBJECT(message);
    std::vector<CAddress> from = HeaderAddresses(object, "From");
    if (!from.empty()) {
        SetSender(p, from.front());
        SetSentRepresenting(p, from.front());
    }
    const std::pair<const char*, int32_t> lists[] = {{"To", 1}, {"Cc", 2}, {"Bcc", 3}};
    for (const auto& [field, rowType] : lists) {
        std::vector<CAddress> addresses = HeaderAddresses(object, field);
        if (!addresses.empty()) SetRecipients(data, rowType, addresses);
    }
    if (GDateTime* date = g_mime_message_get_date(message)) {
        CFileTime t = FileTimeFromUnix(g_date_time_to_unix(date));
        p.Set(tagClientSubmitTime, t);
        if (!p.Has(tagMessageDeliveryTime)) p.Set(tagMessageDeliveryTime, t);
    }
    if (auto id = HeaderText(object, "Message-ID"); !id.empty()) p.Set(tagInternetMessageId, id);
    if (auto id = HeaderText(object, "In-Reply-To"); !id.empty()) p.Set(tagInReplyTo, id);
    if (auto id = HeaderText(object, "References"); !id.empty()) p.Set(tagInternetReferences, id);
    // The header block itself is composed from the item's final values on save.
    p.Set(tagTransportHeaders, u"");
}

struct CBodyParts {
    std::optional<std::u16string> html;
    std::optional<std::u16string> text;
    std::vector<CAttachment> attachments;
};

bool IsAttachmentPart(GMimeObject* part) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(part);
    if (disposition && g_mime_content_disposition_is_attachment(disposition)) return true;
    return GMIME_IS_PART(part) && g_mime_part_get_filename(GMIME_PART(part)) != nullptr;
}

void CollectPart(GMimeObject* part, CBodyParts& parts) {
    if (GMIME_IS_MULTIPART(part)) {
        GMimeMultipart* multi = GMIME_MULTIPART(part);
        int n = g_mime_multipart_get_count(multi);
        for (int i = 0; i < n; ++i) CollectPart(g_mime_multipart_get_part(multi, i), parts);
        return;
    }
    if (GMIME_IS_MESSAGE_PART(part)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(part));
        if (!inner) return;
        char* text = g_mime_object_to_string(GMIME_OBJECT(inner), nullptr);
        std::string bytes = text ? text : "";
        g_free(text);
        const char* subject = g_mime_message_get_subject(inner);
        std::u16string name = subject && *subject ? FromUtf8(subject) + u".eml" : u"message.eml";
        parts.attachments.push_back(MakeAttachment(name, u"message/rfc822", std::move(bytes)));
        return;
    }
    if (!GMIME_IS_PART(part)) return;
    GMimeContentType* type = g_mime_object_get_content_type(part);
    bool attachment = IsAttachmentPart(part);
    if (!attachment && type && g_mime_content_type_is_type(type, "text", "html") && !parts.html) {
        parts.html = PartText(GMIME_PART(part));
        return;
    }
    if (!attachment && (!type || g_mime_content_type_is_type(type, "text", "plain")) && !parts.text) {
        parts.text = PartText(GMIME_PART(part));
        return;
    }
    const char* filename = g_mime_part_get_filename(GMIME_PART(part));
    char* mime = type ? g_mime_content_type_get_mime_type(type) : nullptr;
    std::u16string mimeType = mime ? FromUtf8(mime) : u"";
    g_free(mime);
    std::u16string name = filename ? FromUtf8(filename) : u"";
    if (name.empty()) name = u"attachment" + ExtensionOf(u"x." + mimeType.substr(mimeType.find(u'/') + 1));
    if (mimeType == u"application/octet-stream") mimeType = MimeTypeForName(name);
    CAttachment a = MakeAttachment(name, mimeType, PartBytes(GMIME_PART(part)));
    if (const char* cid = g_mime_object_get_content_id(part)) {
        a.props.Set(tagAttachContentId, FromUtf8(cid));
        a.props.Set(tagAttachmentHidden, true);
        a.props.Set(tagAttachFlags, int32_t(4));
    }
    if (const char* location = g_mime_part_get_content_location(GMIME_PART(part)))
        a.props.Set(tagAttachContentLocation, FromUtf8(location));
    parts.attachments.push_back(std::move(a));
}

}  // namespace

void ImportRfc822(CMessageData& data, std::string_view bytes) {
    CheckHeaderBlock(bytes);
    InitGMime();
    // The stream reads the caller's bytes in place: the parser only reads,
    // and every stream over them is gone when this returns.
    if (bytes.size() > G_MAXUINT) ThrowDispatch(hrFail, "the message is too large");
    std::unique_ptr<GByteArray, void (*)(GByteArray*)> view(
        g_byte_array_new_take(reinterpret_cast<guint8*>(const_cast<char*>(bytes.data())), bytes.size()),
        [](GByteArray* a) { g_byte_array_free(a, FALSE); });
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_stream_mem_set_byte_array(GMIME_STREAM_MEM(stream.get()), view.get());
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    CParseIssues issues;
    std::unique_ptr<GMimeParserOptions, void (*)(GMimeParserOptions*)> options(g_mime_parser_options_new(),
                                                                               g_mime_parser_options_free);
    g_mime_parser_options_set_warning_callback(options.get(), OnParserWarning, &issues);
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), options.get()));
    if (!message) ThrowDispatch(hrFail, "the file is not an RFC 822 message");
    if (issues.fatal) ThrowDispatch(hrFail, issues.what);

    ImportHeaders(data, message.get());
    CBodyParts parts;
    if (GMimeObject* body = g_mime_message_get_mime_part(message.get())) CollectPart(body, parts);
    for (auto& a : parts.attachments) data.attachments.push_back(std::move(a));
    if (parts.html && !Trim(*parts.html).empty()) SetHtmlBody(data.props, EmbedLocalImages(*parts.html, data));
    else if (parts.text && !parts.text->empty()) SetPlainBody(data.props, *parts.text);
}

namespace {

std::string AddressField(const CMessageData& data, int32_t type) {
    GPtr<InternetAddressList> list(internet_address_list_new());
    for (const auto& r : data.recipients) {
        if (r.props.GetInt(tagRecipientType) != type) continue;
        std::string name = ToUtf8(r.props.GetString(tagDisplayName));
        std::string address = ToUtf8(r.props.GetString(tagEmailAddress));
        if (name == address) name.clear();
        InternetAddress* ia = internet_address_mailbox_new(name.empty() ? nullptr : name.c_str(), address.c_str());
        internet_address_list_add(list.get(), ia);
        g_object_unref(ia);
    }
    if (internet_address_list_length(list.get()) == 0) return {};
    char* text = internet_address_list_to_string(list.get(), nullptr, TRUE);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

std::string EncodedText(const std::u16string& text) {
    char* encoded = g_mime_utils_header_encode_text(nullptr, ToUtf8(text).c_str(), "utf-8");
    std::string out = encoded ? encoded : "";
    g_free(encoded);
    return out;
}

}  // namespace

std::u16string ComposeTransportHeaders(const CMessageData& data) {
    InitGMime();
    const CPropertyBag& p = data.props;
    std::string out;
    auto line = [&](const char* name, const std::string& value) {
        if (!value.empty()) out += std::string(name) + ": " + value + "\r\n";
    };
    const CPropValue* submit = p.Get(tagClientSubmitTime);
    if (!submit) submit = p.Get(tagMessageDeliveryTime);
    if (submit && std::holds_alternative<CFileTime>(*submit)) {
        int64_t unixSeconds = (std::get<CFileTime>(*submit).value - 116444736000000000LL) / 10000000LL;
        if (GDateTime* date = g_date_time_new_from_unix_utc(unixSeconds)) {
            char* text = g_mime_utils_header_format_date(date);
            line("Date", text ? text : "");
            g_free(text);
            g_date_time_unref(date);
        }
    }
    std::string senderAddress = ToUtf8(p.GetString(tagSentReprEmail));
    if (senderAddress.empty()) senderAddress = ToUtf8(p.GetString(tagSenderEmail));
    if (!senderAddress.empty()) {
        std::u16string name = p.GetString(tagSentReprName);
        std::string shownName = name.empty() || ToUtf8(name) == senderAddress ? "" : EncodedText(name);
        line("From", shownName.empty() ? "<" + senderAddress + ">" : shownName + " <" + senderAddress + ">");
    }
    line("To", AddressField(data, 1));
    line("Cc", AddressField(data, 2));
    line("Subject", EncodedText(p.GetString(tagSubject)));
    line("Message-ID", ToUtf8(p.GetString(tagInternetMessageId)));
    line("In-Reply-To", ToUtf8(p.GetString(tagInReplyTo)));
    line("References", ToUtf8(p.GetString(tagInternetReferences)));
    line("MIME-Version", "1.0");
    return FromUtf8(out);
}

}  // namespace store

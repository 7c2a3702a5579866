// Entity content, parts, boundary, and the multipart measure and store.
#include "worker/mime/CMimeBody.h"

#include <cstring>
#include <new>

#include "worker/mime/CodecTables.h"
#include "worker/mime/MimeBoundary.h"
#include "worker/mime/MimeText.h"

namespace {

const char kContentType[] = "Content-Type";
const char kTransferEncoding[] = "Content-Transfer-Encoding";

// Whether a Content-Type value names a multipart type ("multipart" or
// "multipart/..."), ignoring parameters, trailing blanks and letter case.
bool IsMultipart(std::string_view value)
{
    std::string_view type = value.substr(0, value.find(';'));
    while (!type.empty() && mime::IsWhiteSpace(type.back())) type.remove_suffix(1);
    return mime::EqualsNoCase(type.substr(0, type.find('/')), "multipart");
}

void Append(char* buffer, int64_t& at, std::string_view text)
{
    std::memcpy(buffer + at, text.data(), text.size());
    at += static_cast<int64_t>(text.size());
}

}  // namespace

CMimeBody::~CMimeBody()
{
    CMimeBody::ClearAll();
}

void CMimeBody::ClearAll()
{
    CMimeHeader::ClearAll();
    FreeContent();
    for (auto& part : parts) part.reset();
    parts.clear();
}

void CMimeBody::FreeContent()
{
    content.reset();
    contentLength = 0;
}

std::unique_ptr<CMimeCodeBase> CMimeBody::ContentCodec() const
{
    const std::string* encoding = FieldValue(kTransferEncoding);
    auto codec = CreateTransferCodec(encoding ? std::string_view(*encoding) : std::string_view());
    codec->SetInput(content.get(), static_cast<size_t>(contentLength), ECodeDirection::Encode);
    return codec;
}

int64_t CMimeBody::MeasureStored() const
{
    int64_t total = CMimeHeader::MeasureStored() + static_cast<int64_t>(ContentCodec()->OutputLength());
    if (parts.empty()) return total;
    const CMimeHeaderField* type = FindField(kContentType);
    const auto boundaryLength = static_cast<int64_t>(type ? type->FieldParameter("boundary").size() : 0);
    for (const auto& part : parts) total += boundaryLength + 6 + part->MeasureStored();
    return total + boundaryLength + 8;
}

int64_t CMimeBody::StoreTo(char* buffer, int64_t capacity) const
{
    int64_t at = CMimeHeader::StoreTo(buffer, capacity);
    if (at == 0) return 0;
    at += static_cast<int64_t>(ContentCodec()->Output(buffer + at, static_cast<size_t>(capacity - at)));
    if (parts.empty()) return at;
    return StoreParts(buffer, capacity, at);
}

int64_t CMimeBody::StoreParts(char* buffer, int64_t capacity, int64_t at) const
{
    const CMimeHeaderField* type = FindField(kContentType);
    const std::string boundary = type ? type->FieldParameter("boundary") : std::string();
    if (boundary.empty()) return -1;
    const auto boundaryLength = static_cast<int64_t>(boundary.size());
    bool first = true;
    for (const auto& part : parts) {
        if (capacity - at < boundaryLength + 6) break;
        // The first delimiter's leading CRLF takes the place of the CRLF
        // that ends the header, so no preamble line appears.
        if (first && at >= 2 && buffer[at - 2] == '\r' && buffer[at - 1] == '\n') at -= 2;
        first = false;
        Append(buffer, at, "\r\n--");
        Append(buffer, at, boundary);
        Append(buffer, at, "\r\n");
        const int64_t written = part->StoreTo(buffer + at, capacity - at);
        if (written < 0) return written;
        at += written;
    }
    if (capacity - at >= boundaryLength + 8) {
        Append(buffer, at, "\r\n--");
        Append(buffer, at, boundary);
        Append(buffer, at, "--\r\n");
    }
    return at;
}

int64_t CMimeBody::ParseFrom(const char*, int64_t)
{
    return -1;
}

void CMimeBody::SetContentType(std::string_view type)
{
    PutField(kContentType, type);
}

void CMimeBody::SetTransferEncoding(std::string_view encoding)
{
    PutField(kTransferEncoding, encoding);
}

void CMimeBody::SetCharset(std::string_view charset)
{
    if (!FindField(kContentType)) PutField(kContentType, "text/plain");
    FindField(kContentType)->SetFieldParameter("charset", charset);
}

void CMimeBody::SetName(std::string_view name)
{
    if (!FindField(kContentType)) PutField(kContentType, "application/octet-stream");
    FindField(kContentType)->SetFieldParameter("name", name);
}

int64_t CMimeBody::SetTextContent(const char* bytes, int64_t length)
{
    FreeContent();
    if (length == 0 && bytes) length = static_cast<int64_t>(std::strlen(bytes));
    if (length < 0 || (length > 0 && !bytes)) return -1;
    char* copy = new (std::nothrow) char[static_cast<size_t>(length) + 4];
    if (!copy) return -1;
    if (length > 0) std::memcpy(copy, bytes, static_cast<size_t>(length));
    std::memset(copy + length, 0, 4);
    content.reset(copy);
    contentLength = length;
    return length;
}

int64_t CMimeBody::SetTextContent(std::string_view text)
{
    if (text.empty()) {
        FreeContent();
        return 0;
    }
    return SetTextContent(text.data(), static_cast<int64_t>(text.size()));
}

bool CMimeBody::SetBinaryContent(std::string_view displayName, const char* bytes, int64_t length)
{
    std::unique_ptr<char[]> copy;
    if (length > 0 && bytes) {
        copy.reset(new (std::nothrow) char[static_cast<size_t>(length)]);
        if (!copy) return false;
        std::memcpy(copy.get(), bytes, static_cast<size_t>(length));
    }
    TakeBinaryContent(displayName, std::move(copy), length);
    return true;
}

void CMimeBody::TakeBinaryContent(std::string_view displayName, std::unique_ptr<char[]> bytes, int64_t length)
{
    if (length > 0 && bytes) {
        content = std::move(bytes);
        contentLength = length;
    }
    const size_t slash = displayName.rfind('\\');
    SetName(slash == std::string_view::npos ? displayName : displayName.substr(slash + 1));
}

CMimeBody* CMimeBody::AddPart()
{
    parts.push_back(CreatePart({}));
    return parts.back().get();
}

void CMimeBody::SetBoundary(std::string_view boundary)
{
    const std::string text = boundary.empty() ? GenerateBoundary(BoundarySeed(this)) : std::string(boundary);
    CMimeHeaderField* type = FindField(kContentType);
    if (!type) {
        PutField(kContentType, "multipart/mixed");
    } else if (!IsMultipart(type->value)) {
        type->value = "multipart/mixed";
    }
    FindField(kContentType)->SetFieldParameter("boundary", text);
}

std::string_view CMimeBody::Content() const
{
    return std::string_view(content.get(), static_cast<size_t>(contentLength));
}

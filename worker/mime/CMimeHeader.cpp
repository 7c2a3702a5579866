// Header fields, their parameters, and the header's measure and store.
#include "worker/mime/CMimeHeader.h"

#include <cstring>
#include <optional>

#include "worker/mime/CodecTables.h"
#include "worker/mime/MimeText.h"

namespace {

struct SValueRange {
    size_t begin;
    size_t end;
};

// A byte that may stand in an unquoted parameter value.
bool IsTokenByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (c == '.' || byte >= 0x80) return true;
    return byte > 0x20 && std::strchr("()<>,;:\\.[]=@\"", c) == nullptr;
}

// The end of the parameter value that starts at `at`: a quoted string up to
// and including its closing quote, or a run of token bytes.
size_t ValueEnd(std::string_view text, size_t at)
{
    if (at < text.size() && text[at] == '"') {
        const size_t close = text.find('"', at + 1);
        return close == std::string_view::npos ? text.size() : close + 1;
    }
    while (at < text.size() && IsTokenByte(text[at])) ++at;
    return at;
}

bool NameMatchesAt(std::string_view text, size_t at, std::string_view parameter)
{
    const std::string_view rest = text.substr(at);
    if (!mime::StartsWithNoCase(rest, parameter) || rest.size() == parameter.size()) return false;
    const char after = rest[parameter.size()];
    return mime::IsWhiteSpace(after) || after == '=';
}

// Where the parameter's value text (quotes included) lies in a field value.
std::optional<SValueRange> FindParameter(std::string_view text, std::string_view parameter)
{
    size_t at = text.find(';');
    if (at == std::string_view::npos) return std::nullopt;
    for (;;) {
        while (at < text.size() && (mime::IsWhiteSpace(text[at]) || text[at] == ';')) ++at;
        const size_t equals = text.find('=', at);
        if (equals == std::string_view::npos) return std::nullopt;
        size_t valueBegin = equals + 1;
        while (valueBegin < text.size() && mime::IsWhiteSpace(text[valueBegin])) ++valueBegin;
        const size_t valueEnd = ValueEnd(text, valueBegin);
        if (NameMatchesAt(text, at, parameter)) return SValueRange{valueBegin, valueEnd};
        at = valueEnd;
    }
}

std::string Quoted(std::string_view text)
{
    std::string quoted;
    if (text.empty() || text.front() != '"') quoted += '"';
    quoted += text;
    if (text.size() < 2 || text.back() != '"') quoted += '"';
    return quoted;
}

void Append(char* buffer, int64_t& at, std::string_view text)
{
    std::memcpy(buffer + at, text.data(), text.size());
    at += static_cast<int64_t>(text.size());
}

}  // namespace

void CMimeHeaderField::SetFieldParameter(std::string_view parameter, std::string_view parameterValue)
{
    const std::string quoted = Quoted(parameterValue);
    if (const auto range = FindParameter(value, parameter)) {
        value.replace(range->begin, range->end - range->begin, quoted);
        return;
    }
    value.append("; ").append(parameter).append("=").append(quoted);
}

std::string CMimeHeaderField::FieldParameter(std::string_view parameter) const
{
    const auto range = FindParameter(value, parameter);
    if (!range) return std::string();
    std::string_view text = std::string_view(value).substr(range->begin, range->end - range->begin);
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    return std::string(text);
}

CMimeHeader::~CMimeHeader() = default;

void CMimeHeader::ClearAll()
{
    fields.clear();
}

int64_t CMimeHeader::MeasureStored() const
{
    int64_t total = 2;
    for (const CMimeHeaderField& field : fields) {
        auto codec = CreateFieldCodec(field.name);
        codec->charset = field.charset;
        codec->SetInput(field.value.data(), field.value.size(), ECodeDirection::Encode);
        total += static_cast<int64_t>(field.name.size() + codec->OutputLength() + 4);
    }
    return total;
}

int64_t CMimeHeader::StoreTo(char* buffer, int64_t capacity) const
{
    int64_t at = 0;
    for (const CMimeHeaderField& field : fields) {
        const int64_t fixedPart = static_cast<int64_t>(field.name.size()) + 4;
        if (capacity - at < fixedPart) return 0;
        Append(buffer, at, field.name);
        Append(buffer, at, ": ");
        auto codec = CreateFieldCodec(field.name);
        codec->charset = field.charset;
        codec->SetInput(field.value.data(), field.value.size(), ECodeDirection::Encode);
        // The value is cut where only its CRLF still fits.
        at += static_cast<int64_t>(codec->Output(buffer + at, static_cast<size_t>(capacity - at - 2)));
        Append(buffer, at, "\r\n");
    }
    if (capacity - at < 2) return 0;
    Append(buffer, at, "\r\n");
    return at;
}

int64_t CMimeHeader::ParseFrom(const char*, int64_t)
{
    return -1;
}

void CMimeHeader::PutField(std::string_view name, std::string_view value)
{
    if (CMimeHeaderField* field = FindField(name)) {
        field->name.assign(name);
        field->value.assign(value);
        field->charset.clear();
        return;
    }
    fields.emplace_back(name, value);
}

CMimeHeaderField* CMimeHeader::FindField(std::string_view name)
{
    for (CMimeHeaderField& field : fields) {
        if (mime::EqualsNoCase(field.name, name)) return &field;
    }
    return nullptr;
}

const CMimeHeaderField* CMimeHeader::FindField(std::string_view name) const
{
    return const_cast<CMimeHeader*>(this)->FindField(name);
}

const std::string* CMimeHeader::FieldValue(std::string_view name) const
{
    const CMimeHeaderField* field = FindField(name);
    return field ? &field->value : nullptr;
}

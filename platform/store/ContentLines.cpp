#include "platform/store/ContentLines.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/store/DispatchArgs.h"
#include "platform/store/StoreText.h"
#include "platform/sys/Text.h"

namespace store {
namespace {

constexpr size_t maxTextLine = 1024 * 1024;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

// The lines of `bytes`, without their line ends; they point into `bytes`.
std::vector<std::string_view> RawLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r') --stop;
        lines.push_back(bytes.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

bool IsBase64(const CContentLine& line) {
    std::string encoding = Upper(line.Param("ENCODING"));
    return encoding == "BASE64" || encoding == "B" || line.HasBareParam("BASE64");
}

bool IsQuotedPrintable(const CContentLine& line) {
    return Upper(line.Param("ENCODING")) == "QUOTED-PRINTABLE" || line.HasBareParam("QUOTED-PRINTABLE");
}

// Whether a line holds nothing but blanks; unlike trimming it copies nothing
// (a line of base64 data runs to megabytes).
bool IsBlankLine(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// NAME;P=v;P="q:v":value, or NAME;P=v with no value part. The value is
// moved out of `text`.
bool ParseLine(std::string& text, CContentLine& out) {
    size_t i = 0;
    while (i < text.size() && text[i] != ';' && text[i] != ':') ++i;
    out.name = Upper(TrimAscii(text.substr(0, i)));
    if (out.name.empty()) return false;
    while (i < text.size() && text[i] == ';') {
        ++i;
        std::string param;
        bool quoted = false;
        while (i < text.size() && (quoted || (text[i] != ';' && text[i] != ':'))) {
            if (text[i] == '"') quoted = !quoted;
            else param.push_back(text[i]);
            ++i;
        }
        size_t eq = param.find('=');
        if (eq == std::string::npos) out.params.emplace_back(Upper(TrimAscii(param)), "");
        else out.params.emplace_back(Upper(TrimAscii(param.substr(0, eq))), param.substr(eq + 1));
    }
    if (i < text.size() && text[i] == ':') out.value = std::move(text.erase(0, i + 1));
    return true;
}

}  // namespace

std::string CContentLine::Param(const std::string& paramName) const {
    for (const auto& [n, v] : params)
        if (n == paramName) return v;
    return {};
}

bool CContentLine::HasParamValue(const std::string& paramName, const std::string& expected) const {
    for (const auto& [n, v] : params) {
        if (n != paramName) continue;
        std::string all = Upper(v);
        size_t start = 0;
        for (;;) {
            size_t comma = all.find(',', start);
            if (TrimAscii(all.substr(start, comma == std::string::npos ? std::string::npos : comma - start)) == expected)
                return true;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    return false;
}

bool CContentLine::HasBareParam(const std::string& word) const {
    for (const auto& [n, v] : params)
        if (n == word && v.empty()) return true;
    return false;
}

std::vector<CContentLine> ParseContentLines(std::string_view bytes) {
    if (bytes.find('\0') != std::string::npos) ThrowDispatch(hrFail, "the file is not text");
    std::vector<std::string_view> raw = RawLines(bytes);
    std::vector<CContentLine> lines;
    for (size_t i = 0; i < raw.size(); ++i) {
        std::string text(raw[i]);
        // Folded continuation lines begin with a blank.
        while (i + 1 < raw.size() && !raw[i + 1].empty() && (raw[i + 1][0] == ' ' || raw[i + 1][0] == '\t')) {
            text.append(raw[++i].substr(1));
        }
        if (IsBlankLine(text)) continue;
        CContentLine line;
        if (!ParseLine(text, line)) continue;
        if (IsQuotedPrintable(line)) {
            // A value ending in "=" goes on in the next line (soft line break).
            while (!line.value.empty() && line.value.back() == '=' && i + 1 < raw.size()) {
                line.value.pop_back();
                line.value += raw[++i];
            }
        } else if (IsBase64(line)) {
            // vCard 2.1 style: the data runs on in the following lines up to an empty one.
            while (i + 1 < raw.size() && !IsBlankLine(raw[i + 1]) && raw[i + 1].find(':') == std::string_view::npos)
                line.value += TrimAscii(raw[++i]);
        }
        if (line.value.size() > maxTextLine && !IsBase64(line))
            ThrowDispatch(hrFail, "a line of the file is too long: " + line.name);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string DecodeLineBreaks(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size()) {
            std::string hex = Upper(value.substr(i + 1, 2));
            if (hex == "0D") { out.push_back('\r'); i += 2; continue; }
            if (hex == "0A") { out.push_back('\n'); i += 2; continue; }
        }
        out.push_back(value[i]);
    }
    return out;
}

std::u16string DecodeValue(const CContentLine& line) {
    std::string value = IsQuotedPrintable(line) ? DecodeLineBreaks(line.value) : line.value;
    std::string charset = line.Param("CHARSET");
    if (!charset.empty()) return FromCharset(value, charset);
    return sys::AnsiToUtf16(value);
}

}  // namespace store

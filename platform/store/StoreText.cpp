#include "platform/store/StoreText.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <memory>

namespace store {

// Both conversions write through a pointer into a buffer sized beforehand
// (for the longest result, or exactly), with ASCII first: bodies are mostly
// ASCII, and appending character by character cost more than the rest of
// the conversion.
std::u16string FromUtf8(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');  // never more units than bytes
    char16_t* o = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = in[i];
        if (c < 0x80) {
            *o++ = c;
            ++i;
            continue;
        }
        char32_t cp;
        size_t len;
        if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
        else { *o++ = 0xFFFD; ++i; continue; }
        bool ok = i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            unsigned char cc = in[i + k];
            if ((cc & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (cc & 0x3F);
        }
        static const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            *o++ = 0xFFFD;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    // Sized exactly first: a body may be tens of megabytes.
    const size_t n = text.size();
    size_t size = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        if (c < 0x80) size += 1;
        else if (c < 0x800) size += 2;
        else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            size += 4;
            ++i;
        } else {
            size += 3;  // also a lone surrogate, written as U+FFFD
        }
    }
    std::string out(size, '\0');
    char* o = out.data();
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            *o++ = static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            *o++ = static_cast<char>(0xC0 | (cp >> 6));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (cp >> 12));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *o++ = static_cast<char>(0xF0 | (cp >> 18));
            *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::u16string FromCharset(std::string_view bytes, const std::string& charset) {
    std::string lower;
    for (char c : charset) lower.push_back(static_cast<char>(tolower(static_cast<unsigned char>(c))));
    if (lower == "utf-8" || lower == "utf8" || lower == "us-ascii" || lower == "ascii") return FromUtf8(bytes);
    UErrorCode status = U_ZERO_ERROR;
    UConverter* raw = ucnv_open(charset.c_str(), &status);
    if (U_FAILURE(status) || !raw) {
        status = U_ZERO_ERROR;
        raw = ucnv_open("windows-1252", &status);
        if (U_FAILURE(status) || !raw) return FromUtf8(bytes);
    }
    std::unique_ptr<UConverter, void (*)(UConverter*)> conv(raw, ucnv_close);
    std::u16string out(bytes.size() * 2 + 4, u'\0');
    status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                              static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return FromUtf8(bytes);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string Lower(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) {
        if (c < 0x80)
            c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c | 0x20) : c;
        else
            c = static_cast<char16_t>(u_tolower(c));
    }
    return out;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x == y) continue;
        // Tag and keyword names are ASCII: ICU only for the rest.
        if (x < 0x80 && y < 0x80) {
            if ((x | 0x20) != (y | 0x20) || (x | 0x20) < u'a' || (x | 0x20) > u'z') return false;
        } else if (u_tolower(x) != u_tolower(y)) {
            return false;
        }
    }
    return true;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

static bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string Trim(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return std::u16string(text.substr(b, e - b));
}

std::string TrimAscii(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(static_cast<char16_t>(text[b]))) ++b;
    while (e > b && IsBlank(static_cast<char16_t>(text[e - 1]))) --e;
    return std::string(text.substr(b, e - b));
}

std::vector<std::u16string> Split(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(separator, start);
        if (pos == std::u16string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::u16string Join(const std::vector<std::u16string>& parts, std::u16string_view separator) {
    std::u16string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

std::u16string ReplaceAll(std::u16string text, std::u16string_view from, std::u16string_view to) {
    if (from.empty()) return text;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::u16string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

}  // namespace store

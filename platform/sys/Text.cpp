#include "platform/sys/Text.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/uchar.h>

#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <map>
#include <memory>
#include <mutex>

namespace sys {
namespace {

struct CConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, CConverterCloser>;

// Opens a converter whose unmappable characters become '?' on the way out
// and U+FFFD on the way in.
ConverterPtr OpenConverter(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr conv(ucnv_open(name.c_str(), &status));
    if (U_FAILURE(status)) return nullptr;
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

// Opening a converter looks up its name and loads its tables, which costs more
// than converting a short text: every thread keeps the converters it opened.
// A whole-string conversion resets the converter first, so no state carries
// over from one text to the next.
UConverter* CachedConverter(const std::string& name) {
    thread_local std::map<std::string, ConverterPtr> opened;
    auto found = opened.find(name);
    if (found == opened.end()) {
        ConverterPtr conv = OpenConverter(name);
        if (!conv) return nullptr;
        found = opened.emplace(name, std::move(conv)).first;
    }
    ucnv_reset(found->second.get());
    return found->second.get();
}

std::string FromUnicode(const std::string& codepage, std::u16string_view text) {
    if (text.empty()) return {};
    UConverter* conv = CachedConverter(codepage);
    if (!conv) return Utf16ToUtf8(text);
    std::string out(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(conv)), '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()),
                                reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                                &status);
    if (U_FAILURE(status)) return {};
    out.resize(n);
    return out;
}

std::u16string ToUnicode(const std::string& codepage, std::string_view bytes) {
    if (bytes.empty()) return {};
    UConverter* conv = CachedConverter(codepage);
    if (!conv) return Utf8ToUtf16(bytes);
    std::u16string out(bytes.size() * 2 + 2, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                              bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return {};
    out.resize(n);
    return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    if (text.empty()) return {};
    std::u16string out(text.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &length,
                         text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(length);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    if (text.empty()) return {};
    std::string out(text.size() * 3 + 1, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                       reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), 0xFFFD,
                       nullptr, &status);
    if (U_FAILURE(status)) return {};
    out.resize(length);
    return out;
}

std::string AnsiCodePageName() {
    if (const char* chosen = std::getenv("NSF2PST_CODEPAGE"); chosen && *chosen) return chosen;
    static const std::string localeCharset = [] {
        // The process locale as the environment sets it; C/POSIX means ASCII,
        // which on these machines is taken as UTF-8 so nothing is lost.
        locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        std::string name = "UTF-8";
        if (loc) {
            const char* cs = nl_langinfo_l(CODESET, loc);
            if (cs && *cs && std::string(cs) != "ANSI_X3.4-1968") name = cs;
            freelocale(loc);
        }
        return name;
    }();
    return localeCharset;
}

std::string Utf16ToAnsi(std::u16string_view text) { return FromUnicode(AnsiCodePageName(), text); }
std::u16string AnsiToUtf16(std::string_view text) { return ToUnicode(AnsiCodePageName(), text); }

namespace {
// Tab, line feed, carriage return and printable ASCII are single LMBCS bytes
// of the same value; the other control codes are group bytes or need one.
bool IsPlainLmbcsUnit(unsigned c) { return (c >= 0x20 && c < 0x80) || c == 0x09 || c == 0x0A || c == 0x0D; }
}  // namespace

// Most Notes text is plain ASCII, which needs no converter.
std::string Utf16ToLmbcs(std::u16string_view text) {
    for (char16_t c : text)
        if (!IsPlainLmbcsUnit(c)) return FromUnicode("LMBCS-1", text);
    return std::string(text.begin(), text.end());
}

std::u16string LmbcsToUtf16(std::string_view text) {
    for (char c : text)
        if (!IsPlainLmbcsUnit(static_cast<unsigned char>(c))) return ToUnicode("LMBCS-1", text);
    return Widen(text);
}

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string ToLower(std::u16string_view text) {
    if (text.empty()) return {};
    std::u16string out(text.size() * 2 + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = u_strToLower(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                             reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), "",
                             &status);
    if (U_FAILURE(status)) return std::u16string(text);
    out.resize(n);
    return out;
}

std::string ToUtf16LeBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::u16string FromUtf16LeBytes(std::string_view bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                       (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    return out;
}

}  // namespace sys

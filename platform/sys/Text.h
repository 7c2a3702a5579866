// Text conversions at the edges of the programs. Inside, text is UTF-16
// (std::u16string); these turn it into and out of UTF-8, the system ANSI code
// page (the locale's charset, or NSF2PST_CODEPAGE when set, unmappable
// characters become '?') and Notes' LMBCS.
#pragma once
#include <string>
#include <string_view>

namespace sys {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The converter name of the system ANSI code page, e.g. "UTF-8" or "windows-1252".
std::string AnsiCodePageName();
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string AnsiToUtf16(std::string_view text);

std::string Utf16ToLmbcs(std::u16string_view text);
std::u16string LmbcsToUtf16(std::string_view text);

// Plain ASCII widening for literals and numbers ("abc" -> u"abc").
std::u16string Widen(std::string_view ascii);

// Lower-casing of UTF-16 text (full Unicode simple case mapping).
std::u16string ToLower(std::u16string_view text);

// Little-endian UTF-16 bytes of a string and back (no byte-order mark).
std::string ToUtf16LeBytes(std::u16string_view text);
std::u16string FromUtf16LeBytes(std::string_view bytes);

}  // namespace sys

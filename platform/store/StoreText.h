// Small text helpers of the store layer: UTF-8 and code-page decoding,
// case-insensitive comparison, trimming and splitting of UTF-16 text.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace store {

std::u16string FromUtf8(std::string_view bytes);   // invalid sequences become U+FFFD
std::string ToUtf8(std::u16string_view text);
// Decodes bytes of a named charset (ICU converter name); unknown charsets are read as windows-1252.
std::u16string FromCharset(std::string_view bytes, const std::string& charset);
std::u16string Widen(std::string_view ascii);

std::u16string Lower(std::u16string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);
std::u16string Trim(std::u16string_view text);
std::string TrimAscii(std::string_view text);
std::vector<std::u16string> Split(std::u16string_view text, char16_t separator);
std::u16string Join(const std::vector<std::u16string>& parts, std::u16string_view separator);
std::u16string ReplaceAll(std::u16string text, std::u16string_view from, std::u16string_view to);

}  // namespace store

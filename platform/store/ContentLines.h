// The line grammar shared by vCard and iCalendar files: "NAME;PARAM=v:value"
// lines, folded lines, quoted-printable soft breaks, base64 blocks that run
// on to an empty line, and parameters without a value part (a line with no
// ":" at all, as in ORGANIZER;CN="name").
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace store {

struct CContentLine {
    std::string name;  // upper case
    std::vector<std::pair<std::string, std::string>> params;  // names upper case, values unquoted
    std::string value;  // raw bytes, quoted-printable and base64 not yet decoded

    // The value of a parameter (case-insensitive name), or empty.
    std::string Param(const std::string& paramName) const;
    bool HasParamValue(const std::string& paramName, const std::string& expected) const;
    bool HasBareParam(const std::string& word) const;  // "TEL;VOICE;ASSISTANT" style
};

// Splits a file into content lines. Throws CDispatchError on text that
// holds NUL bytes or on a line longer than the limit (base64 data excepted).
std::vector<CContentLine> ParseContentLines(std::string_view bytes);

// The value as text: its CHARSET, else the system code page.
std::u16string DecodeValue(const CContentLine& line);
// Decodes the "=0D=0A" breaks of quoted-printable values.
std::string DecodeLineBreaks(const std::string& value);

}  // namespace store

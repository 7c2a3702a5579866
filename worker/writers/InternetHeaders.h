// The Notes items of a document collected as Internet header text when the
// export settings ask for it: one line per item, the item's name, ":" and,
// for summary items with a value, the value as text (time values and lists
// with their entries joined by ","), each line ended by CRLF. The writers
// keep the text with the message as one more attachment part, the UTF-8
// file "Internet headers.txt", so that it reaches the store with the item.
#pragma once
#include <string>
#include <vector>

class CMimeBody;
class LNNote;

struct NotesHeaderLine {
    std::u16string name;
    std::u16string value;
    bool operator==(const NotesHeaderLine&) const = default;
};

inline constexpr char16_t InternetHeadersFileName[] = u"Internet headers.txt";

// Every visible item of the open note, in note order.
std::vector<NotesHeaderLine> CollectInternetHeaders(const LNNote& note);
// The collected text: name + ":" + value + CRLF per line.
std::u16string InternetHeadersText(const std::vector<NotesHeaderLine>& lines);
// Adds the text as an attachment part; nothing when no line was collected.
void AddInternetHeadersPart(CMimeBody& message, const std::vector<NotesHeaderLine>& lines);

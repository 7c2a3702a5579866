// The Notes items of a document collected as Internet header lines when the
// export settings ask for it: one line per item, the item's name, ":" and,
// for summary items with a value, the value as text (time values and lists
// with their entries joined by ","). The writers carry the lines into the
// .eml as header fields named "X-Notes-" + item name, so that the import
// keeps them among the message's Internet (transport) headers.
#pragma once
#include <string>
#include <vector>

class CMimeHeader;
class LNNote;

struct NotesHeaderLine {
    std::u16string name;
    std::u16string value;
    bool operator==(const NotesHeaderLine&) const = default;
};

// Every visible item of the open note, in note order.
std::vector<NotesHeaderLine> CollectInternetHeaders(const LNNote& note);
// The collected text: name + ":" + value + CRLF per line.
std::u16string InternetHeadersText(const std::vector<NotesHeaderLine>& lines);
// The header field name of a line: "X-Notes-" + the item name with every
// character that cannot stand in a field name replaced by '_'.
std::string InternetHeaderFieldName(const std::u16string& itemName);
// The field value: ASCII text as it is (control characters as blanks),
// other text packed as one UTF-8 encoded word.
std::string InternetHeaderFieldValue(const std::u16string& value);
// Puts one field per line into the header; later items of the same name
// replace earlier ones.
void PutInternetHeaders(CMimeHeader& header, const std::vector<NotesHeaderLine>& lines);

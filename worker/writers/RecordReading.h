// Reading steps the mail and task readers share: item texts, the sent date
// with its creation-date fallback, decryption on request, the four address
// texts through the address translation, the body by item type (HTML items
// and rich text converted to HTML), the attachment names, and the guard
// that turns any failure into an early end of the reading.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/notes/LNNotes.h"

class CNsfConverter;

// Values of a text item joined with ";" as UTF-16; empty when the note has
// no such text item.
std::u16string ItemText(const LNNote& note, const char* itemName);
// The sent date, or the creation date when the sent date's month, day or
// year is 0, as the readers' date text.
std::u16string SentDateText(const LNMailMessage& mail);
// Decrypts an encrypted document when the export settings ask for it; logs a
// warning and keeps the loss when its encrypted items stay unreadable (no
// key at hand).
void DecryptWhenAsked(CNsfConverter& context, LNNote& note);

struct AddressTexts {
    std::u16string& fromText;
    std::u16string& toText;
    std::u16string& ccText;
    std::u16string& bccText;
};
// Sender and recipients merged with the document's Internet addresses, in
// the order From, To, CC, BCC.
void ReadAddresses(CNsfConverter& context, const LNMailMessage& mail, const AddressTexts& out);

// The text of an HTML item's raw value (type word first): single-byte text
// in the ANSI code page when the text's second byte is not 0, else UTF-16.
std::u16string HtmlItemText(const std::string& rawValue);
// Body by the type of the "Body" item: an HTML item gives its text, rich
// text its HTML conversion; both set isHtml to 1. Other types leave both.
// What the conversion loses of rich text is logged and kept (DocumentLosses.h).
void ReadBodyByType(CNsfConverter& context, const LNDocument& document, std::u16string& bodyText,
                    uint8_t& isHtml);
// Each attachment name followed by ", ", in the note's order.
std::u16string AttachmentNamesOf(const LNNote& note);

// Runs a reading; a Notes status or any other failure ends it, keeping what
// was read: the status's message text is fetched and the loss logged as a
// warning and kept for the conversion report.
void ReadGuarded(CNsfConverter& context, const std::function<void()>& reading);

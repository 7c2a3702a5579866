// The mail record: what the mail reader takes from one Notes mail document
// and the .eml writer and the mail pass use. Texts are UTF-16; dates are
// the month-first date text of the readers ("2/5/2018 9:7:30"). The
// context keeps one record and clears it before and after every mail.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "worker/writers/InternetHeaders.h"
#include "worker/writers/NotesIdentity.h"

struct MailRecord {
    std::u16string ToText;
    std::u16string FromText;
    std::u16string CcText;
    std::u16string BccText;
    std::u16string SubjectText;
    std::u16string SentDateText;
    uint8_t Importance = 0;
    uint8_t BodyIsHtml = 0;
    std::u16string BodyText;
    std::u16string CategoriesText;
    std::u16string AttachmentNames;   // each name followed by ", "
    uint8_t IsRead = 0;               // set by the mail pass
    // The document's items as header lines, collected only when the export
    // settings ask for Internet headers.
    std::vector<NotesHeaderLine> InternetHeaders;
    // The document's own times and message identifiers, for the store only:
    // the .eml does not carry them.
    NotesIdentity identity;

    void Clear() { *this = MailRecord(); }
};

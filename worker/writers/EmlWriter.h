// The .eml composition the mail and task writers share: header fields from
// the record's texts, the body part, the document-link and attachment
// parts, the run-log lines, and the file. A failure anywhere loses the
// file but always logs the writer's failure line and counts one error.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notes/NotesTypes.h"
#include "platform/sys/Files.h"
#include "worker/writers/InternetHeaders.h"

class CMimeMessage;
class CNsfConverter;

struct EmlContent {
    const std::u16string& fromText;
    const std::u16string& toText;
    const std::u16string& ccText;
    const std::u16string& bccText;
    const std::u16string& subjectText;
    const std::u16string& sentDateText;
    uint8_t bodyIsHtml;
    const std::u16string& bodyText;
    const std::u16string& attachmentNames;
    const std::vector<NotesHeaderLine>& internetHeaders;
};

// The header fields and the body part; returns the item name of the log
// line (the sender and one blank when there is a sender, then the subject).
std::u16string ComposeEml(CMimeMessage& message, const EmlContent& content);
// The stored bytes of a finished message; throws when nothing could be stored.
sys::CBytes StoreEml(const CMimeMessage& message);
// Steps of one writer; failureLine is written raw on failure.
int WriteEml(CNsfConverter& context, const EmlContent& content, const std::u16string& emlPath, LNNOTEID noteId,
             std::u16string_view failureLine);

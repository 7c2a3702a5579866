// The task record: what the task reader takes from one Notes task document
// and the .eml writer and the mail pass use. As the mail record, without
// importance, plus the task's start and due dates in the Notes client's own
// date text (values joined with ";") and the instants their days begin.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "worker/writers/InternetHeaders.h"
#include "worker/writers/NotesIdentity.h"

struct TaskRecord {
    std::u16string ToText;
    std::u16string FromText;
    std::u16string CcText;
    std::u16string BccText;
    std::u16string SubjectText;
    std::u16string SentDateText;
    uint8_t BodyIsHtml = 0;
    std::u16string BodyText;
    std::u16string CategoriesText;
    std::u16string AttachmentNames;   // each name followed by ", "
    std::u16string StartDateText;     // "StartDate" or "tmpStartDate"
    std::u16string DueDateText;       // "DueDate"
    uint8_t IsRead = 0;               // set by the mail pass
    std::vector<NotesHeaderLine> InternetHeaders;
    // The Greenwich time at which the start and due days begin in the zone
    // of their Notes value; empty for values without time and zone (the
    // store then takes the day in the host's zone) and for lists.
    std::u16string startInstantText;
    std::u16string dueInstantText;
    NotesIdentity identity;           // for the store only

    void Clear() { *this = TaskRecord(); }
};

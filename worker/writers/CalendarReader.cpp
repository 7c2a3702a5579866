#include <vector>

#include "platform/notes/LNNotes.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/notes/DateText.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/CalendarWriter.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/RecordReading.h"

namespace {

// A date text in Greenwich time; empty for a value the entry does not have.
std::u16string GreenwichText(const LNDatetime& value) {
    return value.IsNull() ? std::u16string() : FormatDateText(value, true);
}

// The form's start field gives start and end; the time-zone fields give
// the items of their names.
void ReadFormFields(const LNCalendarEntry& entry, CalendarRecord& r) {
    LNForm form;
    if (const LNSTATUS status = entry.GetFormNote(&form)) throw status;
    if (const LNSTATUS status = form.Open()) throw status;
    std::vector<LNFormField> fields;
    if (const LNSTATUS status = form.GetFormFields(&fields, LNTYPE_FORM_FIELD)) throw status;
    for (const LNFormField& field : fields) {
        const std::u16string name = FromNotesText(field.GetName());
        if (field.GetType() == LNFORMFIELDTYPE_DATETIME && (name == u"StartDate" || name == u"tmpStartDate")) {
            const LNDatetimeRange range = entry.GetDatetimeRange();
            r.startText = GreenwichText(range.GetBegin());
            r.endText = GreenwichText(range.GetEnd());
        } else if (name == u"StartTimeZone" && entry.HasItem("StartTimeZone")) {
            r.startTimeZone = ItemText(entry, "StartTimeZone");
        } else if (name == u"EndTimeZone" && entry.HasItem("EndTimeZone")) {
            r.endTimeZone = ItemText(entry, "EndTimeZone");
        }
    }
    form.Close();
}

void ReadEntryItems(CNsfConverter& context, LNCalendarEntry& entry, CalendarRecord& r) {
    if (entry.IsOpen()) ReadFormFields(entry, r);
    DecryptWhenAsked(context, entry);
    if (entry.GetIsAlarmEnabled()) {
        r.alarmEnabled = 1;
        r.alarmOffsetMinutes = entry.GetAlarmOffsetMinutes();
    }
    r.summary = FromNotesText(entry.GetBriefDescription());
    r.description = FromNotesText(entry.GetDetailedDescription());
    r.optionalAttendees = FromNotesText(entry.GetOptionalAttendees().GetText());
    r.requiredAttendees = FromNotesText(entry.GetRequiredAttendees().GetText());
}

void ReadMessageItems(CNsfConverter& context, LNMailMessage& message, CalendarRecord& r) {
    DecryptWhenAsked(context, message);
    if (r.description.empty()) r.description = ItemText(message, "Body");
    if (r.description.empty() && message.HasItem("Body")) {
        ReadBodyByType(context, message, r.description, r.descriptionIsHtml);
    }
    r.importance = message.GetMailImportance();
    r.createdText = FormatDateText(message.GetCreated(), false);
    r.lastModifiedText = FormatDateText(message.GetLastModified(), false);
    ReadAddresses(context, message, AddressTexts{r.organizer, r.sendTo, r.copyTo, r.blindCopyTo});
    r.categories = FromNotesText(message.GetCategories().GetText());
    if (message.HasItem("Location")) r.location = ItemText(message, "Location");
    r.attachmentNames = AttachmentNamesOf(message);
}

void ReadEntry(CNsfConverter& context, LNNOTEID noteId, CalendarRecord& r) {
    LNDocument document;
    if (context.database.GetDocument(noteId, &document) != LNNOERROR) return;
    document.Open(LNNOTEOPENFLAGS_DEFAULT);
    if (!document.IsOpen()) return;
    LNCalendarEntry entry;
    entry = document;
    LNMailMessage message;
    message = document;
    document.Close();
    entry.Open(LNNOTEOPENFLAGS_DEFAULT);
    ReadEntryItems(context, entry, r);
    entry.Close();
    if (const LNSTATUS status = message.Open(LNNOTEOPENFLAGS_DEFAULT)) throw status;
    ReadMessageItems(context, message, r);
    message.Close();
}

}  // namespace

void ReadCalendarEntry(CNsfConverter& context, LNNOTEID noteId, CalendarRecord& record) {
    record.Reset();
    try {
        ReadEntry(context, noteId, record);
    } catch (LNSTATUS status) {
        context.app.runLog.WriteRaw(NotesErrorText(status));
        context.app.runLog.WriteRaw(u"\r\n");
        ReportLoss(context, u"reading stopped early: " + NotesErrorText(status));
    } catch (...) {
        // Anything else ends the reading; the record keeps what was read.
        WarnLoss(context, u"Reading of this document stopped", u"reading stopped early");
    }
}

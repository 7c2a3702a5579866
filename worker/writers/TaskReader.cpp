#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/sys/Text.h"
#include "platform/sys/Time.h"
#include "worker/core/NsfConverter.h"
#include "worker/notes/DateText.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/RecordReading.h"
#include "worker/writers/ReopenDocument.h"
#include "worker/writers/TaskEml.h"

namespace {

// The readers' date text of a wall-clock time.
std::u16string DateTextOf(const sys::CSystemTime& t)
{
    char text[80];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%d:%d", t.month, t.day, t.year, t.hour, t.minute, t.second);
    return sys::Widen(text);
}

// The Greenwich time at which the day of a single value with date, time and
// zone begins in that zone: the value's own midnight less its zone's offset.
std::u16string DayStartInstant(const LNDatetimes& dates)
{
    if (dates.GetCount() != 1 || dates.GetRangeCount() != 0) return {};
    const LNDatetime value = dates[0];
    if (!value.HasDate() || !value.HasTime()) return {};
    LNDatetime greenwich = value;
    greenwich.AdjustTimeZone(0);
    const OleTimestamp own = ToOleTimestamp(value), utc = ToOleTimestamp(greenwich);
    if (own.status != DateValid || utc.status != DateValid || own.value < 1 || utc.value < 1) return {};
    return DateTextOf(sys::FromOleDate(std::floor(own.value) - (own.value - utc.value)));
}

// The item of a date/time form field: the Notes client's date text, values
// joined with ";", and the instant its day begins.
struct TaskDate {
    std::u16string text;
    std::u16string instant;
};

TaskDate ReadTaskDate(const LNDocument& document, const LNString& itemName)
{
    LNDatetimes dates;
    if (document.GetItem(itemName, &dates) != LNNOERROR) return {};
    return TaskDate{FromNotesText(dates.GetText()), DayStartInstant(dates)};
}

// A later field of the form gives the date only when it has one: an empty
// "tmpStartDate" after "StartDate" leaves the start in place.
void TakeDate(const TaskDate& date, std::u16string& text, std::u16string& instant)
{
    if (date.text.empty()) return;
    text = date.text;
    instant = date.instant;
}

// Walks the form's fields: "StartDate" or "tmpStartDate" give the start,
// "DueDate" the due date, when they are date/time fields; of several, the
// last that holds a value wins.
void ReadTaskDates(const LNDocument& document, TaskRecord& record)
{
    LNForm form;
    if (document.GetFormNote(&form) != LNNOERROR) return;
    if (!form.IsOpen()) form.Open(LNNOTEOPENFLAGS_DEFAULT);
    std::vector<LNFormField> fields;
    if (form.GetFormFields(&fields, LNTYPE_FORM_FIELD) != LNNOERROR) return;
    for (const LNFormField& field : fields) {
        if (field.GetType() != LNFORMFIELDTYPE_DATETIME) continue;
        const LNString name = field.GetName();
        if (name == LNString("StartDate") || name == LNString("tmpStartDate")) {
            TakeDate(ReadTaskDate(document, name), record.StartDateText, record.startInstantText);
        } else if (name == LNString("DueDate")) {
            TakeDate(ReadTaskDate(document, name), record.DueDateText, record.dueInstantText);
        }
    }
}

// Plain text of the body first, then a text "Body", then HTML or rich text
// converted to HTML.
void ReadTaskBody(CNsfConverter& context, LNMailMessage& mail, TaskRecord& record)
{
    record.BodyText = FromNotesText(mail.GetBody().GetText());
    if (record.BodyText.empty()) record.BodyText = ItemText(mail, "Body");
    if (record.BodyText.empty()) ReadBodyByType(context, mail, record.BodyText, record.BodyIsHtml);
}

void ReadTaskItems(CNsfConverter& context, LNMailMessage& mail, TaskRecord& record)
{
    record.identity = ReadNotesIdentity(mail);
    ReadTaskDates(mail, record);
    record.SentDateText = SentDateText(mail);
    DecryptWhenAsked(context, mail);
    ReadAddresses(context, mail, {record.FromText, record.ToText, record.CcText, record.BccText});
    if (mail.HasItem("Subject")) record.SubjectText = FromNotesText(mail.GetSubject().GetText());
    record.CategoriesText = FromNotesText(mail.GetCategories().GetText());
    ReadTaskBody(context, mail, record);
    record.AttachmentNames = AttachmentNamesOf(mail);
    if (context.app.settings.saveInternetHeaders == 1) record.InternetHeaders = CollectInternetHeaders(mail);
}

}  // namespace

void ReadTaskRecord(CNsfConverter& context, LNNOTEID noteId, TaskRecord& record)
{
    LNDocument document;
    LNMailMessage mail;
    ReadGuarded(context, [&] {
        if (!OpenMailForReading(context, noteId, document, mail)) return;
        ReadTaskItems(context, mail, record);
        mail.Close();
        document.Close();
    });
}

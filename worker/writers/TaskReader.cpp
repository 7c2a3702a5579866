#include <vector>

#include "worker/core/NsfConverter.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/RecordReading.h"
#include "worker/writers/ReopenDocument.h"
#include "worker/writers/TaskEml.h"

namespace {

// The item of a date/time form field as the Notes client's date text,
// values joined with ";".
std::u16string DatesText(const LNDocument& document, const LNString& itemName)
{
    LNDatetimes dates;
    if (document.GetItem(itemName, &dates) != LNNOERROR) return {};
    return FromNotesText(dates.GetText());
}

// Walks the form's fields: "StartDate" or "tmpStartDate" give the start,
// "DueDate" the due date, when they are date/time fields; the last wins.
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
            record.StartDateText = DatesText(document, name);
        } else if (name == LNString("DueDate")) {
            record.DueDateText = DatesText(document, name);
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

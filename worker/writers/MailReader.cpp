#include "worker/core/NsfConverter.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/MailEml.h"
#include "worker/writers/NotesIdentity.h"
#include "worker/writers/RecordReading.h"
#include "worker/writers/ReopenDocument.h"

namespace {

// The items after the subject gate, read from the (decrypted) document.
void ReadMailItems(CNsfConverter& context, LNMailMessage& mail, MailRecord& record)
{
    record.Importance = static_cast<uint8_t>(mail.GetMailImportance());
    record.SentDateText = SentDateText(mail);
    DecryptWhenAsked(context, mail);
    ReadAddresses(context, mail, {record.FromText, record.ToText, record.CcText, record.BccText});
    record.SubjectText = FromNotesText(mail.GetSubject().GetText());
    record.CategoriesText = FromNotesText(mail.GetCategories().GetText());
    record.BodyText = ItemText(mail, "Body");
    if (record.BodyText.empty()) ReadBodyByType(context, mail, record.BodyText, record.BodyIsHtml);
    record.AttachmentNames = AttachmentNamesOf(mail);
    if (context.app.settings.saveInternetHeaders == 1) record.InternetHeaders = CollectInternetHeaders(mail);
}

}  // namespace

void ReadMailRecord(CNsfConverter& context, LNNOTEID noteId, MailRecord& record)
{
    LNDocument document;
    LNMailMessage mail;
    ReadGuarded(context, [&] {
        if (!OpenMailForReading(context, noteId, document, mail)) return;
        // The item keeps the document's times and identifiers even when the
        // subject gate leaves the message empty.
        record.identity = ReadNotesIdentity(mail);
        if (mail.HasItem("Subject")) ReadMailItems(context, mail, record);
        mail.Close();
        document.Close();
    });
}

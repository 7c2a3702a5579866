#include "worker/writers/EmlWriter.h"
#include "worker/writers/MailEml.h"

int WriteMailEml(CNsfConverter& context, const MailRecord& record, const std::u16string& emlPath, LNNOTEID noteId)
{
    const EmlContent content{record.FromText,     record.ToText,     record.CcText,
                             record.BccText,      record.SubjectText, record.SentDateText,
                             record.BodyIsHtml,   record.BodyText,    record.AttachmentNames,
                             record.InternetHeaders};
    return WriteEml(context, content, emlPath, noteId, u"ERROR:Mail Entry is Not Dump \r\n");
}

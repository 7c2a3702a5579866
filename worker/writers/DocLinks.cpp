#include "worker/writers/DocLinks.h"

#include <cstdio>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Files.h"
#include "platform/sys/Text.h"
#include "worker/core/NsfConverter.h"
#include "worker/mime/CMimeBody.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/EmbeddedFile.h"
#include "worker/writers/ReopenDocument.h"
#include "worker/writers/TempFiles.h"

std::string PadHex8(std::string_view hexText)
{
    std::string padded;
    if (hexText.size() < 8) padded.assign(8 - hexText.size(), '0');
    padded += hexText;
    return padded;
}

std::string Hex8(uint32_t value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(value));
    return PadHex8(digits);
}

std::string ReplicaText(const TIMEDATE& replicaId)
{
    return Hex8(replicaId.Innards[1]) + ":" + Hex8(replicaId.Innards[0]);
}

std::string UniversalIdText(const UNID& unid)
{
    return "OF" + Hex8(unid.File.Innards[1]) + ":" + Hex8(unid.File.Innards[0]) + "-" + "ON" +
           Hex8(unid.Note.Innards[1]) + ":" + Hex8(unid.Note.Innards[0]);
}

std::string LinkFileText(const LNDocumentLink& link)
{
    const std::string description = sys::Utf16ToAnsi(FromNotesText(link.GetDescription()));
    std::string text = "<NDL>\r\n";
    text += "<REPLICA " + ReplicaText(link.GetDatabaseReplicaID()) + ">\r\n";
    text += "<VIEW " + UniversalIdText(link.GetViewUniversalID()) + ">\r\n";
    text += "<NOTE " + UniversalIdText(link.GetDocumentUniversalID()) + ">\r\n";
    text += "<REM>" + description + "</REM>\r\n";
    text += "</NDL>";
    return text;
}

std::u16string LinkFileName(int n)
{
    return sys::Widen(std::to_string(n)) + u".ndl";
}

std::optional<std::u16string> WriteLinkFile(const LNDocumentLink& link, int n)
{
    const std::u16string base = WriterTempPath();
    if (base.empty()) return std::nullopt;
    const std::u16string path = base + LinkFileName(n);
    const std::string text = LinkFileText(link);
    sys::CFile file;
    if (!file.CreateOrTruncate(path)) return std::nullopt;
    if (!file.Write(text)) {
        file.Close();
        sys::DeleteFile(path);
        return std::nullopt;
    }
    return path;
}

namespace {

// Link n of the walk: written, read back into a part, deleted.
void AddOneLinkPart(CNsfConverter& context, CMimeBody& message, const LNDocumentLink& link, int n)
{
    const std::optional<std::u16string> path = WriteLinkFile(link, n);
    const std::u16string name = LinkFileName(n);
    const CTempFileGuard removeLater(path.value_or(std::u16string()));
    sys::CBytes bytes;
    if (!path || !ReadBackFile(*path, bytes)) {
        ReportLoss(context, u"document link " + name + u" not converted");
        return;
    }
    context.app.runLog.WriteRaw(name);
    context.app.runLog.WriteRaw(u",");
    AddEmbeddedFilePart(message, name, std::move(bytes));
}

void WalkLinks(CNsfConverter& context, CMimeBody& message, const LNMailMessage& mail)
{
    LNRichText body;
    if (mail.GetItem("Body", &body) != LNNOERROR) return;
    LNRTCursor cursor;
    if (body.GetCursor(&cursor) != LNNOERROR) return;
    LNDocumentLink link;
    int n = 1;
    for (LNSTATUS status = cursor.GotoFirst(LNRTTYPE_DOCUMENT_LINK, &link); status == LNNOERROR;
         status = cursor.GotoNext(LNRTTYPE_DOCUMENT_LINK, &link)) {
        AddOneLinkPart(context, message, link, n++);
    }
}

}  // namespace

void AddLinkParts(CNsfConverter& context, CMimeBody& message, LNNOTEID noteId)
{
    LNDocument document;
    LNMailMessage mail;
    OpenMailAgain(context, noteId, document, mail);
    if (mail.HasLinks() && mail.HasItem("$Links")) {
        context.app.runLog.WriteRaw(u"Link Documents :\t");
        WalkLinks(context, message, mail);
        context.app.runLog.WriteRaw(u"\r\n");
    }
    mail.Close();
    document.Close();
}

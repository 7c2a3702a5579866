#include "worker/writers/Attachments.h"

#include <functional>

#include <vector>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Files.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"
#include "worker/core/PassSupport.h"
#include "worker/core/NsfConverter.h"
#include "worker/notes/CleanName.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/EmbeddedFile.h"
#include "worker/writers/ReopenDocument.h"
#include "worker/writers/TempFiles.h"

namespace {

// File names are limited to 255 bytes; stay below with room to spare (and
// within the 200 characters the safe file name keeps).
constexpr size_t MaxFileNameBytes = 200;

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Cuts text to at most `units` UTF-16 units without splitting a surrogate pair.
std::u16string CutUnits(std::u16string text, size_t units)
{
    if (text.size() <= units) return text;
    size_t at = units;
    if (at > 0 && IsLowSurrogate(text[at])) --at;
    text.resize(at);
    return text;
}

// Shortens a file name to MaxFileNameBytes of UTF-8, keeping a short
// extension.
std::u16string FitFileName(std::u16string name)
{
    if (sys::Utf16ToUtf8(name).size() <= MaxFileNameBytes) return name;
    std::u16string extension;
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos && name.size() - dot <= 16) extension = name.substr(dot);
    std::u16string stem = name.substr(0, name.size() - extension.size());
    while (!stem.empty() && sys::Utf16ToUtf8(stem + extension).size() > MaxFileNameBytes) {
        stem = CutUnits(stem, stem.size() - 1);
    }
    return stem.empty() ? u"_" + extension : stem + extension;
}

// Reads the detached file back into a part, or logs and counts the loss.
void EmbedDetached(CNsfConverter& context, CMimeBody& message, const DetachedAttachment& detached)
{
    CRunLog& log = context.app.runLog;
    sys::CBytes bytes;
    bool read = false;
    try {
        read = detached.status == LNNOERROR && !detached.path.empty() && ReadBackFile(detached.path, bytes);
    } catch (const std::bad_alloc&) {
        read = false;
    }
    if (read) {
        log.WriteRaw(detached.cleanedName);
        log.WriteRaw(u",");
        AddEmbeddedFilePart(message, CleanPartName(detached.cleanedName), std::move(bytes));
    }
    if (!read) ReportAttachmentLoss(context, detached);
}

}  // namespace

std::u16string CleanedAttachmentName(const LNAttachment& attachment)
{
    return CleanName(CutUnits(FromNotesText(attachment.GetAttachmentName()), MaxAttachmentNameChars));
}

std::u16string DetachFileName(std::u16string_view cleanedName)
{
    return sys::SafeFileName(FitFileName(std::u16string(cleanedName)));
}

DetachedAttachment DetachAttachment(const LNAttachment& attachment)
{
    DetachedAttachment detached;
    detached.cleanedName = CleanedAttachmentName(attachment);
    const std::u16string directory = DetachDirectory();
    if (directory.empty()) {
        detached.status = ERR_FILE_WRITE;
        return detached;
    }
    detached.path = directory + DetachFileName(detached.cleanedName);
    if (sys::FileExists(detached.path)) sys::DeleteFile(detached.path);
    detached.status = attachment.Detach(LNString(sys::Utf16ToLmbcs(detached.path)));
    if (detached.status != LNNOERROR && sys::FileExists(detached.path)) sys::DeleteFile(detached.path);
    return detached;
}

void ReportAttachmentLoss(CNsfConverter& context, const DetachedAttachment& detached)
{
    context.app.runLog.WriteRaw(AttachmentErrorLine(detached.cleanedName, detached.status));
    ++context.app.errorCount;
    std::u16string reason = u"attachment \"" + detached.cleanedName + u"\" not converted";
    if (detached.status != LNNOERROR) reason += u": " + NotesErrorText(detached.status);
    ReportLoss(context, std::move(reason));
}

std::u16string AttachmentErrorLine(std::u16string_view cleanedName, LNSTATUS status)
{
    std::u16string line = u"ERROR: " + std::u16string(cleanedName) + u" is not dump.\r\n";
    switch (status) {
        case ERR_OBJECT_DAMAGED: case ERR_OBJECT_EXTERNAL: case ERR_OBJECT_COMPRESSION: case ERR_NOTE_NO_KEY:
            line += u"\t" + NotesErrorText(status) + u"\r\n";
            break;
        default:
            break;
    }
    return line;
}

void ForEachDetachedAttachment(CNsfConverter& context, LNNOTEID noteId,
                               const std::function<void(const DetachedAttachment&)>& use)
{
    context.app.runLog.WriteRaw(u"Attachments:\t");
    LNDocument document;
    LNMailMessage mail;
    OpenMailAgain(context, noteId, document, mail);
    if (mail.HasAttachments()) {
        std::vector<LNAttachment> attachments;
        if (const LNSTATUS status = mail.GetAttachments(&attachments)) throw status;
        for (const LNAttachment& attachment : attachments) {
            const DetachedAttachment detached = DetachAttachment(attachment);
            const CTempFileGuard removeLater(detached.path);
            use(detached);
        }
    }
    context.app.runLog.WriteRaw(u"\r\n");
    mail.Close();
    document.Close();
}

void AddAttachmentParts(CNsfConverter& context, CMimeBody& message, LNNOTEID noteId)
{
    ForEachDetachedAttachment(context, noteId,
                              [&](const DetachedAttachment& detached) { EmbedDetached(context, message, detached); });
}

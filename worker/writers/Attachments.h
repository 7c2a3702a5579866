// File attachments of a Notes document: each is detached under its cleaned
// name into the "temp" folder of the system temporary path, read back and
// embedded, then deleted before the next one, so that two attachments with
// the same cleaned name each carry their own bytes.
//
// Whatever an attachment is called, the detached file stays inside that
// folder: the cleaned name has no path separators, and names that still
// cannot be a file name there (".", "..", control characters, names too
// long for the file system) are detached under a safe form of the name,
// while the log keeps the cleaned name and the message its part name
// (CleanPartName: without control characters).
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/notes/NotesTypes.h"

class CMimeBody;
class CNsfConverter;
class LNAttachment;

// At most this many UTF-16 characters of a name are kept when it is turned
// into UTF-16.
constexpr size_t MaxAttachmentNameChars = 511;

struct DetachedAttachment {
    std::u16string cleanedName;  // for the run log and the part's name
    std::u16string path;         // the detached file; empty when there is no temporary folder
    LNSTATUS status = LNNOERROR; // of the detach; on failure no file is left at path
};

// The attachment's name as UTF-16 (cut to MaxAttachmentNameChars) with
// CleanName applied.
std::u16string CleanedAttachmentName(const LNAttachment& attachment);
// The single file-name component a cleaned name is detached under.
std::u16string DetachFileName(std::u16string_view cleanedName);
// Detaches the attachment to DetachDirectory() + DetachFileName(cleaned).
// An older file at that path is removed first, so a failed detach never
// leaves stale bytes to be read back.
DetachedAttachment DetachAttachment(const LNAttachment& attachment);

// The error line of an attachment that could not be carried:
// "ERROR: " + cleaned name + " is not dump.\r\n".
// With the status of a detach that failed because the database could not
// give the bytes (damaged, compressed in an unknown way, kept outside the
// file), a second line gives the reason.
std::u16string AttachmentErrorLine(std::u16string_view cleanedName, LNSTATUS status = LNNOERROR);
// Writes the error line of an attachment that could not be carried, counts
// the error and keeps the loss for the conversion report.
void ReportAttachmentLoss(CNsfConverter& context, const DetachedAttachment& detached);

// One part per attachment of the document, in the note's order, with the
// run-log text "Attachments:\t", each cleaned name and "," (or the error
// line, which also counts one error) and a final CRLF. Notes failures are
// thrown to the writer.
// Writes "Attachments:\t" to the run log, detaches every attachment of the
// document into the temporary folder in turn, hands it to `use` and deletes
// the file again, then ends the log line.
void ForEachDetachedAttachment(CNsfConverter& context, LNNOTEID noteId,
                               const std::function<void(const DetachedAttachment&)>& use);
void AddAttachmentParts(CNsfConverter& context, CMimeBody& message, LNNOTEID noteId);

// A document by note ID from the open database, opened and seen as a mail
// message: for the readers of mail and tasks, and for the writers, which read
// a document a second time for its links and attachments.
#pragma once
#include "platform/notes/LNNotes.h"

class CNsfConverter;

// Gets and opens the document and the mail-message view of it. A document
// that cannot be had or opened throws its status (ERR_NOTE_NOT_OPEN when no
// status tells why), which ends the writer that asked for it.
void OpenMailAgain(CNsfConverter& context, LNNOTEID noteId, LNDocument& document, LNMailMessage& mail);

// The readers' way: false when the document cannot be had or opened; the
// mail-message view is opened whatever its status.
bool OpenMailForReading(CNsfConverter& context, LNNOTEID noteId, LNDocument& document, LNMailMessage& mail);

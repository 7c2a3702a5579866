// The writers read a document a second time for its links and attachments:
// by note ID from the open database, opened, and seen as a mail message.
#pragma once
#include "platform/notes/LNNotes.h"

class CNsfConverter;

// Gets and opens the document and the mail-message view of it. A document
// that cannot be had or opened throws its status (ERR_NOTE_NOT_OPEN when no
// status tells why), which ends the writer that asked for it.
void OpenMailAgain(CNsfConverter& context, LNNOTEID noteId, LNDocument& document, LNMailMessage& mail);

#include "worker/writers/ReopenDocument.h"

#include "worker/core/NsfConverter.h"

void OpenMailAgain(CNsfConverter& context, LNNOTEID noteId, LNDocument& document, LNMailMessage& mail)
{
    if (const LNSTATUS status = context.database.GetDocument(noteId, &document)) throw status;
    if (const LNSTATUS status = document.Open(LNNOTEOPENFLAGS_DEFAULT)) throw status;
    if (!document.IsOpen()) throw static_cast<LNSTATUS>(ERR_NOTE_NOT_OPEN);
    mail = document;
    if (const LNSTATUS status = mail.Open(LNNOTEOPENFLAGS_DEFAULT)) throw status;
}

bool OpenMailForReading(CNsfConverter& context, LNNOTEID noteId, LNDocument& document, LNMailMessage& mail)
{
    if (context.database.GetDocument(noteId, &document) != LNNOERROR) return false;
    document.Open(LNNOTEOPENFLAGS_DEFAULT);
    if (!document.IsOpen()) return false;
    mail = document;
    mail.Open(LNNOTEOPENFLAGS_DEFAULT);
    return true;
}

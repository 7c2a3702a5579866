// The conversion context of an open note of an open database.
#include "platform/notes/LNDatabase.h"
#include "platform/notes/LNNote.h"
#include "worker/notes/HtmlConversion.h"

HtmlConversionContext MakeHtmlConversionContext(const LNDatabase& database, const LNNote& note)
{
    HtmlConversionContext context;
    context.noteHandle = note.GetNoteHandle();
    context.databaseHandle = database.GetDatabaseHandle();
    context.noteId = note.GetNoteID();
    return context;
}

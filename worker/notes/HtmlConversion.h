// Rich-text bodies into HTML through the Notes HTML converter. The whole
// note is converted with the options that expand sections, outlines and
// tables; when that gives nothing, the item "Body" alone is converted. The
// images the HTML refers to are saved as files in the "temp" folder of the
// temporary directory (item name + index + hex offset + ".gif", e.g.
// Body01C4.gif) and the references are pointed at those files. The
// converter's LMBCS text is returned as UTF-16; every failure gives an
// empty text and nothing is logged (the context's status tells why;
// ERR_NO_MEMORY when the body was too large to convert).
//
// The document readers create one HtmlConversionContext per body on their
// stack, fill the note handle, the database handle and the note ID from the
// open note and database, and call the operations below on the thread that
// has started Notes.
#pragma once
#include <cstdint>
#include <string>

#include "platform/notes/HtmlApi.h"

class LNDatabase;
class LNNote;

struct HtmlConversionContext {
    STATUS status = 0;                  // status of the last Notes call, 0 = success
    HTMLHANDLE converter = 0;           // converter of the current attempt
    NOTEHANDLE noteHandle = 0;          // open note
    DBHANDLE databaseHandle = 0;        // open database
    NOTEID noteId = 0;
    MEMHANDLE referenceHandle = 0;      // reference being processed, 0 when none
    HTMLAPIReference* reference = nullptr;  // locked reference, valid while locked
};

// A context for the open note of the open database.
HtmlConversionContext MakeHtmlConversionContext(const LNDatabase& database, const LNNote& note);

// The whole note with options; empty on any failure.
std::u16string ConvertNoteToHtml(HtmlConversionContext& context);
// The item "Body" alone, without options; empty on any failure.
std::u16string ConvertBodyItemToHtml(HtmlConversionContext& context);
// The readers' rule for a rich-text body: the whole-note conversion, and
// when that is empty the conversion of "Body".
std::u16string ConvertRichTextBodyToHtml(HtmlConversionContext& context);

// Saves every image the converter refers to and points its reference at
// the saved file. 0 when every reference was handled, otherwise the status
// that stopped the walk.
STATUS SaveImageReferences(HtmlConversionContext& context, HTMLHANDLE converter);

// How many image files this thread has saved so far. The files have fixed
// names in one directory: a document whose import reads them must be
// imported before the next document is converted.
uint64_t ImageFilesSaved();

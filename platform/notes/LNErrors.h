// Status codes of the Notes stand-in and their message texts.
#pragma once
#include "platform/notes/NotesTypes.h"

enum : LNSTATUS {
    ERR_NOEXIST = 0x0103,              // file does not exist
    ERR_NOTE_HANDLES = 263,            // too many documents opened (NSFDB_OPEN_LIMIT)
    ERR_DB_CORRUPT = 0x0108,           // not a Notes database file / unreadable
    ERR_NOT_INIT = 0x0109,             // session not initialised
    ERR_ITEM_NOT_FOUND = 0x0222,       // note item not found
    ERR_INVALID_NOTE = 0x0225,         // no note with that ID
    ERR_DB_NOT_OPEN = 0x0227,          // database not open
    ERR_NOTE_NOT_OPEN = 0x0228,        // note not open
    ERR_ITEM_DATATYPE = 0x0229,        // item has another data type
    ERR_NOT_ENCRYPTED = 0x022A,        // document is not encrypted
    ERR_INVALID_HANDLE = 0x0230,       // invalid or freed handle
    ERR_BAD_PARAM = 0x0231,            // bad argument
    ERR_RANGE = 0x0232,                // index out of range
    ERR_FILE_WRITE = 0x0233,           // cannot write the file
    ERR_NOT_FOUND = 0x0234,            // rich-text cursor: no (more) element of the type
    ERR_VIEW_NOT_OPEN = 0x0235,        // view or folder not open
    ERR_NOT_VIEW = 0x0236,             // note is not a view or folder
    ERR_HTMLAPI_BAD_CONVERTER = 0x0240,// invalid converter handle
    ERR_HTMLAPI_NO_ELEMENT = 0x0241,   // no image element at that item index and offset
    ERR_HTMLAPI_NOT_CONVERTED = 0x0242,// converter holds no result
    ERR_HTMLAPI_NOT_STARTED = 0x0243,  // HTML conversion process not started
    ERR_CD_RECORD = 0x0250,            // malformed rich text
    ERR_TIME_CONVERSION = 0x0251,      // value is not a valid time
    ERR_NOTE_DAMAGED = 0x0252,         // note of a real NSF file that cannot be read
    ERR_NOTE_NO_KEY = 0x0253,          // encrypted note, its key is not available
    ERR_OBJECT_DAMAGED = 0x0254,       // attachment data damaged or incomplete
    ERR_OBJECT_EXTERNAL = 0x0255,      // attachment kept outside the database (DAOS)
    ERR_OBJECT_COMPRESSION = 0x0256,   // attachment compressed in an unknown way
    ERR_DB_ENCRYPTED = 0x0257,         // database encrypted locally
    ERR_NO_MEMORY = 0x0258,            // not enough memory for the operation (a body too large)
};

// Writes the message text of status as zero-terminated text in the system
// ANSI code page into buffer (at most bufferSize bytes, cut at a character
// boundary) and returns its length in bytes.
LNINT LNGetErrorMessageText(LNSTATUS status, char* buffer, LNINT bufferSize);

// True once a document open in this process has failed for want of note
// handles (ERR_NOTE_HANDLES): every later open fails as well, so anything
// read since may be incomplete.
bool LNNoteHandlesExhausted();

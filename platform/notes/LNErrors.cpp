#include "platform/notes/LNErrors.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/notes/NotesSource.h"
#include "platform/sys/Text.h"

namespace {
const char* MessageOf(LNSTATUS status) {
    switch (status) {
    case LNNOERROR: return "No error";
    case ERR_NOEXIST: return "File does not exist";
    case ERR_NOTE_HANDLES: return "Insufficient memory - too many documents are open in this process";
    case ERR_DB_CORRUPT: return "Database is damaged or is not a Notes database";
    case ERR_NOT_INIT: return "Notes session is not initialized";
    case ERR_ITEM_NOT_FOUND: return "Note item not found";
    case ERR_INVALID_NOTE: return "Invalid or nonexistent document";
    case ERR_DB_NOT_OPEN: return "Database is not open";
    case ERR_NOTE_NOT_OPEN: return "Document is not open";
    case ERR_ITEM_DATATYPE: return "Item is not of the expected data type";
    case ERR_NOT_ENCRYPTED: return "Document is not encrypted";
    case ERR_INVALID_HANDLE: return "Invalid handle";
    case ERR_BAD_PARAM: return "Invalid argument";
    case ERR_RANGE: return "Index is out of range";
    case ERR_FILE_WRITE: return "Cannot write the file";
    case ERR_NOT_FOUND: return "No more elements of this type";
    case ERR_VIEW_NOT_OPEN: return "View is not open";
    case ERR_NOT_VIEW: return "Note is not a view or folder";
    case ERR_HTMLAPI_BAD_CONVERTER: return "Invalid HTML converter handle";
    case ERR_HTMLAPI_NO_ELEMENT: return "No element at this position of the item";
    case ERR_HTMLAPI_NOT_CONVERTED: return "HTML converter holds no result";
    case ERR_HTMLAPI_NOT_STARTED: return "HTML conversion process is not started";
    case ERR_CD_RECORD: return "Rich text item is damaged";
    case ERR_TIME_CONVERSION: return "Unable to interpret time or date";
    case ERR_NOTE_DAMAGED: return "Document is damaged and cannot be read";
    case ERR_NOTE_NO_KEY: return "Document is encrypted and the key to decrypt it is not available";
    case ERR_OBJECT_DAMAGED: return "Attachment data is damaged or incomplete";
    case ERR_OBJECT_EXTERNAL: return "Attachment is stored outside the database (DAOS) and cannot be read";
    case ERR_OBJECT_COMPRESSION: return "Attachment is compressed in a way that cannot be decoded";
    case ERR_DB_ENCRYPTED: return "Database is encrypted locally and cannot be read without its ID file";
    case ERR_NO_MEMORY: return "Insufficient memory";
    default: return nullptr;
    }
}
}  // namespace

LNINT LNGetErrorMessageText(LNSTATUS status, char* buffer, LNINT bufferSize) {
    if (!buffer || bufferSize <= 0) return 0;
    const char* known = MessageOf(status);
    std::string text;
    if (known) {
        text = known;
        // Statuses of what a real NSF file could not give name the note or
        // attachment and the reason.
        if (std::string detail = notes::UnreadableDetail(status); !detail.empty()) text += " (" + detail + ")";
    } else {
        char unknown[64];
        std::snprintf(unknown, sizeof unknown, "Unknown error code 0x%X", status);
        text = unknown;
    }
    std::string ansi = sys::Utf16ToAnsi(sys::Utf8ToUtf16(text));
    size_t n = std::min(ansi.size(), static_cast<size_t>(bufferSize - 1));
    // Cut before a partial UTF-8 sequence when the code page is UTF-8.
    while (n > 0 && n < ansi.size() && (static_cast<unsigned char>(ansi[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, ansi.data(), n);
    buffer[n] = '\0';
    return static_cast<LNINT>(n);
}

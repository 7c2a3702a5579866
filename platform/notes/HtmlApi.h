// The function library of the Notes stand-in: HTML conversion of notes and
// rich-text items, converter references, item look-up, LMBCS translation,
// status texts, memory handles and time text. Signatures follow the Notes C
// API; all functions return a status (0 = success) unless noted.
//
// The converter renders paragraphs, text runs (bold, italic, underline,
// size, colour), document links, images and attachment hotspots. Each
// image becomes an <img> whose reference has type HTMLAPI_REF_IMG and whose
// last two target components are the item name (UAT_Field) and the position
// "item index.hex offset" (UAT_FieldOffset): the index of the item among the
// items of that name and the byte offset of the image's first CD record in
// the item's data (after the 2-byte type word). HTMLConvertElement with
// that name, index and offset yields the image bytes (GIF or JPEG).
// A native MIME body (MIME_PART items) gives the HTML it carries, or its
// plain text as HTML; its images are referred to the same way, at offset 0
// of the item of the image's part.
// Converter text is LMBCS; translate it with OSTranslate mode 20.
#pragma once
#include "platform/notes/NotesTypes.h"

extern "C" {

typedef enum {
    HTMLAPI_PROP_TEXTLENGTH = 0,    // DWORD: bytes of the converter's text
    HTMLAPI_PROP_NUMREFS = 1,       // DWORD: number of references
    HTMLAPI_PROP_USERAGENT_LEN = 3,
    HTMLAPI_PROP_USERAGENT = 4,
    HTMLAPI_PROP_BINARYDATA = 6,    // BOOL: the text is binary (an element)
} HTMLAPI_PROP_TYPE;

typedef enum {
    HTMLAPI_REF_UNKNOWN = 0,
    HTMLAPI_REF_HREF = 1,
    HTMLAPI_REF_IMG = 2,
    HTMLAPI_REF_FRAME = 3,
    HTMLAPI_REF_APPLET = 4,
    HTMLAPI_REF_EMBED = 5,
    HTMLAPI_REF_OBJECT = 6,
    HTMLAPI_REF_BASE = 7,
    HTMLAPI_REF_BACKGROUND = 8,
    HTMLAPI_REF_CID = 9,
} HTMLAPI_REF_TYPE;

typedef enum {
    UAT_None = 0, UAT_Server = 1, UAT_Database = 2, UAT_View = 3, UAT_Form = 4,
    UAT_Navigator = 5, UAT_Agent = 6, UAT_Document = 7, UAT_Filename = 8,
    UAT_ActualFilename = 9, UAT_Field = 10, UAT_FieldOffset = 11,
} UAT;

typedef enum {
    URT_None = 0, URT_Name = 1, URT_Unid = 2, URT_NoteId = 3, URT_Special = 4, URT_RepId = 5,
} URT;

typedef enum { CmdId_None = 0, CmdId_OpenDocument = 1, CmdId_OpenElement = 2 } CmdId;

// One URL component (24 bytes).
typedef struct {
    UAT AddressableType;
    URT ReferenceType;
    union {
        char* name;
        UNID unid;
        NOTEID nid;
        DWORD special;
        DBID dbid;
    } Value;
} HTMLAPI_URLComponent;

typedef struct {
    HTMLAPI_REF_TYPE RefType;
    char* pRefText;                 // zero-terminated
    CmdId CommandId;
    HTMLAPI_URLComponent* pTargets;
    HTMLAPI_URLComponent* pArgs;
    DWORD NumTargets;
    DWORD NumArgs;
    char* pFragment;                // "" when none
} HTMLAPIReference;

STATUS HTMLProcessInitialize(void);
void HTMLProcessTerminate(void);
STATUS HTMLCreateConverter(HTMLHANDLE* phHTML);
STATUS HTMLDestroyConverter(HTMLHANDLE hHTML);
// optionList ends with a null entry; options are remembered, not needed.
STATUS HTMLSetHTMLOptions(HTMLHANDLE hHTML, const char* const* optionList);
STATUS HTMLConvertNote(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, DWORD NumArgs,
                       HTMLAPI_URLComponent* pArgs);
STATUS HTMLConvertItem(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, const char* pszItemName);
STATUS HTMLConvertElement(HTMLHANDLE hHTML, DBHANDLE hDB, NOTEHANDLE hNote, const char* pszItemName,
                          DWORD ItemIndex, DWORD Offset);
STATUS HTMLGetProperty(HTMLHANDLE hHTML, HTMLAPI_PROP_TYPE PropertyType, void* pProperty);
// Copies up to *pTextLength bytes from StartingOffset; *pTextLength becomes
// the number copied.
STATUS HTMLGetText(HTMLHANDLE hHTML, DWORD StartingOffset, DWORD* pTextLength, char* pText);
// The reference's memory handle; free it with OSUnlockObject and OSMemFree.
STATUS HTMLGetReference(HTMLHANDLE hHTML, DWORD Index, MEMHANDLE* phRef);
STATUS HTMLLockAndFixupReference(MEMHANDLE hRef, HTMLAPIReference** ppRef);
// Replaces the text of reference Index (in the converter's text too).
STATUS HTMLSetReferenceText(HTMLHANDLE hHTML, DWORD Index, const char* pRefText);

// Item look-up (the BLOCKIDs are not used here and may be null).
typedef struct {
    DWORD pool;
    WORD block;
} BLOCKID;
STATUS NSFItemInfo(NOTEHANDLE note_handle, const char* item_name, WORD name_len, BLOCKID* item_blockid,
                   WORD* value_datatype, BLOCKID* value_blockid, DWORD* value_len);

// Translation modes of OSTranslate.
enum : WORD {
    OS_TRANSLATE_NATIVE_TO_LMBCS = 0,
    OS_TRANSLATE_LMBCS_TO_NATIVE = 1,
    OS_TRANSLATE_LMBCS_TO_UNICODE = 20,   // UTF-16, native order
    OS_TRANSLATE_UNICODE_TO_LMBCS = 21,
};
// Returns the number of bytes written to Out (no terminator added); stops at
// a whole character when Out is too small.
WORD OSTranslate(WORD TranslateMode, const char* In, WORD InLength, char* Out, WORD OutLength);

// Message text of a status, zero-terminated, in the system ANSI code page;
// returns its length. hModule is ignored.
WORD OSLoadString(void* hModule, STATUS StringCode, char* retBuffer, WORD BufferLength);

BOOL OSUnlockObject(DHANDLE Handle);
STATUS OSMemFree(DHANDLE Handle);

// Time text: IntlFormat and TextFormat may be null (the defaults: the text
// of LNDatetime::GetText).
STATUS ConvertTIMEDATEToText(const void* IntlFormat, const void* TextFormat, const TIMEDATE* InputTime,
                             char* retTextBuffer, WORD TextBufferLength, WORD* retTextLength);

}  // extern "C"

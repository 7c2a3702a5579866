// Basic Notes types shared by the LN classes and the HTML conversion
// functions: status codes, handles, note IDs, the binary time (TIMEDATE), the
// universal ID (UNID) and the item data-type words of stored item values.
#pragma once
#include <cstdint>

using LNSTATUS = uint32_t;   // 0 = success; failures are thrown as this type
using STATUS = uint32_t;
using LNINT = int32_t;
using LNBOOL = int32_t;
using LNNOTEID = uint32_t;
using NOTEID = uint32_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using BYTE = uint8_t;
using BOOL = int32_t;

// 32-bit handles of the function library (0 = none).
using DHANDLE = uint32_t;
using MEMHANDLE = uint32_t;
using DBHANDLE = uint32_t;
using NOTEHANDLE = uint32_t;
using HTMLHANDLE = uint32_t;
constexpr uint32_t NULLHANDLE = 0;

constexpr LNSTATUS LNNOERROR = 0;
constexpr LNSTATUS NOERROR = 0;

// Binary time: Innards[0] = hundredths of a second since midnight GMT
// (ALLDAY for a date without time); Innards[1] = bits 0-23 the Julian day
// (of the GMT date), bits 24-27 zone hours, bits 28-29 zone quarter hours,
// bit 30 set for zones east of Greenwich, bit 31 daylight saving observed
// (ANYDAY for a time without date). Stored little-endian, 8 bytes.
struct TIMEDATE {
    DWORD Innards[2];
};
constexpr DWORD ALLDAY = 0xFFFFFFFFu;
constexpr DWORD ANYDAY = 0xFFFFFFFFu;

struct TIMEDATE_PAIR {
    TIMEDATE Lower;
    TIMEDATE Upper;
};

using DBID = TIMEDATE;        // a replica ID is two 32-bit words
// Universal note ID: the file part (words 0 and 1), then the note part
// (words 2 and 3).
struct UNID {
    TIMEDATE File;
    TIMEDATE Note;
};

// Data-type words of stored item values (the first two bytes of a raw value).
enum : WORD {
    TYPE_ERROR = 0,
    TYPE_COMPOSITE = 1,         // rich text (CD records)
    TYPE_OBJECT = 3,            // $FILE attachment object
    TYPE_NOTELINK_LIST = 7,     // $Links
    TYPE_HTML = 21,
    TYPE_MIME_PART = 25,        // one part of a native MIME body
    TYPE_NUMBER = 0x0300,
    TYPE_NUMBER_RANGE = 0x0301,
    TYPE_TIME = 0x0400,
    TYPE_TIME_RANGE = 0x0401,   // time list and/or ranges
    TYPE_TEXT = 0x0500,
    TYPE_TEXT_LIST = 0x0501,
};

// Item flags.
enum : WORD {
    ITEM_SIGN = 0x0001,
    ITEM_SEAL = 0x0002,         // encrypted: invisible until decrypted
    ITEM_SUMMARY = 0x0004,
    ITEM_READWRITERS = 0x0020,
    ITEM_NAMES = 0x0040,
};

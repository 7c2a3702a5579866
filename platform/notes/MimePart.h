// Native MIME bodies as Notes stores them: a run of TYPE_MIME_PART items of
// one name, each a 20-byte MIME_PART header (version, flags, part type,
// lengths) followed by the part's boundary line, its header lines and its
// body. Concatenated in item order the parts give back the MIME stream,
// except that a part whose body lies in a $FILE object of the note holds
// that object's name instead of the body.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/NotesTypes.h"

namespace notes {

enum : DWORD {
    MIME_PART_HAS_BOUNDARY = 0x01,       // a child of a multipart: starts with its boundary line
    MIME_PART_HAS_HEADERS = 0x02,
    MIME_PART_BODY_IN_DBOBJECT = 0x04,   // the body is a $FILE object of the note
    MIME_PART_SHARED_DBOBJECT = 0x08,
};

enum : BYTE {
    MIME_PART_PROLOG = 1,    // a multipart entity: its headers and the preamble
    MIME_PART_BODY = 2,      // a leaf entity
    MIME_PART_EPILOG = 3,    // the closing boundary of a multipart
    MIME_PART_RETRIEVE_INFO = 4,
    MIME_PART_MESSAGE = 5,   // a message/rfc822 entity
};

// Transfer encoding of the bytes of a $FILE object that holds a MIME body
// (bits of the FILEOBJECT flags).
enum : WORD {
    FILEFLAG_MIME = 0x0004,
    ENCODE_MASK = 0x0038,
    ENCODE_NONE = 0x0000,
    ENCODE_BASE64 = 0x0008,
    ENCODE_QP = 0x0010,
    ENCODE_UUENCODE = 0x0018,
};

struct CMimePart {
    DWORD flags = 0;
    BYTE type = 0;
    std::string boundary;   // "--boundary" and its line break
    std::string headers;    // header lines and the empty line after them
    std::string body;       // or the name of the $FILE object
    bool InObject() const { return (flags & MIME_PART_BODY_IN_DBOBJECT) != 0; }
};

// The part a raw TYPE_MIME_PART value (type word first) holds; nothing when
// the value is of another type or its lengths run past its end.
std::optional<CMimePart> DecodeMimePart(const std::string& raw);

// Header line that AssembleMimeStream adds to every leaf part: its index
// among the parts, so that a parsed entity can be traced back to its item.
extern const char* const kPartIndexHeader;

// The MIME stream of the parts in order. Leaf parts carry kPartIndexHeader;
// a part whose body lies in a $FILE object has an empty body in the stream
// (its bytes are read from the object when they are needed).
std::string AssembleMimeStream(const std::vector<CMimePart>& parts);

}  // namespace notes

// Rich text as CD records: the elements this system writes and reads
// (paragraphs, text runs with font attributes, document links, images made
// of a graphic, an image header and image segments, attachment hotspots),
// their encoding into items of at most about 60 kB split at record
// boundaries, and the decoding of such items back into elements with the
// item index and byte offset where each element begins.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/notes/NotesTypes.h"

namespace notes {

// Record signatures (BSIG: length in the high byte; WSIG: 0xFF high byte;
// LSIG: 0x00 high byte).
enum : WORD {
    SIG_CD_PARAGRAPH = 0x0081,
    SIG_CD_PABDEFINITION = 0xFF82,
    SIG_CD_PABREFERENCE = 0x0083,
    SIG_CD_TEXT = 0xFF85,
    SIG_CD_LINK2 = 0xFF8B,
    SIG_CD_GRAPHIC = 0x0099,
    SIG_CD_IMAGESEGMENT = 0x007C,
    SIG_CD_IMAGEHEADER = 0x007D,
    SIG_CD_HOTSPOTBEGIN = 0xFFA9,
    SIG_CD_HOTSPOTEND = 0x00AA,
};

enum : WORD { CDIMAGETYPE_GIF = 1, CDIMAGETYPE_JPEG = 2 };
enum : WORD { HOTSPOTREC_TYPE_FILE = 4 };

// Font attribute bits and colours of a FONTID.
enum : BYTE { ISBOLD = 0x01, ISITALIC = 0x02, ISUNDERLINE = 0x04, ISSTRIKEOUT = 0x08 };
enum : BYTE { FONT_FACE_ROMAN = 0, FONT_FACE_SWISS = 1, FONT_FACE_TYPEWRITER = 4 };
constexpr int kNotesColorCount = 16;
const char* NotesColorName(int index);     // "black", "white", "red", ...
// A colour name or "#RRGGBB" (the nearest of the sixteen); -1 when unknown.
int NotesColorIndex(const std::string& name);
const char* NotesColorHex(int index);      // "#000000", ...

struct CFont {
    BYTE face = FONT_FACE_SWISS;
    BYTE attrib = 0;
    BYTE color = 0;
    BYTE size = 10;
    bool IsDefault() const { return face == FONT_FACE_SWISS && attrib == 0 && color == 0 && size == 10; }
};

struct CRtElement {
    enum EKind { kParagraph, kText, kLink, kImage, kAttachment } kind = kParagraph;
    std::string text;         // LMBCS: run text, link comment, attachment display name
    CFont font;               // text runs
    WORD linkIndex = 0;       // links: entry of $Links
    std::string serverHint;   // links
    WORD imageType = 0;       // images
    WORD width = 0, height = 0;
    std::string bytes;        // images: GIF or JPEG bytes
    std::string uniqueName;   // attachments: the $FILE name
    // Where the element's first record lies (filled when decoding).
    int itemIndex = 0;
    uint32_t offset = 0;      // after the item's 2-byte type word
};

struct CCdError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr size_t kRichTextItemLimit = 60000;

// Items (raw values with the TYPE_COMPOSITE word) holding the elements.
std::vector<std::string> EncodeRichText(const std::vector<CRtElement>& elements,
                                        size_t itemLimit = kRichTextItemLimit);
// Elements of the items of one field, in order; throws CCdError on
// malformed records.
std::vector<CRtElement> DecodeRichText(const std::vector<std::string>& rawItems);

// Image format and size from the file's bytes; false when neither GIF nor JPEG.
bool ProbeImage(const std::string& bytes, WORD* imageType, WORD* width, WORD* height);

}  // namespace notes

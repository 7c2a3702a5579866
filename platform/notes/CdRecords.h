// Rich text as CD records: the elements this system writes and reads
// (paragraphs, text runs with font attributes, document links, images made
// of a graphic, an image header and image segments, attachment hotspots),
// their encoding into items of at most about 60 kB split at record
// boundaries, and the decoding of such items back into elements with the
// item index and byte offset where each element begins. Decoding reads the
// rich text Notes itself writes as well: section titles, table cells (one
// paragraph per row, cells separated by a tab), button faces and captions
// become text runs; records with nothing to show are passed over, and a
// damaged record costs only itself.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/NotesTypes.h"

namespace notes {

// Record signatures (BSIG: length in the high byte; WSIG: 0xFF high byte;
// LSIG: 0x00 high byte).
enum : WORD {
    SIG_CD_PARAGRAPH = 0x0081,
    SIG_CD_PABDEFINITION = 0xFF82,
    SIG_CD_PABREFERENCE = 0x0083,
    SIG_CD_TEXT = 0xFF85,
    SIG_CD_FONTTABLE = 0xFF8B,
    SIG_CD_LINK2 = 0xFF91,
    SIG_CD_LINKEXPORT2 = 0xFF92,
    SIG_CD_GRAPHIC = 0x0099,
    SIG_CD_IMAGESEGMENT = 0x007C,
    SIG_CD_IMAGEHEADER = 0x007D,
    SIG_CD_HOTSPOTBEGIN = 0xFFA9,
    SIG_CD_HOTSPOTEND = 0x00AA,
};

enum : WORD { CDIMAGETYPE_GIF = 1, CDIMAGETYPE_JPEG = 2 };
enum : WORD { HOTSPOTREC_TYPE_FILE = 4 };
constexpr WORD kNoLinkIndex = 0xFFFF;   // a link that names its target itself

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

// One face of a note's font table ($Fonts): the face number text runs use
// (5 and up), the pitch-and-family byte and the face name (LMBCS).
struct CFontFace {
    BYTE face = 0;
    BYTE family = 0;
    std::string name;
};

struct CRtElement {
    enum EKind { kParagraph, kText, kLink, kImage, kAttachment } kind = kParagraph;
    std::string text;         // LMBCS: run text, link comment, attachment display name
    CFont font;               // text runs
    std::string faceName;     // text runs: font-table face name (faces 5 and up, when the table is known)
    std::string url;          // text runs inside a URL hotspot: where it leads
    WORD linkIndex = 0;       // links: entry of $Links, kNoLinkIndex when the record holds the target
    std::string serverHint;   // links
    bool hasTarget = false;   // links: target found in $Links or in the record
    CNoteLink target;         // links: database, view and document linked
    WORD imageType = 0;       // images
    WORD width = 0, height = 0;
    std::string bytes;        // images: GIF or JPEG bytes
    bool attachmentIcon = false;   // images: drawn as the icon of an attachment hotspot
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
// What a note offers for reading its rich text beyond the field's items.
struct CRtContext {
    std::vector<CFontFace> fonts;   // its font table
    std::vector<CNoteLink> links;   // its $Links
};

struct CRtDecoded {
    std::vector<CRtElement> elements;
    int damagedRecords = 0;   // records whose length or content was impossible
    size_t lostBytes = 0;     // bytes passed over to find the next record boundary
    int foreignItems = 0;     // items that were not rich text, left out
};

// Elements of the items of one field, in order. Never throws: a damaged
// record is counted and passed over, with the bytes up to the next record
// boundary that can be found. Text runs in faces of the font table get its
// face name and the standard face nearest its family; links get their
// targets.
CRtDecoded DecodeRichTextItems(const std::vector<std::string>& rawItems, const CRtContext& context = {});
// True when the elements hold more than empty paragraphs and empty runs.
bool ShowsAnything(const std::vector<CRtElement>& elements);
// The same elements; throws CCdError when an item is not rich text, or when
// damaged records left nothing to show.
std::vector<CRtElement> DecodeRichText(const std::vector<std::string>& rawItems);
// The faces of a $Fonts item; empty when it holds none.
std::vector<CFontFace> DecodeFontTable(const std::string& raw);

// Image format and size from the file's bytes; false when neither GIF nor JPEG.
bool ProbeImage(const std::string& bytes, WORD* imageType, WORD* width, WORD* height);

}  // namespace notes

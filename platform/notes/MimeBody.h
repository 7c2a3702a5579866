// A native MIME body read the way the HTML converter and the plain-text
// readers need it. The field's MIME_PART items are put back together into
// the MIME stream and parsed with GMime; then
// - multipart/alternative shows its HTML alternative (its plain-text one
//   gives the plain text), multipart/related its root part with the images
//   the root refers to by cid: URL, other multiparts each part in order;
// - text/html gives the content of its <body>, text/plain escaped text with
//   line breaks, both decoded from the part's charset;
// - images that are not attachments become image slots: where the HTML
//   refers to them, otherwise after the part they belong to;
// - attachments are left out of the body: most are the note's $FILE items;
//   those whose bytes lie in the MIME items themselves (mail received from
//   the Internet) are listed by Attachments().
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/MimePart.h"

namespace notes {

// The bytes of a $FILE object as stored, with the flags of its FILEOBJECT
// (ENCODE_xxx: their transfer encoding).
struct CObjectContent {
    std::string bytes;
    WORD fileFlags = 0;
};
// Reads the note's $FILE object of that name; nothing when there is none.
using CObjectReader = std::function<std::optional<CObjectContent>(const std::string& name)>;

// An attachment whose bytes lie in a MIME item, not in a $FILE object.
struct CMimeAttachment {
    std::string name;    // UTF-8
    std::string bytes;   // decoded
};

// A piece of the body's HTML: markup, or the URL of an image.
struct CMimeSegment {
    std::u16string markup;
    int imagePart = -1;       // index of the image's item among the field's parts
    std::string imageFormat;  // "gif", "jpeg", "png", ...
};

class CMimeBody {
public:
    // rawParts: the field's TYPE_MIME_PART values (type word first) in item order.
    CMimeBody(const std::vector<std::string>& rawParts, CObjectReader reader);

    // The body's HTML (content of a <body> element) with image slots.
    const std::vector<CMimeSegment>& Html() const { return html; }
    // The plain text, lines ending with CR LF.
    const std::u16string& Plain() const { return plain; }
    // The decoded bytes of an image the HTML shows; nothing for another part.
    std::optional<std::string> ImageBytes(int part) const;
    // Names of the $FILE objects whose bytes the body shows (text and
    // images): they are part of the body, not attachments.
    const std::vector<std::string>& InlineObjects() const { return inlineObjects; }
    // Attachment parts whose bytes lie in the MIME items: without them such
    // attachments would be lost, since the note has no $FILE item for them.
    const std::vector<CMimeAttachment>& Attachments() const { return attachments; }

    struct CImage {
        int part = -1;
        std::string bytes;    // decoded, unless the image lies in an object
        std::string object;   // the $FILE name, or empty
    };

private:
    friend class CMimeRenderer;
    std::vector<CMimePart> parts;
    CObjectReader reader;
    std::vector<CMimeSegment> html;
    std::u16string plain;
    std::vector<CImage> images;
    std::vector<std::string> inlineObjects;
    std::vector<CMimeAttachment> attachments;
};

// The bytes as they are, from their transfer encoding (ENCODE_xxx).
std::string DecodeObjectBytes(const CObjectContent& content);

}  // namespace notes

// Rich text of the Notes stand-in: the plain text of a rich-text field and a
// cursor that walks its document links. A rich-text field may be stored in
// several items of the same name; LNRichText covers all of them in order.
// A native MIME body (MIME_PART items) reads as rich text too: its plain
// text is the text/plain part, or the text of its HTML.
#pragma once
#include <memory>
#include <vector>

#include "platform/notes/LNItem.h"

namespace notes {
struct CRichTextState;
struct CLinkData;
}

using LNRTTYPE = LNINT;
enum : LNINT {
    LNRTTYPE_DOCUMENT_LINK = 41,  // every link: document, view and database links
};

// An element found by the cursor.
class LNRTObject {
public:
    virtual ~LNRTObject() = default;
};

class LNDatabaseLink : public LNRTObject {
public:
    TIMEDATE GetDatabaseReplicaID() const;   // two 32-bit words
    LNString GetDescription() const;         // the link's display comment
    LNString GetServerHint() const;
    // Internal.
    void Assign(std::shared_ptr<const notes::CLinkData> link) { data = std::move(link); }

protected:
    std::shared_ptr<const notes::CLinkData> data;
};

class LNViewLink : public LNDatabaseLink {
public:
    UNID GetViewUniversalID() const;         // zeros for a database link
};

class LNDocumentLink : public LNViewLink {
public:
    UNID GetDocumentUniversalID() const;     // zeros for a view or database link
};

class LNRTCursor {
public:
    // Moves to the first / next element of the type and, when given, fills
    // object (an LNDatabaseLink, LNViewLink or LNDocumentLink for type 41).
    // Returns ERR_NOT_FOUND when there is none (more).
    LNSTATUS GotoFirst(LNRTTYPE type, LNRTObject* object = nullptr);
    LNSTATUS GotoNext(LNRTTYPE type, LNRTObject* object = nullptr);

private:
    friend class LNRichText;
    LNSTATUS Fill(LNRTObject* object) const;
    std::shared_ptr<notes::CRichTextState> state;
    LNINT position = -1;
};

class LNRichText : public LNItem {
public:
    LNRichText() = default;
    LNRichText(const LNItem& item);
    LNRichText& operator=(const LNItem& item);

    // Plain text: paragraphs joined with CR LF, text runs as they stand,
    // link and attachment hotspots without their icons.
    LNString GetText() const;
    LNSTATUS GetCursor(LNRTCursor* cursor) const;
    // CD records of the field passed over because they are damaged (a length
    // past the end of the item, an impossible length, an unterminated text):
    // their content is lost, the elements around them are kept.
    LNINT GetDamagedRecordCount() const;

    // Internal: all items of the field, in order. Throws ERR_CD_RECORD when
    // damage left nothing to show.
    void SetParts(std::vector<std::shared_ptr<const notes::CItemData>> parts,
                  std::shared_ptr<const notes::CItemData> links);
    // Internal: the field as the note loaded it (with its $FILE objects).
    void SetState(std::shared_ptr<notes::CRichTextState> field);
    // Internal: plain text given directly (a text item read as rich text).
    void SetPlainText(const LNString& text);

protected:
    bool Accepts(WORD dataType) const override;

private:
    std::shared_ptr<notes::CRichTextState> State() const;
    mutable std::shared_ptr<notes::CRichTextState> state;
};

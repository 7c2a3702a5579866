// Internal state behind the LN class handles and the function library's
// 32-bit handles: open databases, loaded notes, views, rich-text fields.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/CdRecords.h"
#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNErrors.h"
#include "platform/notes/MimeBody.h"
#include "platform/notes/NotesSource.h"

namespace notes {

struct CDatabaseState {
    std::string path;                   // file-system path
    std::unique_ptr<CNotesSource> file; // while open
    DBHANDLE handle = 0;
    int openCount = 0;
    std::mutex lock;
    CNotesSource& File();               // throws ERR_DB_NOT_OPEN
};

struct CItemData {
    std::string name;   // LMBCS
    WORD flags = 0;
    std::string raw;    // with the data-type word
    WORD Type() const { return RawType(raw); }
};

using CItemPtr = std::shared_ptr<const CItemData>;

struct CNoteRef {
    std::shared_ptr<CDatabaseState> db;
    NOTEID id = 0;
    std::mutex lock;
    int openCount = 0;
    bool decrypted = false;
    NOTEHANDLE handle = 0;
    // Loaded while open.
    UNID unid{};
    int noteClass = 0;
    TIMEDATE created{}, modified{};
    bool encrypted = false, isSigned = false;
    std::vector<CItemPtr> items;

    std::vector<CItemPtr> Visible() const;
    std::vector<CItemPtr> Named(const std::string& name) const;   // visible, in order
    CItemPtr First(const std::string& name) const;
};

struct CViewState {
    std::shared_ptr<CDatabaseState> db;
    CViewRow row;
    int openCount = 0;
};

struct CAttachmentData {
    std::shared_ptr<CDatabaseState> db;
    CFileObject file;
    std::optional<std::string> bytes;   // an attachment of a MIME item: its bytes
};

struct CLinkData {
    CNoteLink link;
    std::string description;   // LMBCS
    std::string serverHint;
};

class CMimeBody;

struct CRichTextState {
    std::vector<CRtElement> elements;
    std::vector<CNoteLink> links;
    int damagedRecords = 0;     // CD records passed over as impossible
    bool plainOnly = false;
    std::string plain;          // for plainOnly
    std::shared_ptr<const CMimeBody> mime;   // a native MIME body instead of CD records
};

// Runs a read of the database file; a note that cannot be read becomes its
// own status, any other damage ERR_DB_CORRUPT, so that callers only ever see
// status codes.
template <class F>
auto Guarded(F read) -> decltype(read()) {
    try {
        return read();
    } catch (const CNoteUnreadable& unreadable) {
        throw unreadable.status;
    } catch (const CNsfError&) {
        throw static_cast<LNSTATUS>(ERR_DB_CORRUPT);
    }
}

// Restarts the count of document opens that NSFDB_OPEN_LIMIT limits.
void ResetOpenCount();

// Item names compare without regard to ASCII case.
bool SameName(const std::string& a, const std::string& b);

// The function library's handle tables.
DBHANDLE RegisterDatabase(const std::shared_ptr<CDatabaseState>& db);
void ReleaseDatabase(DBHANDLE handle);
std::shared_ptr<CDatabaseState> FindDatabase(DBHANDLE handle);
NOTEHANDLE RegisterNote(const std::shared_ptr<CNoteRef>& note);
void ReleaseNote(NOTEHANDLE handle);
std::shared_ptr<CNoteRef> FindNote(NOTEHANDLE handle);
uint32_t NextHandle();

// Loads the rich-text field of that name (all items) with the $Links list;
// a field whose first item is a MIME part is read as a native MIME body.
std::shared_ptr<CRichTextState> LoadRichText(const CNoteRef& note, const std::string& name);
// The target of a link element: its own, or its entry of $Links.
CNoteLink LinkTarget(const CRichTextState& field, const CRtElement& link);
// Plain text of decoded elements (paragraphs joined with CR LF).
std::string PlainText(const std::vector<CRtElement>& elements);
// Plain text of a loaded field (LMBCS).
std::string PlainText(const CRichTextState& field);
// Names of the visible rich-text fields of the note (CD records or native
// MIME), in note order.
std::vector<std::string> RichTextFieldNames(const CNoteRef& note);
// What the note's native MIME bodies mean for its attachments: the $FILE
// objects they show as text or images (part of the body, not attachments),
// and the attachments whose bytes lie in the MIME items themselves.
struct CMimeFiles {
    std::vector<std::string> inBody;
    std::vector<CMimeAttachment> attachments;
};
CMimeFiles MimeFilesOf(const CNoteRef& note);

}  // namespace notes

// What the LN classes read a Notes database through: the database's title
// and replica ID, its notes with their items in Notes' canonical encodings,
// its forms, views and folders, and the data of its attachment objects.
// Two kinds of file offer it: our own database file (SQLite, CNsfFile) and
// a real NSF file written by Notes or Domino (ods::COdsDatabase).
// OpenNotesSource tells them apart by their first bytes.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/NotesTypes.h"

namespace notes {

enum ENoteClass : int { kClassDocument = 0x0001, kClassForm = 0x0004, kClassView = 0x0008 };

struct CItemRow {
    std::string name;   // LMBCS
    WORD flags = 0;
    std::string raw;    // value with its data-type word
};

struct CNoteRow {
    NOTEID id = 0;
    UNID unid{};
    int noteClass = kClassDocument;
    TIMEDATE created{}, modified{};
    bool encrypted = false;
    bool isSigned = false;
    std::vector<CItemRow> items;
};

struct CFormField {
    std::string name;   // LMBCS
    int type = 0;
};

struct CFormRow {
    NOTEID id = 0;
    std::string name;   // LMBCS
    std::vector<CFormField> fields;
};

struct CViewEntry {
    NOTEID noteId = 0;  // 0 = null entry
    bool unread = false;
};

struct CViewRow {
    NOTEID id = 0;
    std::string name;   // LMBCS
    bool folder = false;
    int type = 0;
    std::vector<CViewEntry> entries;
};

// A source may list one folder more than the file holds: the documents that
// no folder and no view but "($All)" lists, so that none is left out of a
// conversion. No note of a file has its note ID (note IDs are far smaller,
// and the top bit marks deleted notes).
constexpr const char* kUnfiledFolderName = "Not in any folder";
constexpr NOTEID kUnfiledFolderId = 0x7FFFFFFCu;

// Adds that folder to views (with their entries) when some of the documents
// are listed by no view but "($All)"; a stored folder of its note ID (in a
// database built from the dump of a real NSF file) takes them instead.
void AddUnfiledFolder(std::vector<CViewRow>& views, const std::vector<NOTEID>& documents);

// A file that is not a Notes database, or a structure of one that cannot be
// read. The LN classes turn it into a status code.
struct CNsfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A note or attachment that exists but cannot be read, with the reason:
// damaged, encrypted with a key that is not available, compressed in an
// unknown way. The reason is kept for the thread, so that the message text
// of the status names what could not be read (UnreadableDetail).
struct CNoteUnreadable : CNsfError {
    CNoteUnreadable(const std::string& why, LNSTATUS status);
    LNSTATUS status;
};

// The reason of the last CNoteUnreadable with this status on this thread.
std::string UnreadableDetail(LNSTATUS status);

class CNotesSource {
public:
    virtual ~CNotesSource() = default;

    virtual std::string Title() const = 0;
    virtual DBID ReplicaId() const = 0;
    // Empty when no note has that ID; throws CNoteUnreadable when it has one
    // that cannot be read.
    virtual std::optional<CNoteRow> ReadNote(NOTEID id) = 0;
    // Note IDs of every note of that class, in ascending order.
    virtual std::vector<NOTEID> NoteIds(int noteClass) = 0;
    // Views and folders in database order; entries only when asked.
    virtual std::vector<CViewRow> ReadViews(bool withEntries) = 0;
    virtual std::optional<CViewRow> ReadView(NOTEID id) = 0;
    virtual std::vector<CFormRow> ReadForms() = 0;
    virtual std::optional<CFormRow> ReadForm(const std::string& name) = 0;
    // The bytes of the attachment a $FILE item describes, decoded. Empty when
    // there is no such object; throws CNoteUnreadable when its bytes cannot
    // be decoded.
    virtual std::optional<std::string> ReadObject(const CFileObject& file) = 0;
    // The same bytes handed to `sink` piece by piece, in order, so that an
    // attachment of megabytes need not be held whole; false when there is no
    // such object. Throws as ReadObject does.
    virtual bool CopyObject(const CFileObject& file, const std::function<void(std::string_view)>& sink) {
        std::optional<std::string> bytes = ReadObject(file);
        if (bytes) sink(*bytes);
        return bytes.has_value();
    }
    // For a listing of the documents: the notes from note ID `from` on, in
    // ascending order and at most `most` of them, each with only its items
    // of those names, in their order. Nothing when the source has no faster
    // way than reading note by note; throws CNsfError on damage.
    virtual std::optional<std::vector<CNoteRow>> ReadNotesWith(NOTEID /*from*/, size_t /*most*/,
                                                               const std::vector<std::string>& /*names*/) {
        return std::nullopt;
    }
    // True when encrypted items can be decrypted (the key is at hand).
    virtual bool CanDecrypt() const = 0;
};

// Opens the database file at path (UTF-8) by its signature. Throws CNsfError
// when the file is missing or is neither kind of Notes database.
std::unique_ptr<CNotesSource> OpenNotesSource(const std::string& path);

}  // namespace notes

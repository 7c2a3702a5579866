// The staging store: the model of one mail store (store properties, folder
// tree, messages with their property bags, recipient rows and attachments,
// named properties), kept in an SQLite file next to the PST it will become
// (PST path + ".staging"). Every saved message is committed in one
// transaction of its own, so a process killed at any moment keeps every
// message saved before it. Large values (attachment data, long bodies) are
// streamed in and out of the file in chunks and never need to be held in
// memory as a whole. The PST writer (PstWriter.h) reads this store.
//
// Properties are MAPI properties: tag = (property id << 16) | property type.
// Named properties get their id (0x8000 and up) from NamedPropertyId().
//
// Not thread-safe: one CStagingStore object per thread. Several processes
// may open the same file one after another (SQLite locking serialises them).
// All failures throw CStagingError.
#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace pst {

// ---- property tags and types -------------------------------------------

using PropTag = uint32_t;

enum : uint16_t {
    PT_SHORT = 0x0002,
    PT_LONG = 0x0003,
    PT_DOUBLE = 0x0005,
    PT_CURRENCY = 0x0006,
    PT_APPTIME = 0x0007,
    PT_ERROR = 0x000A,
    PT_BOOLEAN = 0x000B,
    PT_OBJECT = 0x000D,
    PT_I8 = 0x0014,
    PT_STRING8 = 0x001E,  // accepted on input, stored and written as PT_UNICODE
    PT_UNICODE = 0x001F,
    PT_SYSTIME = 0x0040,
    PT_CLSID = 0x0048,
    PT_BINARY = 0x0102,
    PT_MV_LONG = 0x1003,
    PT_MV_UNICODE = 0x101F,
    PT_MV_BINARY = 0x1102,
};

constexpr PropTag MakeTag(uint16_t id, uint16_t type) { return (PropTag(id) << 16) | type; }
constexpr uint16_t PropId(PropTag tag) { return uint16_t(tag >> 16); }
constexpr uint16_t PropType(PropTag tag) { return uint16_t(tag & 0xFFFF); }

// PT_SYSTIME values are FILETIMEs: 100-ns intervals since 1601-01-01 UTC.
int64_t OleDateToFileTime(double oleDate);
double FileTimeToOleDate(int64_t fileTime);
int64_t UnixTimeToFileTime(int64_t unixSeconds);

// A large value that is read from a file while it is saved, in chunks.
// For PT_BINARY the file's bytes are the value; for PT_UNICODE the file
// holds UTF-16LE text without a byte-order mark.
struct CFileSource {
    std::filesystem::path path;
};

// A large value that already lives in the staging store (what LoadMessage
// returns for values of more than kInlineLimit bytes). Read it with
// CStagingStore::ReadValue; saving it again copies it inside the store.
struct CStoredValue {
    int64_t blobId = 0;
    uint64_t size = 0;  // bytes (UTF-16LE bytes for PT_UNICODE)
};

using Bytes = std::string;  // raw bytes of PT_BINARY / PT_CLSID values

// One property value. Which alternative is used follows the tag's type:
//   PT_SHORT, PT_LONG, PT_ERROR          int32_t
//   PT_BOOLEAN                           bool
//   PT_I8, PT_SYSTIME, PT_CURRENCY       int64_t
//   PT_DOUBLE, PT_APPTIME                double
//   PT_UNICODE                           std::u16string, CFileSource, CStoredValue
//   PT_BINARY, PT_CLSID (16 bytes)       Bytes, CFileSource, CStoredValue
//   PT_MV_UNICODE                        std::vector<std::u16string>
//   PT_MV_BINARY                         std::vector<Bytes>
//   PT_MV_LONG                           std::vector<int32_t>
using PropValue = std::variant<int32_t, bool, int64_t, double, std::u16string, Bytes,
                               std::vector<std::u16string>, std::vector<Bytes>,
                               std::vector<int32_t>, CFileSource, CStoredValue>;

// A set of properties keyed by tag, sorted by tag. Setting a property
// replaces any value with the same property id (whatever its type).
class CPropBag {
public:
    void SetLong(uint16_t id, int32_t v) { Set(MakeTag(id, PT_LONG), v); }
    void SetBool(uint16_t id, bool v) { Set(MakeTag(id, PT_BOOLEAN), v); }
    void SetI8(uint16_t id, int64_t v) { Set(MakeTag(id, PT_I8), v); }
    void SetTime(uint16_t id, int64_t fileTime) { Set(MakeTag(id, PT_SYSTIME), fileTime); }
    void SetDouble(uint16_t id, double v) { Set(MakeTag(id, PT_DOUBLE), v); }
    void SetString(uint16_t id, std::u16string v) { Set(MakeTag(id, PT_UNICODE), std::move(v)); }
    void SetBinary(uint16_t id, Bytes v) { Set(MakeTag(id, PT_BINARY), std::move(v)); }
    void SetStrings(uint16_t id, std::vector<std::u16string> v) { Set(MakeTag(id, PT_MV_UNICODE), std::move(v)); }
    // Streams the value from a file when the bag is saved (PT_BINARY or PT_UNICODE).
    void SetFromFile(PropTag tag, std::filesystem::path path) { Set(tag, CFileSource{std::move(path)}); }

    // Throws CStagingError when the value's alternative does not fit the type.
    void Set(PropTag tag, PropValue value);
    void Remove(uint16_t id);
    bool Has(uint16_t id) const { return Find(id) != nullptr; }
    // The tag and value stored under a property id, or null.
    const std::pair<const PropTag, PropValue>* Find(uint16_t id) const;

    // Typed getters; nullopt when absent or of another type.
    std::optional<int32_t> GetLong(uint16_t id) const;
    std::optional<bool> GetBool(uint16_t id) const;
    std::optional<int64_t> GetI8(uint16_t id) const;  // PT_I8, PT_SYSTIME, PT_CURRENCY
    std::optional<std::u16string> GetString(uint16_t id) const;  // in-memory strings only
    std::optional<Bytes> GetBinary(uint16_t id) const;           // in-memory bytes only

    const std::map<PropTag, PropValue>& All() const { return props; }
    bool Empty() const { return props.empty(); }
    size_t Size() const { return props.size(); }

private:
    std::map<PropTag, PropValue> props;
};

// ---- messages --------------------------------------------------------------

struct CStagedMessage;

// An attachment: its properties (PR_ATTACH_METHOD 0x3705, PR_ATTACH_LONG_FILENAME
// 0x3707, ...) and its data in PR_ATTACH_DATA_BIN 0x37010102, given as bytes
// or as a CFileSource. An attachment with method 5 (embedded message)
// carries the message in `embedded` instead of data.
struct CStagedAttachment {
    CPropBag props;
    std::shared_ptr<CStagedMessage> embedded;
};

// A message: its property bag, one property bag per recipient row
// (PR_RECIPIENT_TYPE 0x0C15, PR_DISPLAY_NAME 0x3001, PR_EMAIL_ADDRESS 0x3003,
// PR_ADDRTYPE 0x3002, ...) and its attachments, in order.
// Associated (folder-associated, hidden) messages set `associated`.
// A message saved with a `sourceKey` (the identity of what it was made from)
// replaces the message saved earlier with the same key instead of adding a
// second one; the key is kept in the staging store only.
struct CStagedMessage {
    CPropBag props;
    std::vector<CPropBag> recipients;
    std::vector<CStagedAttachment> attachments;
    bool associated = false;
    std::string sourceKey;
};

// ---- folders ---------------------------------------------------------------

using FolderId = int64_t;
using MessageId = int64_t;

// The folders every new store has, created with the store.
enum class EDefaultFolder {
    IpmSubtree,   // "Top of Outlook data file": parent of all the others
    Inbox,        // "Inbox", IPF.Note
    SentItems,    // "Sent Items", IPF.Note
    Drafts,       // "Drafts", IPF.Note
    Outbox,       // "Outbox", IPF.Note
    DeletedItems, // "Deleted Items", IPF.Note
    Calendar,     // "Calendar", IPF.Appointment
    Contacts,     // "Contacts", IPF.Contact
    Tasks,        // "Tasks", IPF.Task
    Journal,      // "Journal", IPF.Journal
    Notes,        // "Notes", IPF.StickyNote
    JunkEmail,    // "Junk E-mail", IPF.Note
};

struct CFolderInfo {
    FolderId id = 0;
    FolderId parent = 0;  // 0 for the IPM subtree
    std::u16string name;
    std::u16string containerClass;  // "IPF.Note", ...; may be empty
    std::optional<EDefaultFolder> kind;
    CPropBag props;  // further folder properties (PR_COMMENT, ...)
};

// ---- named properties ------------------------------------------------------

using Guid = std::array<uint8_t, 16>;  // in on-disk (little-endian fields) byte order

// Parses "{00062004-0000-0000-C000-000000000046}" (braces optional).
Guid ParseGuid(const std::string& text);
extern const Guid PS_MAPI;            // {00020328-0000-0000-C000-000000000046}
extern const Guid PS_PUBLIC_STRINGS;  // {00020329-0000-0000-C000-000000000046}

struct CNamedProp {
    Guid guid{};
    std::optional<uint32_t> lid;  // numeric name (MNID_ID), or
    std::u16string name;          // string name (MNID_STRING) when lid is empty
    uint16_t propId = 0;          // 0x8000 + index
};

// ---- the store ---------------------------------------------------------------

class CStagingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CStagingStore {
public:
    // Values above this size are kept as blobs of their own and streamed.
    static constexpr uint64_t kInlineLimit = 2 * 1024;

    // The staging file that belongs to a PST path: pstPath + ".staging".
    static std::filesystem::path PathForPst(const std::filesystem::path& pstPath);

    // Opens the staging file, creating it with the default folders and
    // the given store display name when it does not exist yet.
    static std::unique_ptr<CStagingStore> Open(const std::filesystem::path& path,
                                               const std::u16string& storeName = u"Personal Folders");
    // The number of messages in a staging file, read without taking a write
    // lock (another process may be filling it); 0 when it cannot be read.
    static uint64_t CountMessages(const std::filesystem::path& path);
    // Opens an existing staging file; throws when there is none.
    static std::unique_ptr<CStagingStore> OpenExisting(const std::filesystem::path& path);

    // Holds one read transaction for a long read-only pass (writing the
    // PST): its reads share one snapshot and take the file's locks once, not
    // once per query. Nothing may be written through the store meanwhile.
    class CReading {
    public:
        explicit CReading(CStagingStore& store);
        ~CReading();
        CReading(const CReading&) = delete;
        CReading& operator=(const CReading&) = delete;

    private:
        CStagingStore& store;
    };

    ~CStagingStore();
    CStagingStore(const CStagingStore&) = delete;
    CStagingStore& operator=(const CStagingStore&) = delete;

    const std::filesystem::path& Path() const { return path; }

    // Store properties (PR_DISPLAY_NAME 0x3001 is the store's name). The
    // writer adds the record key, entry ids and masks itself.
    CPropBag StoreProperties();
    void SetStoreProperty(PropTag tag, const PropValue& value);

    // Folder tree. Names are unique among siblings, compared without regard
    // to ASCII case; CreateFolder returns the existing folder of that name.
    FolderId DefaultFolder(EDefaultFolder kind);
    FolderId CreateFolder(FolderId parent, const std::u16string& name,
                          const std::u16string& containerClass = u"IPF.Note");
    std::optional<FolderId> FindChildFolder(FolderId parent, const std::u16string& name);
    std::vector<FolderId> ChildFolders(FolderId parent);  // in creation order
    CFolderInfo Folder(FolderId id);
    void SetFolderProperty(FolderId id, PropTag tag, const PropValue& value);
    void SetContainerClass(FolderId id, const std::u16string& containerClass);

    // Messages. SaveMessage commits the whole message (properties,
    // recipients, attachments and their data) in one transaction and returns
    // its id; a message with the source key of a saved one replaces it (same
    // id, moved into `folder`), which `replaced` tells when given.
    // ReplaceMessage overwrites a saved message in one transaction.
    MessageId SaveMessage(FolderId folder, const CStagedMessage& message, bool* replaced = nullptr);
    void ReplaceMessage(MessageId id, const CStagedMessage& message);
    // Held commits: after HoldCommits(), what the calls change is committed
    // together by CommitHeld(), one commit for a run of messages instead of
    // one each; a call that fails meanwhile takes back its own changes only.
    // What is held when the store closes is dropped, and CommitHeld() that
    // fails keeps none of it (it throws).
    void HoldCommits();
    void CommitHeld();
    bool CommitsHeld() const;  // between HoldCommits() and CommitHeld()
    void DeleteMessage(MessageId id);
    void MoveMessage(MessageId id, FolderId folder);
    std::vector<MessageId> Messages(FolderId folder);  // in save order
    uint64_t MessageCount(FolderId folder);
    // Loads a saved message; values above kInlineLimit come back as CStoredValue.
    CStagedMessage LoadMessage(MessageId id);
    FolderId FolderOfMessage(MessageId id);

    // Reads up to `length` bytes of a stored value from `offset` into `out`;
    // returns the number of bytes read.
    size_t ReadValue(const CStoredValue& value, uint64_t offset, void* out, size_t length);

    // Named properties: the property id (0x8000 + n) of a name, assigned on
    // first use and kept for the life of the store.
    uint16_t NamedPropertyId(const Guid& guid, uint32_t lid);
    uint16_t NamedPropertyId(const Guid& guid, const std::u16string& name);
    std::vector<CNamedProp> NamedProperties();  // ordered by propId

private:
    explicit CStagingStore(std::filesystem::path path);
    class CImpl;
    std::unique_ptr<CImpl> impl;
    std::filesystem::path path;
};

}  // namespace pst

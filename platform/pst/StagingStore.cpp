// The staging store on SQLite.
//
// Tables:
//   meta(key, value)                 format version
//   folders(id, parent, name, nameKey, class, kind)
//   objects(id, kind, parent, ord, folder, associated)
//       kind 0 = message saved in a folder, 1 = recipient row,
//       2 = attachment, 3 = message embedded in an attachment
//   props(owner, tag, value, blob)   owner 0 = the store, -id = folder id;
//                                    a large value is a range of the value
//                                    file, blobs(id, at, size), and `blob`
//                                    names it
//   bags(owner, bag)                 the properties of object `owner` in one
//                                    row: per property its tag (4 bytes),
//                                    0 and the value's length (4) and bytes,
//                                    or 1 and its blob id (8); little-endian;
//                                    stored behind a byte that says whether
//                                    it is LZ4-compressed (1, then its
//                                    length) or not (0)
//   named(propId, guid, lid, name)
//
// An object's properties are one row, not one row each: a message with its
// recipients and attachments is a handful of inserts instead of a hundred.
//
// The value file (staging path + "-values") holds the bytes of the large
// values, appended once and never changed: they are written to disk once,
// not once into the WAL and again into the database at each checkpoint.
// Values are only appended while the transaction that records them holds
// the write lock, at the end the file has at that moment, so two store
// objects on one file never write over each other. A transaction that does
// not commit (rolled back, or its process killed) leaves unreferenced bytes
// at the end, which later values simply follow; a replaced or deleted value
// leaves its bytes unreferenced too.
//
// Pages are 1 KB: every commit of a message writes each page it changed
// whole into the WAL (the ends of the object, property and index trees, the
// folder's rows, the header), and with 4 KB pages that alone was three
// times the bytes of the message. Values over 2 KB go to the value file, so
// that no overflow page is written into the WAL and copied again into the
// database at each checkpoint. For the same reason each index holds only
// the objects it is searched for (messages by folder, children by parent):
// an entry in an index never searched for it is one more page per commit.
//
// Durability: the database runs in WAL mode with synchronous=OFF. A commit
// has handed its pages to the operating system when it returns, so a process
// killed at any moment leaves every committed message for the next process,
// and the bytes of its values before them (they are written before the
// commit). Only a crash of the operating system or a power loss can lose the
// last commits, and then nothing reads this store again: the staging store
// lives in the work directory of one conversion, and a conversion that did
// not end starts again from its first document in a new work directory, so
// no folder run record (setting.txt) is ever read against a store that lost
// what the record counts as done.
#include "platform/pst/StagingStore.h"

#include <fcntl.h>
#include <lz4.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <set>

namespace pst {

namespace {

constexpr int kKindMessage = 0, kKindRecipient = 1, kKindAttachment = 2, kKindEmbedded = 3;
constexpr size_t kChunk = 1 << 20;
constexpr size_t kPackFrom = 128;  // property rows shorter than this are stored as they are
constexpr const char* kFormat = "4";  // meta 'format' of stores this code writes and reads

const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE IF NOT EXISTS folders(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,
    name BLOB NOT NULL, nameKey BLOB NOT NULL, class BLOB NOT NULL, kind INTEGER);
CREATE INDEX IF NOT EXISTS foldersByParent ON folders(parent, nameKey);
CREATE TABLE IF NOT EXISTS objects(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL,
    parent INTEGER NOT NULL, ord INTEGER NOT NULL, folder INTEGER NOT NULL, associated INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS objectsByParent ON objects(parent, kind, ord) WHERE kind>0;
CREATE INDEX IF NOT EXISTS objectsByFolder ON objects(folder) WHERE kind=0;
CREATE TABLE IF NOT EXISTS props(owner INTEGER NOT NULL, tag INTEGER NOT NULL, value BLOB,
    blob INTEGER, PRIMARY KEY(owner, tag)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS bags(owner INTEGER PRIMARY KEY, bag BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS blobs(id INTEGER PRIMARY KEY, at INTEGER NOT NULL, size INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS named(propId INTEGER PRIMARY KEY, guid BLOB NOT NULL,
    lid INTEGER, name BLOB, UNIQUE(guid, lid, name));
CREATE TABLE IF NOT EXISTS sources(key BLOB PRIMARY KEY, message INTEGER NOT NULL) WITHOUT ROWID;
)SQL";

struct CDefaultFolderDef {
    EDefaultFolder kind;
    const char16_t* name;
    const char16_t* containerClass;
};

const CDefaultFolderDef kDefaultFolders[] = {
    {EDefaultFolder::IpmSubtree, u"Top of Outlook data file", u""},
    {EDefaultFolder::DeletedItems, u"Deleted Items", u"IPF.Note"},
    {EDefaultFolder::Inbox, u"Inbox", u"IPF.Note"},
    {EDefaultFolder::Outbox, u"Outbox", u"IPF.Note"},
    {EDefaultFolder::SentItems, u"Sent Items", u"IPF.Note"},
    {EDefaultFolder::Calendar, u"Calendar", u"IPF.Appointment"},
    {EDefaultFolder::Contacts, u"Contacts", u"IPF.Contact"},
    {EDefaultFolder::Journal, u"Journal", u"IPF.Journal"},
    {EDefaultFolder::Notes, u"Notes", u"IPF.StickyNote"},
    {EDefaultFolder::Tasks, u"Tasks", u"IPF.Task"},
    {EDefaultFolder::Drafts, u"Drafts", u"IPF.Note"},
    {EDefaultFolder::JunkEmail, u"Junk E-mail", u"IPF.Note"},
};

std::u16string NameKey(std::u16string_view name) {
    std::u16string key(name);
    for (auto& c : key)
        if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    return key;
}

std::string U16Bytes(std::u16string_view s) {
    std::string out(s.size() * 2, '\0');
    for (size_t i = 0; i < s.size(); ++i) {
        out[2 * i] = char(s[i] & 0xFF);
        out[2 * i + 1] = char(s[i] >> 8);
    }
    return out;
}

std::u16string FromU16Bytes(std::string_view b) {
    std::u16string out(b.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char16_t(uint8_t(b[2 * i]) | (uint8_t(b[2 * i + 1]) << 8));
    return out;
}

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
uint32_t GetU32(std::string_view b, size_t at) {
    if (at + 4 > b.size()) throw CStagingError("staging store: truncated value");
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(b[at + i])) << (8 * i);
    return v;
}

template <class T>
std::string FixedBytes(T v) {
    std::string out(sizeof(T), '\0');
    std::memcpy(out.data(), &v, sizeof(T));
    return out;
}
template <class T>
T FromFixed(std::string_view b) {
    T v{};
    if (b.size() != sizeof(T)) throw CStagingError("staging store: bad fixed-size value");
    std::memcpy(&v, b.data(), sizeof(T));
    return v;
}

// Packs a list of byte strings as count, then length + bytes each.
std::string PackList(const std::vector<std::string>& items) {
    std::string out;
    PutU32(out, uint32_t(items.size()));
    for (const auto& i : items) {
        PutU32(out, uint32_t(i.size()));
        out += i;
    }
    return out;
}
std::vector<std::string> UnpackList(std::string_view b) {
    std::vector<std::string> items(GetU32(b, 0));
    size_t at = 4;
    for (auto& i : items) {
        uint32_t n = GetU32(b, at);
        at += 4;
        if (at + n > b.size()) throw CStagingError("staging store: truncated list");
        i.assign(b.substr(at, n));
        at += n;
    }
    return items;
}

// Encodes an in-memory value into its stored bytes.
std::string EncodeValue(const PropValue& value) {
    struct CVisitor {
        std::string operator()(int32_t v) { return FixedBytes(v); }
        std::string operator()(bool v) { return std::string(1, v ? '\1' : '\0'); }
        std::string operator()(int64_t v) { return FixedBytes(v); }
        std::string operator()(double v) { return FixedBytes(v); }
        std::string operator()(const std::u16string& v) { return U16Bytes(v); }
        std::string operator()(const Bytes& v) { return v; }
        std::string operator()(const std::vector<std::u16string>& v) {
            std::vector<std::string> items;
            for (const auto& s : v) items.push_back(U16Bytes(s));
            return PackList(items);
        }
        std::string operator()(const std::vector<Bytes>& v) { return PackList(v); }
        std::string operator()(const std::vector<int32_t>& v) {
            std::string out;
            for (auto i : v) out += FixedBytes(i);
            return out;
        }
        std::string operator()(const CFileSource&) { return {}; }
        std::string operator()(const CStoredValue&) { return {}; }
    };
    return std::visit(CVisitor{}, value);
}

PropValue DecodeValue(PropTag tag, std::string_view b) {
    switch (PropType(tag)) {
    case PT_SHORT:
    case PT_LONG:
    case PT_ERROR:
        return FromFixed<int32_t>(b);
    case PT_BOOLEAN:
        return !b.empty() && b[0] != 0;
    case PT_I8:
    case PT_SYSTIME:
    case PT_CURRENCY:
        return FromFixed<int64_t>(b);
    case PT_DOUBLE:
    case PT_APPTIME:
        return FromFixed<double>(b);
    case PT_UNICODE:
        return FromU16Bytes(b);
    case PT_MV_UNICODE: {
        std::vector<std::u16string> out;
        for (const auto& i : UnpackList(b)) out.push_back(FromU16Bytes(i));
        return out;
    }
    case PT_MV_BINARY:
        return UnpackList(b);
    case PT_MV_LONG: {
        std::vector<int32_t> out(b.size() / 4);
        std::memcpy(out.data(), b.data(), out.size() * 4);
        return out;
    }
    default:
        return Bytes(b);
    }
}

bool FitsType(uint16_t type, const PropValue& v) {
    switch (type) {
    case PT_SHORT:
    case PT_LONG:
    case PT_ERROR:
        return std::holds_alternative<int32_t>(v);
    case PT_BOOLEAN:
        return std::holds_alternative<bool>(v);
    case PT_I8:
    case PT_SYSTIME:
    case PT_CURRENCY:
        return std::holds_alternative<int64_t>(v);
    case PT_DOUBLE:
    case PT_APPTIME:
        return std::holds_alternative<double>(v);
    case PT_UNICODE:
        return std::holds_alternative<std::u16string>(v) || std::holds_alternative<CFileSource>(v) ||
               std::holds_alternative<CStoredValue>(v);
    case PT_BINARY:
    case PT_CLSID:
        return std::holds_alternative<Bytes>(v) || std::holds_alternative<CFileSource>(v) ||
               std::holds_alternative<CStoredValue>(v);
    case PT_MV_UNICODE:
        return std::holds_alternative<std::vector<std::u16string>>(v);
    case PT_MV_BINARY:
        return std::holds_alternative<std::vector<Bytes>>(v);
    case PT_MV_LONG:
        return std::holds_alternative<std::vector<int32_t>>(v);
    default:
        return false;
    }
}

// A prepared statement that resets itself for reuse.
class CStmt {
public:
    CStmt(sqlite3* db, const char* sql) : db(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw CStagingError(std::string("staging store: ") + sqlite3_errmsg(db));
    }
    ~CStmt() { sqlite3_finalize(stmt); }
    CStmt(const CStmt&) = delete;
    CStmt& operator=(const CStmt&) = delete;

    CStmt& Reset() {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return *this;
    }
    CStmt& Bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt, i, v);
        return *this;
    }
    CStmt& BindBytes(int i, std::string_view b) {
        sqlite3_bind_blob64(stmt, i, b.data(), b.size(), SQLITE_TRANSIENT);
        return *this;
    }
    CStmt& BindNull(int i) {
        sqlite3_bind_null(stmt, i);
        return *this;
    }
    // True while there is a row.
    bool Step() {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw CStagingError(std::string("staging store: ") + sqlite3_errmsg(db));
    }
    void Run() {
        Step();
        sqlite3_reset(stmt);
    }
    int64_t Int(int col) { return sqlite3_column_int64(stmt, col); }
    bool IsNull(int col) { return sqlite3_column_type(stmt, col) == SQLITE_NULL; }
    std::string Blob(int col) {
        auto p = static_cast<const char*>(sqlite3_column_blob(stmt, col));
        return std::string(p ? p : "", size_t(sqlite3_column_bytes(stmt, col)));
    }

private:
    sqlite3* db;
    sqlite3_stmt* stmt = nullptr;
};

// The append-only file of the large values (see the top of this file),
// opened (and created) on first use: a store without large values has none.
class CValueFile {
public:
    explicit CValueFile(std::filesystem::path path) : path(std::move(path)) {}
    ~CValueFile() {
        if (fd >= 0) ::close(fd);
    }
    CValueFile(const CValueFile&) = delete;
    CValueFile& operator=(const CValueFile&) = delete;

    // The offset the next value starts at; the file position moves there.
    uint64_t End() {
        off_t end = ::lseek(Fd(), 0, SEEK_END);
        if (end < 0) Fail("cannot seek in");
        return uint64_t(end);
    }
    // Writes at the file position (End() first).
    void Write(const void* data, size_t n) {
        auto p = static_cast<const char*>(data);
        while (n > 0) {
            ssize_t w = ::write(Fd(), p, n);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) Fail("cannot write");
            p += w;
            n -= size_t(w);
        }
    }
    // Copies `size` bytes of an open file descriptor to the file position.
    void WriteFrom(int source, uint64_t size) {
        std::string buf(std::min<uint64_t>(size, kChunk), '\0');
        for (uint64_t done = 0; done < size;) {
            ssize_t r = ::read(source, buf.data(), size_t(std::min<uint64_t>(buf.size(), size - done)));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) throw CStagingError("staging store: a value's file ended early");
            Write(buf.data(), size_t(r));
            done += uint64_t(r);
        }
    }
    size_t Read(uint64_t at, void* out, size_t n) {
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(Fd(), static_cast<char*>(out) + done, n - done, off_t(at + done));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) Fail("cannot read");
            if (r == 0) break;
            done += size_t(r);
        }
        return done;
    }

private:
    int Fd() {
        if (fd < 0) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) Fail("cannot open");
        return fd;
    }
    [[noreturn]] void Fail(const char* what) {
        throw CStagingError(std::string("staging store: ") + what + " " + path.string() + ": " + std::strerror(errno));
    }
    std::filesystem::path path;
    int fd = -1;
};

// An open file descriptor for reading, closed on every way out.
class CReadFd {
public:
    explicit CReadFd(const std::filesystem::path& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~CReadFd() {
        if (fd >= 0) ::close(fd);
    }
    CReadFd(const CReadFd&) = delete;
    CReadFd& operator=(const CReadFd&) = delete;
    int fd;
};

}  // namespace

// ---- CPropBag -----------------------------------------------------------------

void CPropBag::Set(PropTag tag, PropValue value) {
    if (PropType(tag) == PT_STRING8) tag = MakeTag(PropId(tag), PT_UNICODE);
    if (!FitsType(PropType(tag), value))
        throw CStagingError("property value does not fit the type of tag " + std::to_string(tag));
    Remove(PropId(tag));
    props.emplace(tag, std::move(value));
}

void CPropBag::Remove(uint16_t id) {
    auto it = props.lower_bound(PropTag(id) << 16);
    while (it != props.end() && PropId(it->first) == id) it = props.erase(it);
}

const std::pair<const PropTag, PropValue>* CPropBag::Find(uint16_t id) const {
    auto it = props.lower_bound(PropTag(id) << 16);
    if (it != props.end() && PropId(it->first) == id) return &*it;
    return nullptr;
}

namespace {
template <class T>
std::optional<T> Get(const CPropBag& bag, uint16_t id) {
    auto p = bag.Find(id);
    if (p && std::holds_alternative<T>(p->second)) return std::get<T>(p->second);
    return std::nullopt;
}
}  // namespace

std::optional<int32_t> CPropBag::GetLong(uint16_t id) const { return Get<int32_t>(*this, id); }
std::optional<bool> CPropBag::GetBool(uint16_t id) const { return Get<bool>(*this, id); }
std::optional<int64_t> CPropBag::GetI8(uint16_t id) const { return Get<int64_t>(*this, id); }
std::optional<std::u16string> CPropBag::GetString(uint16_t id) const { return Get<std::u16string>(*this, id); }
std::optional<Bytes> CPropBag::GetBinary(uint16_t id) const { return Get<Bytes>(*this, id); }

// ---- times and GUIDs ------------------------------------------------------------

namespace {
constexpr int64_t kTicksPerDay = 864000000000LL;
constexpr int64_t kOleEpochDays = 109205;  // 1601-01-01 to 1899-12-30
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
}  // namespace

int64_t OleDateToFileTime(double oleDate) {
    // Before 1899-12-30 the fraction counts forwards from a negative day.
    double days = std::trunc(oleDate);
    double frac = std::fabs(oleDate - days);
    double linear = days + frac;
    return int64_t(std::llround((linear + double(kOleEpochDays)) * double(kTicksPerDay) / 10000.0)) * 10000;
}

double FileTimeToOleDate(int64_t fileTime) {
    double linear = double(fileTime) / double(kTicksPerDay) - double(kOleEpochDays);
    if (linear >= 0) return linear;
    double day = std::floor(linear);
    double time = linear - day;
    return time == 0 ? day : day - time;
}

int64_t UnixTimeToFileTime(int64_t unixSeconds) { return unixSeconds * 10000000LL + kUnixEpochTicks; }

Guid ParseGuid(const std::string& text) {
    std::string hex;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) hex.push_back(c);
    if (hex.size() != 32) throw CStagingError("bad GUID: " + text);
    auto byteAt = [&](size_t i) { return uint8_t(std::stoi(hex.substr(2 * i, 2), nullptr, 16)); };
    Guid g{};
    // Data1 (4), Data2 (2), Data3 (2) are little-endian on disk; Data4 as is.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i) g[i] = byteAt(order[i]);
    return g;
}

const Guid PS_MAPI = ParseGuid("00020328-0000-0000-C000-000000000046");
const Guid PS_PUBLIC_STRINGS = ParseGuid("00020329-0000-0000-C000-000000000046");

// ---- the store --------------------------------------------------------------------

class CStagingStore::CImpl {
public:
    explicit CImpl(const std::filesystem::path& path) : values(std::filesystem::path(path.string() + "-values")) {
        // One store object per thread: SQLite's own locking of every call is not needed.
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
            sqlite3_close(db);
            throw CStagingError("cannot open staging store " + path.string() + ": " + msg);
        }
        sqlite3_busy_timeout(db, 30000);
        Exec("PRAGMA page_size=1024");
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=OFF");
        Exec(kSchema);
    }
    ~CImpl() {
        stmts.clear();
        sqlite3_close(db);
    }

    void Exec(const char* sql) {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            std::string msg = err ? err : "error";
            sqlite3_free(err);
            throw CStagingError("staging store: " + msg);
        }
    }

    CStmt& Stmt(const char* sql) {
        auto& s = stmts[sql];
        if (!s) s = std::make_unique<CStmt>(db, sql);
        return s->Reset();
    }

    // Ends every statement left on a row, so that no read stays open
    // across calls (it would pin an old snapshot) or blocks a commit.
    void ResetAll() {
        for (auto& [sql, stmt] : stmts) stmt->Reset();
    }

    struct CGuard {
        CImpl& impl;
        ~CGuard() { impl.ResetAll(); }
    };

    // Runs f inside one transaction; rolls back when it throws. While
    // commits are held, f runs inside a savepoint of the held transaction
    // instead, and a failure takes back f's changes only.
    template <class F>
    auto Transaction(F&& f) {
        const char* begin = holding ? "SAVEPOINT one" : "BEGIN IMMEDIATE";
        const char* end = holding ? "RELEASE one" : "COMMIT";
        Exec(begin);
        try {
            if constexpr (std::is_void_v<decltype(f())>) {
                f();
                ResetAll();
                Exec(end);
            } else {
                auto r = f();
                ResetAll();
                Exec(end);
                return r;
            }
        } catch (...) {
            ResetAll();
            sqlite3_exec(db, holding ? "ROLLBACK TO one; RELEASE one" : "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    void HoldCommits() {
        if (holding) return;
        Exec("BEGIN IMMEDIATE");
        holding = true;
    }

    void CommitHeld() {
        if (!holding) return;
        holding = false;
        ResetAll();
        try {
            Exec("COMMIT");
        } catch (...) {
            // A commit that failed may leave its transaction open: nothing of it is kept.
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    // Records a range of the value file as a new value.
    int64_t NewBlob(uint64_t at, uint64_t size) {
        Stmt("INSERT INTO blobs(at, size) VALUES(?,?)").Bind(1, int64_t(at)).Bind(2, int64_t(size)).Run();
        return sqlite3_last_insert_rowid(db);
    }

    std::pair<uint64_t, uint64_t> BlobRange(int64_t id) {
        auto& s = Stmt("SELECT at, size FROM blobs WHERE id=?");
        s.Bind(1, id);
        if (!s.Step()) throw CStagingError("staging store: no value " + std::to_string(id));
        auto range = std::make_pair(uint64_t(s.Int(0)), uint64_t(s.Int(1)));
        s.Reset();
        return range;
    }

    size_t ReadBlob(int64_t id, uint64_t offset, void* out, size_t n) {
        auto [at, size] = BlobRange(id);
        if (offset >= size) return 0;
        n = size_t(std::min<uint64_t>(n, size - offset));
        if (values.Read(at + offset, out, n) != n)
            throw CStagingError("staging store: stored value is shorter than recorded");
        return n;
    }

    int64_t BlobFromBytes(std::string_view bytes) {
        uint64_t at = values.End();
        values.Write(bytes.data(), bytes.size());
        return NewBlob(at, bytes.size());
    }

    // Streams a file into a new value.
    int64_t BlobFromFile(const std::filesystem::path& file) {
        CReadFd in(file);
        struct stat st {};
        if (in.fd < 0 || ::fstat(in.fd, &st) != 0) throw CStagingError("cannot read " + file.string());
        uint64_t size = uint64_t(st.st_size);
        if (size > 0x7FFFFFFF) throw CStagingError("value too large (over 2 GB): " + file.string());
        uint64_t at = values.End();
        values.WriteFrom(in.fd, size);
        return NewBlob(at, size);
    }

    // The bytes of a stored value never change, so a copy shares them.
    int64_t CopyBlob(const CStoredValue& v) {
        auto [at, size] = BlobRange(v.blobId);
        return NewBlob(at, size);
    }

    // Where a value is kept: a blob of the value file (its id) or inline
    // bytes (blob 0). `reusable` holds blobs of a replaced message that a
    // CStoredValue may take over instead of copying.
    std::pair<int64_t, std::string> StoredForm(PropTag tag, const PropValue& value, std::set<int64_t>* reusable) {
        if (auto f = std::get_if<CFileSource>(&value)) return {BlobFromFile(f->path), {}};
        if (auto sv = std::get_if<CStoredValue>(&value))
            return {(reusable && reusable->erase(sv->blobId)) ? sv->blobId : CopyBlob(*sv), {}};
        // A large binary value goes to the value file straight from where
        // it is held (an attachment's bytes are not copied first).
        if (auto b = std::get_if<Bytes>(&value); b && b->size() > kInlineLimit && PropType(tag) == PT_BINARY)
            return {BlobFromBytes(*b), {}};
        std::string bytes = EncodeValue(value);
        if (bytes.size() > kInlineLimit && (PropType(tag) == PT_UNICODE || PropType(tag) == PT_BINARY))
            return {BlobFromBytes(bytes), {}};
        return {0, std::move(bytes)};
    }

    // Saves one property of the store (owner 0) or a folder (-id).
    void SaveProp(int64_t owner, PropTag tag, const PropValue& value, std::set<int64_t>* reusable) {
        auto [blob, bytes] = StoredForm(tag, value, reusable);
        auto& ins = Stmt("INSERT OR REPLACE INTO props(owner, tag, value, blob) VALUES(?,?,?,?)");
        ins.Bind(1, owner).Bind(2, int64_t(tag));
        if (blob != 0)
            ins.BindNull(3).Bind(4, blob).Run();
        else
            ins.BindBytes(3, bytes).BindNull(4).Run();
    }

    // Saves an object's properties as one row (see the top of this file).
    void SaveBag(int64_t owner, const CPropBag& bag, std::set<int64_t>* reusable) {
        std::string row(1, '\0');  // the marker of a row stored as it is
        auto put = [&row](auto v) {
            for (size_t i = 0; i < sizeof v; ++i) row.push_back(char((uint64_t(v) >> (8 * i)) & 0xFF));
        };
        for (const auto& [tag, value] : bag.All()) {
            auto [blob, bytes] = StoredForm(tag, value, reusable);
            put(uint32_t(tag));
            if (blob != 0) {
                put(uint8_t(1));
                put(uint64_t(blob));
            } else {
                put(uint8_t(0));
                put(uint32_t(bytes.size()));
                row += bytes;
            }
        }
        Stmt("INSERT OR REPLACE INTO bags(owner, bag) VALUES(?,?)").Bind(1, owner).BindBytes(2, Packed(std::move(row))).Run();
    }

    // A row as stored: 0 and the row, or, when LZ4 makes it smaller, 1, the
    // row's length (4 bytes) and the compressed row. Bodies and other texts
    // are UTF-16 and shrink to a half or less. `row` comes with its marker
    // 0 in front, so a row stored as it is needs no copy.
    static std::string Packed(std::string row) {
        const size_t size = row.size() - 1;
        if (size >= kPackFrom && size <= size_t(LZ4_MAX_INPUT_SIZE)) {
            std::string packed(5 + size_t(LZ4_compressBound(int(size))), '\0');
            int n = LZ4_compress_default(row.data() + 1, packed.data() + 5, int(size), int(packed.size() - 5));
            if (n > 0 && 5 + size_t(n) < row.size()) {
                packed[0] = 1;
                for (int i = 0; i < 4; ++i) packed[1 + i] = char((size >> (8 * i)) & 0xFF);
                packed.resize(5 + size_t(n));
                return packed;
            }
        }
        return row;
    }

    static CStagingError DamagedRow(int64_t owner) {
        return CStagingError("staging store: damaged properties of object " + std::to_string(owner));
    }

    static std::string Unpacked(std::string stored, int64_t owner) {
        if (stored.empty()) throw DamagedRow(owner);
        if (stored[0] == 0) {
            stored.erase(0, 1);
            return stored;
        }
        if (stored[0] != 1 || stored.size() < 5) throw DamagedRow(owner);
        size_t size = 0;
        for (int i = 0; i < 4; ++i) size |= size_t(uint8_t(stored[1 + i])) << (8 * i);
        if (size > size_t(LZ4_MAX_INPUT_SIZE)) throw DamagedRow(owner);
        std::string row(size, '\0');
        int got = LZ4_decompress_safe(stored.data() + 5, row.data(), int(stored.size() - 5), int(size));
        if (got < 0 || size_t(got) != size) throw DamagedRow(owner);
        return row;
    }

    // The entries of an object's row: tag, and blob id or inline bytes.
    template <class F>
    void ForEachBagEntry(int64_t owner, F&& f) {
        auto& s = Stmt("SELECT bag FROM bags WHERE owner=?");
        s.Bind(1, owner);
        if (!s.Step()) return;
        const std::string row = Unpacked(s.Blob(0), owner);
        s.Reset();
        size_t at = 0;
        auto need = [&](size_t n) {
            if (row.size() - at < n) throw DamagedRow(owner);
        };
        auto get = [&](size_t n) {
            need(n);
            uint64_t v = 0;
            for (size_t i = 0; i < n; ++i) v |= uint64_t(uint8_t(row[at + i])) << (8 * i);
            at += n;
            return v;
        };
        while (at < row.size()) {
            PropTag tag = PropTag(get(4));
            if (get(1) == 1) {
                f(tag, int64_t(get(8)), std::string_view());
            } else {
                size_t n = size_t(get(4));
                need(n);
                f(tag, int64_t(0), std::string_view(row).substr(at, n));
                at += n;
            }
        }
    }

    CPropBag LoadBag(int64_t owner) {
        if (owner <= 0) return LoadPropRows(owner);
        CPropBag bag;
        std::vector<std::pair<PropTag, PropValue>> loaded;
        ForEachBagEntry(owner, [&](PropTag tag, int64_t blob, std::string_view bytes) {
            if (blob != 0)
                loaded.emplace_back(tag, CStoredValue{blob, 0});
            else
                loaded.emplace_back(tag, DecodeValue(tag, bytes));
        });
        for (auto& [tag, value] : loaded) {
            if (auto sv = std::get_if<CStoredValue>(&value)) sv->size = BlobSize(sv->blobId);
            bag.Set(tag, std::move(value));
        }
        return bag;
    }

    // The store's and the folders' properties, a row each.
    CPropBag LoadPropRows(int64_t owner) {
        CPropBag bag;
        std::vector<std::pair<PropTag, PropValue>> loaded;
        {
            auto& s = Stmt("SELECT tag, value, blob FROM props WHERE owner=? ORDER BY tag");
            s.Bind(1, owner);
            while (s.Step()) {
                PropTag tag = PropTag(s.Int(0));
                if (!s.IsNull(2))
                    loaded.emplace_back(tag, CStoredValue{s.Int(2), 0});
                else
                    loaded.emplace_back(tag, DecodeValue(tag, s.Blob(1)));
            }
        }
        for (auto& [tag, value] : loaded) {
            if (auto sv = std::get_if<CStoredValue>(&value)) sv->size = BlobSize(sv->blobId);
            bag.Set(tag, std::move(value));
        }
        return bag;
    }

    uint64_t BlobSize(int64_t id) {
        auto& s = Stmt("SELECT size FROM blobs WHERE id=?");
        s.Bind(1, id);
        return s.Step() ? uint64_t(s.Int(0)) : 0;
    }

    int64_t InsertObject(int kind, int64_t parent, int64_t ord, FolderId folder, bool associated) {
        Stmt("INSERT INTO objects(kind, parent, ord, folder, associated) VALUES(?,?,?,?,?)")
            .Bind(1, kind).Bind(2, parent).Bind(3, ord).Bind(4, folder).Bind(5, associated ? 1 : 0).Run();
        return sqlite3_last_insert_rowid(db);
    }

    // Saves recipients and attachments (recursively) below an object.
    void SaveChildren(int64_t obj, const CStagedMessage& m, std::set<int64_t>* reusable) {
        int64_t ord = 0;
        for (const auto& r : m.recipients) SaveBag(InsertObject(kKindRecipient, obj, ord++, 0, false), r, reusable);
        ord = 0;
        for (const auto& a : m.attachments) {
            int64_t aid = InsertObject(kKindAttachment, obj, ord++, 0, false);
            SaveBag(aid, a.props, reusable);
            if (a.embedded) {
                int64_t eid = InsertObject(kKindEmbedded, aid, 0, 0, false);
                SaveBag(eid, a.embedded->props, reusable);
                SaveChildren(eid, *a.embedded, reusable);
            }
        }
    }

    // The objects below obj (id and kind), recipients before attachments,
    // each in its order.
    std::vector<std::pair<int64_t, int>> ChildRows(int64_t obj) {
        std::vector<std::pair<int64_t, int>> out;
        auto& s = Stmt("SELECT id, kind FROM objects WHERE parent=? AND kind>0 ORDER BY kind, ord");
        s.Bind(1, obj);
        while (s.Step()) out.emplace_back(s.Int(0), int(s.Int(1)));
        return out;
    }

    std::vector<int64_t> Children(int64_t obj) {
        std::vector<int64_t> out;
        for (auto [id, kind] : ChildRows(obj)) out.push_back(id);
        return out;
    }

    int ObjectKind(int64_t obj) {
        auto& s = Stmt("SELECT kind FROM objects WHERE id=?");
        s.Bind(1, obj);
        if (!s.Step()) throw CStagingError("staging store: no object " + std::to_string(obj));
        return int(s.Int(0));
    }

    // Blob ids held by an object and everything below it.
    void CollectBlobs(int64_t obj, std::set<int64_t>& out) {
        ForEachBagEntry(obj, [&](PropTag, int64_t blob, std::string_view) {
            if (blob != 0) out.insert(blob);
        });
        for (int64_t c : Children(obj)) CollectBlobs(c, out);
    }

    // Removes the properties and children of an object (not the object row).
    void ClearObject(int64_t obj) {
        for (int64_t c : Children(obj)) {
            ClearObject(c);
            Stmt("DELETE FROM objects WHERE id=?").Bind(1, c).Run();
        }
        Stmt("DELETE FROM bags WHERE owner=?").Bind(1, obj).Run();
    }

    // The number of messages is kept in the meta table with every save and
    // delete, so that it is read at once while a conversion runs instead of
    // counted over millions of objects four times a second.
    void CountMessage(int delta) {
        Stmt("UPDATE meta SET value = CAST(value AS INTEGER) + ? WHERE key='messages'").Bind(1, delta).Run();
    }

    void DeleteBlobs(const std::set<int64_t>& ids) {
        for (int64_t id : ids) Stmt("DELETE FROM blobs WHERE id=?").Bind(1, id).Run();
    }

    CStagedMessage LoadObject(int64_t obj) {
        CStagedMessage m;
        m.props = LoadBag(obj);
        for (auto [id, kind] : ChildRows(obj)) {
            if (kind == kKindRecipient) {
                m.recipients.push_back(LoadBag(id));
            } else if (kind == kKindAttachment) {
                CStagedAttachment a;
                a.props = LoadBag(id);
                for (int64_t e : Children(id))
                    a.embedded = std::make_shared<CStagedMessage>(LoadObject(e));
                m.attachments.push_back(std::move(a));
            }
        }
        return m;
    }

    void CreateDefaults(const std::u16string& storeName) {
        Transaction([&] {
            Stmt("INSERT INTO meta(key, value) VALUES('format', ?)").BindBytes(1, kFormat).Run();
            Stmt("INSERT INTO meta(key, value) VALUES('messages', 0)").Run();
            SaveProp(0, MakeTag(0x3001, PT_UNICODE), storeName, nullptr);
            FolderId top = 0;
            for (const auto& d : kDefaultFolders) {
                FolderId parent = d.kind == EDefaultFolder::IpmSubtree ? 0 : top;
                FolderId id = InsertFolder(parent, d.name, d.containerClass, int(d.kind));
                if (d.kind == EDefaultFolder::IpmSubtree) top = id;
            }
        });
    }

    FolderId InsertFolder(FolderId parent, std::u16string_view name, std::u16string_view cls, int kind) {
        auto& s = Stmt("INSERT INTO folders(parent, name, nameKey, class, kind) VALUES(?,?,?,?,?)");
        s.Bind(1, parent).BindBytes(2, U16Bytes(name)).BindBytes(3, U16Bytes(NameKey(name))).BindBytes(4, U16Bytes(cls));
        if (kind >= 0)
            s.Bind(5, kind);
        else
            s.BindNull(5);
        s.Run();
        return sqlite3_last_insert_rowid(db);
    }

    std::optional<FolderId> FindChild(FolderId parent, std::u16string_view name) {
        auto& s = Stmt("SELECT id FROM folders WHERE parent=? AND nameKey=?");
        s.Bind(1, parent).BindBytes(2, U16Bytes(NameKey(name)));
        if (s.Step()) return s.Int(0);
        return std::nullopt;
    }

    void RequireFolder(FolderId id) {
        auto& s = Stmt("SELECT 1 FROM folders WHERE id=?");
        s.Bind(1, id);
        if (!s.Step()) throw CStagingError("staging store: no folder " + std::to_string(id));
    }

    // The message saved earlier from the same source, if it is still there.
    std::optional<int64_t> MessageOfSource(const std::string& key) {
        if (key.empty()) return std::nullopt;
        auto& q = Stmt("SELECT s.message FROM sources s JOIN objects o ON o.id = s.message AND o.kind = 0 "
                       "WHERE s.key=?");
        q.BindBytes(1, key);
        if (!q.Step()) return std::nullopt;
        return q.Int(0);
    }

    // Replaces the content of a saved message; call inside a transaction.
    void OverwriteMessage(int64_t id, const CStagedMessage& message) {
        std::set<int64_t> old;
        CollectBlobs(id, old);
        ClearObject(id);
        Stmt("UPDATE objects SET associated=? WHERE id=?").Bind(1, message.associated ? 1 : 0).Bind(2, id).Run();
        SaveBag(id, message.props, &old);
        SaveChildren(id, message, &old);
        DeleteBlobs(old);
    }

    uint16_t NamedId(const Guid& guid, std::optional<uint32_t> lid, const std::u16string& name) {
        std::string g(reinterpret_cast<const char*>(guid.data()), guid.size());
        auto& q = Stmt(lid ? "SELECT propId FROM named WHERE guid=? AND lid=?"
                           : "SELECT propId FROM named WHERE guid=? AND lid IS NULL AND name=?");
        q.BindBytes(1, g);
        if (lid)
            q.Bind(2, *lid);
        else
            q.BindBytes(2, U16Bytes(name));
        if (q.Step()) return uint16_t(q.Int(0));
        return Transaction([&] {
            auto& m = Stmt("SELECT coalesce(max(propId), 32767) FROM named");
            m.Step();
            int64_t id = m.Int(0) + 1;
            if (id > 0xFFFE) throw CStagingError("staging store: too many named properties");
            auto& ins = Stmt("INSERT INTO named(propId, guid, lid, name) VALUES(?,?,?,?)");
            ins.Bind(1, id).BindBytes(2, g);
            if (lid)
                ins.Bind(3, *lid).BindNull(4);
            else
                ins.BindNull(3).BindBytes(4, U16Bytes(name));
            ins.Run();
            return uint16_t(id);
        });
    }

    CValueFile values;
    sqlite3* db = nullptr;
    std::map<const char*, std::unique_ptr<CStmt>> stmts;
    bool holding = false;  // a transaction is open for the held commits
};

uint64_t CStagingStore::CountMessages(const std::filesystem::path& path) {
    sqlite3* db = nullptr;
    uint64_t count = 0;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 200);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT CAST(value AS INTEGER) FROM meta WHERE key='messages'", -1, &stmt,
                               nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            count = static_cast<uint64_t>(sqlite3_column_int64(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

std::filesystem::path CStagingStore::PathForPst(const std::filesystem::path& pstPath) {
    return std::filesystem::path(pstPath.string() + ".staging");
}

CStagingStore::CStagingStore(std::filesystem::path p) : path(std::move(p)) {}
CStagingStore::~CStagingStore() = default;

std::unique_ptr<CStagingStore> CStagingStore::Open(const std::filesystem::path& path, const std::u16string& storeName) {
    std::unique_ptr<CStagingStore> s(new CStagingStore(path));
    s->impl = std::make_unique<CImpl>(path);
    auto& q = s->impl->Stmt("SELECT value FROM meta WHERE key='format'");
    bool fresh = !q.Step();
    std::string format = fresh ? std::string() : q.Blob(0);
    q.Reset();
    if (fresh) s->impl->CreateDefaults(storeName);
    else if (format != kFormat) throw CStagingError("staging store " + path.string() + " is of another format (" + format + ")");
    return s;
}

std::unique_ptr<CStagingStore> CStagingStore::OpenExisting(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw CStagingError("no staging store at " + path.string());
    auto s = Open(path);
    return s;
}

CStagingStore::CReading::CReading(CStagingStore& reading) : store(reading) { store.impl->Exec("BEGIN"); }

CStagingStore::CReading::~CReading() {
    store.impl->ResetAll();
    sqlite3_exec(store.impl->db, "COMMIT", nullptr, nullptr, nullptr);
}

CPropBag CStagingStore::StoreProperties() {
    CImpl::CGuard guard{*impl};
    return impl->LoadBag(0);
}

void CStagingStore::SetStoreProperty(PropTag tag, const PropValue& value) {
    CImpl::CGuard guard{*impl};
    CPropBag check;
    check.Set(tag, value);
    impl->Transaction([&] {
        impl->Stmt("DELETE FROM props WHERE owner=0 AND (tag>>16)=?").Bind(1, PropId(tag)).Run();
        impl->SaveProp(0, check.All().begin()->first, value, nullptr);
    });
}

FolderId CStagingStore::DefaultFolder(EDefaultFolder kind) {
    CImpl::CGuard guard{*impl};
    auto& s = impl->Stmt("SELECT id FROM folders WHERE kind=? ORDER BY id LIMIT 1");
    s.Bind(1, int(kind));
    if (!s.Step()) throw CStagingError("staging store: default folder missing");
    return s.Int(0);
}

FolderId CStagingStore::CreateFolder(FolderId parent, const std::u16string& name, const std::u16string& containerClass) {
    CImpl::CGuard guard{*impl};
    if (name.empty()) throw CStagingError("staging store: a folder needs a name");
    return impl->Transaction([&] {
        impl->RequireFolder(parent);
        if (auto existing = impl->FindChild(parent, name)) return *existing;
        return impl->InsertFolder(parent, name, containerClass, -1);
    });
}

std::optional<FolderId> CStagingStore::FindChildFolder(FolderId parent, const std::u16string& name) {
    CImpl::CGuard guard{*impl};
    return impl->FindChild(parent, name);
}

std::vector<FolderId> CStagingStore::ChildFolders(FolderId parent) {
    CImpl::CGuard guard{*impl};
    std::vector<FolderId> out;
    auto& s = impl->Stmt("SELECT id FROM folders WHERE parent=? ORDER BY id");
    s.Bind(1, parent);
    while (s.Step()) out.push_back(s.Int(0));
    return out;
}

CFolderInfo CStagingStore::Folder(FolderId id) {
    CImpl::CGuard guard{*impl};
    CFolderInfo info;
    {
        auto& s = impl->Stmt("SELECT parent, name, class, kind FROM folders WHERE id=?");
        s.Bind(1, id);
        if (!s.Step()) throw CStagingError("staging store: no folder " + std::to_string(id));
        info.id = id;
        info.parent = s.Int(0);
        info.name = FromU16Bytes(s.Blob(1));
        info.containerClass = FromU16Bytes(s.Blob(2));
        if (!s.IsNull(3)) info.kind = EDefaultFolder(s.Int(3));
    }
    info.props = impl->LoadBag(-id);
    return info;
}

void CStagingStore::SetFolderProperty(FolderId id, PropTag tag, const PropValue& value) {
    CImpl::CGuard guard{*impl};
    CPropBag check;
    check.Set(tag, value);
    impl->Transaction([&] {
        impl->RequireFolder(id);
        impl->Stmt("DELETE FROM props WHERE owner=? AND (tag>>16)=?").Bind(1, -id).Bind(2, PropId(tag)).Run();
        impl->SaveProp(-id, check.All().begin()->first, value, nullptr);
    });
}

void CStagingStore::SetContainerClass(FolderId id, const std::u16string& containerClass) {
    CImpl::CGuard guard{*impl};
    impl->Transaction([&] {
        impl->RequireFolder(id);
        impl->Stmt("UPDATE folders SET class=? WHERE id=?").BindBytes(1, U16Bytes(containerClass)).Bind(2, id).Run();
    });
}

MessageId CStagingStore::SaveMessage(FolderId folder, const CStagedMessage& message, bool* replaced) {
    CImpl::CGuard guard{*impl};
    if (replaced) *replaced = false;
    return impl->Transaction([&] {
        impl->RequireFolder(folder);
        if (auto saved = impl->MessageOfSource(message.sourceKey)) {
            if (replaced) *replaced = true;
            impl->OverwriteMessage(*saved, message);
            impl->Stmt("UPDATE objects SET folder=? WHERE id=?").Bind(1, folder).Bind(2, *saved).Run();
            return *saved;
        }
        int64_t id = impl->InsertObject(kKindMessage, 0, 0, folder, message.associated);
        impl->CountMessage(+1);
        impl->SaveBag(id, message.props, nullptr);
        impl->SaveChildren(id, message, nullptr);
        if (!message.sourceKey.empty())
            impl->Stmt("INSERT OR REPLACE INTO sources(key, message) VALUES(?,?)")
                .BindBytes(1, message.sourceKey)
                .Bind(2, id)
                .Run();
        return id;
    });
}

void CStagingStore::HoldCommits() { impl->HoldCommits(); }

void CStagingStore::CommitHeld() { impl->CommitHeld(); }

bool CStagingStore::CommitsHeld() const { return impl->holding; }

void CStagingStore::ReplaceMessage(MessageId id, const CStagedMessage& message) {
    CImpl::CGuard guard{*impl};
    impl->Transaction([&] {
        if (impl->ObjectKind(id) != kKindMessage) throw CStagingError("staging store: not a message");
        impl->OverwriteMessage(id, message);
    });
}

void CStagingStore::DeleteMessage(MessageId id) {
    CImpl::CGuard guard{*impl};
    impl->Transaction([&] {
        if (impl->ObjectKind(id) != kKindMessage) throw CStagingError("staging store: not a message");
        std::set<int64_t> old;
        impl->CollectBlobs(id, old);
        impl->ClearObject(id);
        impl->Stmt("DELETE FROM objects WHERE id=?").Bind(1, id).Run();
        impl->CountMessage(-1);
        impl->Stmt("DELETE FROM sources WHERE message=?").Bind(1, id).Run();
        impl->DeleteBlobs(old);
    });
}

void CStagingStore::MoveMessage(MessageId id, FolderId folder) {
    CImpl::CGuard guard{*impl};
    impl->Transaction([&] {
        impl->RequireFolder(folder);
        if (impl->ObjectKind(id) != kKindMessage) throw CStagingError("staging store: not a message");
        impl->Stmt("UPDATE objects SET folder=? WHERE id=?").Bind(1, folder).Bind(2, id).Run();
    });
}

std::vector<MessageId> CStagingStore::Messages(FolderId folder) {
    CImpl::CGuard guard{*impl};
    std::vector<MessageId> out;
    auto& s = impl->Stmt("SELECT id FROM objects WHERE folder=? AND kind=0 ORDER BY id");
    s.Bind(1, folder);
    while (s.Step()) out.push_back(s.Int(0));
    return out;
}

uint64_t CStagingStore::MessageCount(FolderId folder) {
    CImpl::CGuard guard{*impl};
    auto& s = impl->Stmt("SELECT count(*) FROM objects WHERE folder=? AND kind=0");
    s.Bind(1, folder);
    s.Step();
    return uint64_t(s.Int(0));
}

CStagedMessage CStagingStore::LoadMessage(MessageId id) {
    CImpl::CGuard guard{*impl};
    bool associated = false;
    {
        auto& s = impl->Stmt("SELECT associated FROM objects WHERE id=? AND kind=0");
        s.Bind(1, id);
        if (!s.Step()) throw CStagingError("staging store: no message " + std::to_string(id));
        associated = s.Int(0) != 0;
    }
    CStagedMessage m = impl->LoadObject(id);
    m.associated = associated;
    return m;
}

FolderId CStagingStore::FolderOfMessage(MessageId id) {
    CImpl::CGuard guard{*impl};
    auto& s = impl->Stmt("SELECT folder FROM objects WHERE id=? AND kind=0");
    s.Bind(1, id);
    if (!s.Step()) throw CStagingError("staging store: no message " + std::to_string(id));
    return s.Int(0);
}

size_t CStagingStore::ReadValue(const CStoredValue& value, uint64_t offset, void* out, size_t length) {
    CImpl::CGuard guard{*impl};
    return impl->ReadBlob(value.blobId, offset, out, length);
}

uint16_t CStagingStore::NamedPropertyId(const Guid& guid, uint32_t lid) {
    CImpl::CGuard guard{*impl};
    return impl->NamedId(guid, lid, {});
}

uint16_t CStagingStore::NamedPropertyId(const Guid& guid, const std::u16string& name) {
    CImpl::CGuard guard{*impl};
    if (name.empty()) throw CStagingError("staging store: empty property name");
    return impl->NamedId(guid, std::nullopt, name);
}

std::vector<CNamedProp> CStagingStore::NamedProperties() {
    CImpl::CGuard guard{*impl};
    std::vector<CNamedProp> out;
    auto& s = impl->Stmt("SELECT propId, guid, lid, name FROM named ORDER BY propId");
    while (s.Step()) {
        CNamedProp p;
        p.propId = uint16_t(s.Int(0));
        std::string g = s.Blob(1);
        std::memcpy(p.guid.data(), g.data(), std::min<size_t>(16, g.size()));
        if (!s.IsNull(2))
            p.lid = uint32_t(s.Int(2));
        else
            p.name = FromU16Bytes(s.Blob(3));
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace pst

// The messaging layer of the PST writer: the message store, the name-to-ID
// map, the root folder with the IPM subtree, search root and spam search
// folder, the template tables and search-management nodes every new file
// has, then the folders of the staging store with their hierarchy, contents
// and associated-contents tables, and the messages with their recipient and
// attachment tables and attachment objects.
#include "platform/pst/PstWriter.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <optional>
#include <random>

#include "platform/pst/Ltp.h"
#include "platform/pst/Ndb.h"
#include "platform/pst/StagingStore.h"

namespace pst {

namespace {

using ltp::CEncoded;
using ltp::CNodeBuilder;
using ltp::CStreamedValue;
using ndb::MakeNid;
using Props = std::map<uint32_t, CEncoded>;

constexpr uint32_t kNidMessageStore = 0x21;
constexpr uint32_t kNidNameToIdMap = 0x61;
constexpr uint32_t kNidRootFolder = 0x122;
constexpr uint32_t kNidIpmSubtree = 0x8022;
constexpr uint32_t kNidSearchRoot = 0x8042;
constexpr uint32_t kNidDeletedItems = 0x8062;
constexpr uint32_t kNidSpamSearch = 0x2223;
constexpr size_t kChunk = 1 << 20;
constexpr size_t kMaxColumns = 240;

// Column sets of the template tables.
const std::vector<uint32_t> kHierarchyColumns = {0x0E300102, 0x0E330014, 0x0E340102, 0x0E380003, 0x3001001F,
                                                 0x36020003, 0x36030003, 0x360A000B, 0x3613001F, 0x66350003,
                                                 0x66360003};
const std::vector<uint32_t> kContentsColumns = {
    0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x00390040, 0x0042001F, 0x0057000B, 0x0058000B, 0x0070001F,
    0x00710102, 0x0E03001F, 0x0E04001F, 0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003, 0x0E300102, 0x0E330014,
    0x0E340102, 0x0E380003, 0x0E3C0102, 0x0E3D0102, 0x10970003, 0x30080040, 0x30130102, 0x65C60003};
const std::vector<uint32_t> kAssocColumns = {0x001A001F, 0x0E070003, 0x0E170003, 0x3001001F, 0x6800001F,
                                             0x6803000B, 0x68051003, 0x682F001F, 0x70030003, 0x70040102,
                                             0x70050102, 0x7006001F, 0x70070003};
const std::vector<uint32_t> kSearchColumns = {0x00170003, 0x001A001F, 0x00360003, 0x0037001F, 0x0042001F,
                                              0x0057000B, 0x0058000B, 0x0E03001F, 0x0E04001F, 0x0E05001F,
                                              0x0E060040, 0x0E070003, 0x0E080003, 0x0E170003, 0x0E2A000B,
                                              0x30080040, 0x67F10003};
const std::vector<uint32_t> kRecipientColumns = {0x0C150003, 0x0E0F000B, 0x0FF90102, 0x0FFE0003, 0x0FFF0102,
                                                 0x3001001F, 0x3002001F, 0x3003001F, 0x300B0102, 0x39000003,
                                                 0x39FF001F, 0x3A40000B, 0x30000003};
const std::vector<uint32_t> kAttachmentColumns = {0x0E200003, 0x3704001F, 0x37050003, 0x370B0003};
// A message's own tables carry more columns than the templates, as Outlook
// writes them: the recipient's display name and entry ID as the recipient
// table knows them, the attachment's long name and whether it is hidden.
constexpr uint32_t kRecipientDisplayName = 0x5FF6001F;
constexpr uint32_t kRecipientEntryId = 0x5FF70102;
constexpr uint32_t kAttachmentHidden = 0x7FFE000B;

// ---- value encoding ------------------------------------------------------------------

template <class T>
std::string Le(T v) {
    std::string s(sizeof(T), '\0');
    for (size_t i = 0; i < sizeof(T); ++i) s[i] = char((uint64_t(v) >> (8 * i)) & 0xFF);
    return s;
}

std::string Utf16Le(std::u16string_view s) {
    std::string out(s.size() * 2, '\0');
    for (size_t i = 0; i < s.size(); ++i) {
        out[2 * i] = char(s[i] & 0xFF);
        out[2 * i + 1] = char(s[i] >> 8);
    }
    return out;
}

// Variable-size multiple values: count, offsets from the start, then data.
std::string EncodeMulti(const std::vector<std::string>& items) {
    std::string out = Le<uint32_t>(uint32_t(items.size()));
    uint32_t offset = uint32_t(4 + 4 * items.size());
    for (const auto& i : items) {
        out += Le<uint32_t>(offset);
        offset += uint32_t(i.size());
    }
    for (const auto& i : items) out += i;
    return out;
}

CEncoded Encode(CStagingStore& store, PropTag tag, const PropValue& value) {
    if (auto v = std::get_if<int32_t>(&value)) {
        return PropType(tag) == PT_SHORT ? Le<int16_t>(int16_t(*v)) : Le<int32_t>(*v);
    }
    if (auto v = std::get_if<bool>(&value)) return std::string(1, *v ? '\1' : '\0');
    if (auto v = std::get_if<int64_t>(&value)) return Le<int64_t>(*v);
    if (auto v = std::get_if<double>(&value)) {
        uint64_t bits;
        std::memcpy(&bits, v, 8);
        return Le<uint64_t>(bits);
    }
    if (auto v = std::get_if<std::u16string>(&value)) return Utf16Le(*v);
    if (auto v = std::get_if<Bytes>(&value)) return *v;
    if (auto v = std::get_if<std::vector<std::u16string>>(&value)) {
        std::vector<std::string> items;
        for (const auto& s : *v) items.push_back(Utf16Le(s));
        return EncodeMulti(items);
    }
    if (auto v = std::get_if<std::vector<Bytes>>(&value)) return EncodeMulti(*v);
    if (auto v = std::get_if<std::vector<int32_t>>(&value)) {
        std::string out;
        for (int32_t i : *v) out += Le<int32_t>(i);
        return out;
    }
    if (auto v = std::get_if<CStoredValue>(&value)) {
        CStoredValue stored = *v;
        CStagingStore* s = &store;
        return CStreamedValue{stored.size, [s, stored](const std::function<void(std::string_view)>& sink) {
                                  // No bigger than the value: most are a few KB.
                                  std::string buf(size_t(std::min<uint64_t>(kChunk, stored.size)), '\0');
                                  for (uint64_t done = 0; done < stored.size;) {
                                      size_t n = s->ReadValue(stored, done, buf.data(), buf.size());
                                      if (n == 0) throw CStagingError("staging store: value shorter than recorded");
                                      sink(std::string_view(buf.data(), n));
                                      done += n;
                                  }
                              }};
    }
    const auto& file = std::get<CFileSource>(value);
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(file.path, ec);
    if (ec) throw CStagingError("cannot read " + file.path.string());
    auto path = file.path;
    return CStreamedValue{size, [path, size](const std::function<void(std::string_view)>& sink) {
                              std::ifstream in(path, std::ios::binary);
                              std::string buf(size_t(std::min<uint64_t>(kChunk, size)), '\0');
                              for (uint64_t done = 0; done < size;) {
                                  size_t n = size_t(std::min<uint64_t>(kChunk, size - done));
                                  if (!in.read(buf.data(), std::streamsize(n)))
                                      throw CStagingError("cannot read " + path.string());
                                  sink(std::string_view(buf.data(), n));
                                  done += n;
                              }
                          }};
}

Props EncodeBag(CStagingStore& store, const CPropBag& bag) {
    Props out;
    for (const auto& [tag, value] : bag.All()) out[tag] = Encode(store, tag, value);
    return out;
}

void SetIfAbsent(Props& props, uint32_t tag, CEncoded value) {
    uint16_t id = uint16_t(tag >> 16);
    auto it = props.lower_bound(uint32_t(id) << 16);
    if (it != props.end() && (it->first >> 16) == id) return;
    props[tag] = std::move(value);
}

std::optional<std::string> SmallValue(const Props& props, uint16_t id) {
    auto it = props.lower_bound(uint32_t(id) << 16);
    if (it == props.end() || (it->first >> 16) != id) return std::nullopt;
    if (auto s = std::get_if<std::string>(&it->second)) return *s;
    return std::nullopt;
}

int64_t NowFileTime() {
    using namespace std::chrono;
    return UnixTimeToFileTime(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

// ---- sizes -------------------------------------------------------------------------------

// The bytes of a value as the PST holds it.
uint64_t ValueBytes(const PropValue& value) {
    if (auto v = std::get_if<std::u16string>(&value)) return 2 * v->size();
    if (auto v = std::get_if<Bytes>(&value)) return v->size();
    if (auto v = std::get_if<CStoredValue>(&value)) return v->size;
    if (auto v = std::get_if<CFileSource>(&value)) {
        std::error_code ec;
        uint64_t size = std::filesystem::file_size(v->path, ec);
        return ec ? 0 : size;
    }
    if (auto v = std::get_if<std::vector<std::u16string>>(&value)) {
        uint64_t n = 4 + 4 * v->size();
        for (const auto& i : *v) n += 2 * i.size();
        return n;
    }
    if (auto v = std::get_if<std::vector<Bytes>>(&value)) {
        uint64_t n = 4 + 4 * v->size();
        for (const auto& i : *v) n += i.size();
        return n;
    }
    if (auto v = std::get_if<std::vector<int32_t>>(&value)) return 4 * v->size();
    return 8;
}

// An upper bound of what a value costs in a property context: its bytes,
// its record and, for a value over one heap allocation, the blocks, XBLOCK
// and subnode entry of its data tree.
uint64_t ValueBound(uint64_t bytes) {
    uint64_t cost = bytes + 16;
    if (bytes > ltp::kMaxAlloc) cost += (bytes / ndb::kMaxBlockData + 2) * (16 + 63 + 8) + 2 * 128;
    return cost;
}

uint64_t BagBound(const CPropBag& bag) {
    uint64_t n = 0;
    for (const auto& [tag, value] : bag.All()) n += ValueBound(ValueBytes(value));
    return n;
}

// The bytes of a message's values: what writing it adds at the least.
uint64_t LeastBytes(const CStagedMessage& msg) {
    uint64_t n = 0;
    for (const auto& [tag, value] : msg.props.All()) n += ValueBytes(value);
    for (const auto& a : msg.attachments) {
        for (const auto& [tag, value] : a.props.All()) n += ValueBytes(value);
        if (a.embedded) n += LeastBytes(*a.embedded);
    }
    return n;
}

// An upper bound of what a contents-table row adds to its table.
uint64_t RowBound(const Props& row) {
    uint64_t n = 256;
    for (const auto& [tag, value] : row) n += ValueBound(ltp::EncodedSize(value)) + 8;
    return n;
}

// What a folder that is still to be written takes at the most, besides its
// messages: its property context and its three tables, without the rows of
// its hierarchy table (RowReserve).
uint64_t FolderReserve(const CFolderInfo& info) {
    return 4096 + 2 * BagBound(info.props) + 4 * (info.name.size() + info.containerClass.size());
}
uint64_t RowReserve(const CFolderInfo& info) { return 256 + 4 * (info.name.size() + info.containerClass.size()); }
// The root folder with its tables, written last.
constexpr uint64_t kRootReserve = 8192;

// ---- the writer -------------------------------------------------------------------------

// Which items a part takes: those from `firstItem` on (in the order the
// writer walks the folders) while they fit.
struct CPartPlan {
    uint64_t firstItem = 0;
    int number = 1;
    uint64_t writtenBefore = 0;  // items in the parts before, for progress
};

struct CPartResult {
    CWriteStats stats;
    bool oversized = false;
    std::optional<uint64_t> nextItem;  // the first item left for the next part
};

struct CFolderSummary {
    uint32_t nid = 0;
    std::u16string name;
    std::u16string containerClass;
    uint32_t contentCount = 0;
    uint32_t unreadCount = 0;
    bool hasSubfolders = false;
};

class CWriter {
public:
    CWriter(CStagingStore& store, const std::filesystem::path& path, const CWriteOptions& options,
            const CPartPlan& plan)
        : store(store), file(path), options(options), plan(plan) {
        rgnid.fill(0x400);
        rgnid[ndb::NID_TYPE_SEARCH_FOLDER] = 0x4000;
        rgnid[ndb::NID_TYPE_NORMAL_MESSAGE] = 0x10000;
        rgnid[ndb::NID_TYPE_ASSOC_MESSAGE] = 0x8000;
        folderIndex = 0x403;  // 0x401..0x403: IPM subtree, search root, Deleted Items
        std::random_device rd;
        for (auto& b : recordKey) b = char(rd() & 0xFF);
    }

    CPartResult Run() {
        AssignFolderNids(store.DefaultFolder(EDefaultFolder::IpmSubtree));
        for (FolderId f : allFolders) totalMessages += store.MessageCount(f);
        WriteMessageStore();
        WriteNameToIdMap();
        WriteFixedNodes();
        CFolderSummary top = WriteFolder(store.DefaultFolder(EDefaultFolder::IpmSubtree), kNidRootFolder);
        WriteRootFolder(top);
        rgnid[ndb::NID_TYPE_NORMAL_FOLDER] = folderIndex;
        for (uint32_t t : {0x0Du, 0x0Eu, 0x0Fu}) rgnid[t] = folderIndex;
        rgnid[ndb::NID_TYPE_NORMAL_MESSAGE] = messageIndex;
        rgnid[ndb::NID_TYPE_ASSOC_MESSAGE] = assocIndex;
        rgnid[ndb::NID_TYPE_LTP] = std::max<uint32_t>(0x400, subnodeIndex);
        rgnid[ndb::NID_TYPE_ATTACHMENT] = std::max<uint32_t>(0x400, subnodeIndex);
        if (itemsInPart == 0 && options.splitSize && file.SizeAfterFinish(0, 0, 0) > options.splitSize)
            throw std::runtime_error("the split size " + std::to_string(options.splitSize) +
                                     " is smaller than a PST with this folder tree and no items");
        file.Finish(rgnid);
        stats.fileBytes = file.FileSize();
        return {stats, oversized, nextItem};
    }

private:
    std::string EntryId(uint32_t nid) const {
        return std::string(4, '\0') + std::string(recordKey, 16) + Le<uint32_t>(nid);
    }

    uint32_t FolderNid(EDefaultFolder kind) { return folderNids.at(store.DefaultFolder(kind)); }

    void AssignFolderNids(FolderId top) {
        std::vector<FolderId> queue{top};
        FolderId deleted = store.DefaultFolder(EDefaultFolder::DeletedItems);
        for (size_t i = 0; i < queue.size(); ++i) {
            FolderId f = queue[i];
            allFolders.push_back(f);
            CFolderInfo info = store.Folder(f);
            folderReserves[f] += FolderReserve(info);
            if (f != top) folderReserves[info.parent] += RowReserve(info);
            if (f == top)
                folderNids[f] = kNidIpmSubtree;
            else if (f == deleted)
                folderNids[f] = kNidDeletedItems;
            else
                folderNids[f] = MakeNid(ndb::NID_TYPE_NORMAL_FOLDER, ++folderIndex);
            for (FolderId c : store.ChildFolders(f)) queue.push_back(c);
        }
        for (const auto& [f, bytes] : folderReserves) unfinishedReserve += bytes;
    }

    // A node with a property context and no parent folder link beyond nidParent.
    void WritePcNode(uint32_t nid, const Props& props, uint32_t parent) {
        CNodeBuilder node(file, subnodeIndex);
        uint64_t bid = ltp::WritePropertyContext(node, props);
        file.AddNode(nid, bid, node.FinishSubnodes(), parent);
    }

    void WriteTableNode(uint32_t nid, const std::vector<uint32_t>& columns,
                        const std::vector<std::pair<uint32_t, Props>>& rows = {}) {
        CNodeBuilder node(file, subnodeIndex);
        ltp::CTableBuilder table(node, columns);
        for (const auto& [id, cells] : rows) table.AddRow(id, cells);
        FinishTableNode(nid, table, node);
    }

    void FinishTableNode(uint32_t nid, ltp::CTableBuilder& table, CNodeBuilder& node) {
        uint64_t bid = table.Write();
        file.AddNode(nid, bid, node.FinishSubnodes(), 0);
    }

    void WriteMessageStore() {
        Props p = EncodeBag(store, store.StoreProperties());
        p[0x0FF90102] = std::string(recordKey, 16);
        SetIfAbsent(p, 0x3001001F, Utf16Le(u"Personal Folders"));
        // Every part is a store of its own: readers list them side by side.
        if (auto name = std::get_if<std::string>(&p[0x3001001F]); name && plan.number > 1) {
            std::string suffix = " (" + std::to_string(plan.number) + ")";
            *name += Utf16Le(std::u16string(suffix.begin(), suffix.end()));
        }
        p[0x35DF0003] = Le<uint32_t>(0x9F);  // subtree, inbox, outbox, wastebasket, sent mail, finder
        p[0x35E00102] = EntryId(kNidIpmSubtree);
        p[0x35E20102] = EntryId(FolderNid(EDefaultFolder::Outbox));
        p[0x35E30102] = EntryId(kNidDeletedItems);
        p[0x35E40102] = EntryId(FolderNid(EDefaultFolder::SentItems));
        p[0x35E70102] = EntryId(kNidSearchRoot);
        p[0x67FF0003] = Le<uint32_t>(0);
        WritePcNode(kNidMessageStore, p, 0);
    }

    void WriteNameToIdMap() {
        Props p;
        p[0x00010003] = Le<uint32_t>(251);
        std::string guids, entries, strings;
        std::vector<Guid> guidList;
        std::map<uint32_t, std::string> buckets;
        auto named = store.NamedProperties();
        if (named.empty()) {
            // Readers expect a map with entries; register one common name
            // (PidLidReminderSet) as a new store would.
            named.push_back({ParseGuid("00062008-0000-0000-C000-000000000046"), 0x8503, u"", 0x8000});
        }
        if (std::none_of(named.begin(), named.end(), [](const CNamedProp& n) { return !n.lid; })) {
            // Readers refuse an empty string stream too: register the
            // categories' name (PidNameKeywords), which a new store has.
            named.push_back({PS_PUBLIC_STRINGS, std::nullopt, u"Keywords", uint16_t(named.back().propId + 1)});
        }
        for (const auto& n : named) {
            uint16_t wGuid;
            if (n.guid == PS_MAPI) {
                wGuid = 1;
            } else if (n.guid == PS_PUBLIC_STRINGS) {
                wGuid = 2;
            } else {
                auto it = std::find(guidList.begin(), guidList.end(), n.guid);
                if (it == guidList.end()) {
                    guidList.push_back(n.guid);
                    guids.append(reinterpret_cast<const char*>(n.guid.data()), 16);
                    it = guidList.end() - 1;
                }
                wGuid = uint16_t(3 + (it - guidList.begin()));
            }
            uint16_t guidField = uint16_t((wGuid << 1) | (n.lid ? 0 : 1));
            uint32_t id, hash;
            if (n.lid) {
                id = hash = *n.lid;
            } else {
                while (strings.size() % 4) strings.push_back('\0');
                id = uint32_t(strings.size());
                std::string name = Utf16Le(n.name);
                strings += Le<uint32_t>(uint32_t(name.size())) + name;
                hash = ndb::Crc32(name.data(), name.size());
            }
            uint16_t propIdx = uint16_t(n.propId - 0x8000);
            entries += Le<uint32_t>(id) + Le<uint16_t>(guidField) + Le<uint16_t>(propIdx);
            buckets[(hash ^ guidField) % 251] += Le<uint32_t>(hash) + Le<uint16_t>(guidField) + Le<uint16_t>(propIdx);
        }
        if (guids.empty()) {
            // Readers refuse an empty GUID stream: list the common property set.
            Guid common = ParseGuid("00062008-0000-0000-C000-000000000046");
            guids.append(reinterpret_cast<const char*>(common.data()), 16);
        }
        p[0x00020102] = guids;
        p[0x00030102] = entries;
        p[0x00040102] = strings;
        for (const auto& [b, records] : buckets) p[((0x1000 + b) << 16) | 0x0102] = records;
        WritePcNode(kNidNameToIdMap, p, 0);
    }

    void WriteRawNode(uint32_t nid, const std::string& data) {
        file.AddNode(nid, data.empty() ? 0 : file.WriteDataBlock(data), 0, 0);
    }

    static std::string Hex(const char* hex) {
        std::string out;
        for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) out.push_back(char(std::stoi(std::string(hex + i, 2), nullptr, 16)));
        return out;
    }

    void WriteFixedNodes() {
        // Search management: queue, activity list, domain, gatherer queue,
        // descriptor and folder queue.
        WriteRawNode(0x1E1, "");
        WriteRawNode(0x201, Le<uint32_t>(kNidSpamSearch));
        WriteRawNode(0x261, "");
        WriteRawNode(0x281, "");
        WriteRawNode(0x2A1, std::string(16, '\0') + Hex("01000000000000000100000001000000") + std::string(56, '\0'));
        WriteRawNode(0x321, "");
        WriteRawNode(0xC01, Hex("1800ec9c200000000000000040000000b510040000000000020000000c0010001800"));
        WriteRawNode(0xE41, "");
        // Template tables.
        WriteTableNode(0x60D, kHierarchyColumns);
        WriteTableNode(0x60E, kContentsColumns);
        WriteTableNode(0x60F, kAssocColumns);
        WriteTableNode(0x610, kSearchColumns);
        Props receive;
        receive[0x001A001F] = std::string();
        receive[0x66050003] = Le<uint32_t>(FolderNid(EDefaultFolder::Inbox));
        Props receiveIpm = receive;
        receiveIpm[0x001A001F] = Utf16Le(u"IPM");
        Props receiveReport = receive;
        receiveReport[0x001A001F] = Utf16Le(u"Report.IPM");
        WriteTableNode(0x62B, {0x001A001F, 0x66050003}, {{1, receive}, {2, receiveIpm}, {3, receiveReport}});
        WriteTableNode(0x64C, {0x000F0040, 0x00390040, 0x0E070003, 0x0E100003, 0x0E140003, 0x0E29001F, 0x0EA20003,
                               0x67F10003});
        WriteTableNode(0x671, kAttachmentColumns);
        WriteTableNode(0x692, kRecipientColumns);
        WriteTableNode(0x6B6, {0x0E330014, 0x0E370102, 0x0E380003});
        WriteTableNode(0x6D7, {0x001A001F, 0x0E300102, 0x0E310102, 0x0E330014, 0x0E340102, 0x0E380003, 0x0E3E0102});
        WriteTableNode(0x6F8, {0x0E330014, 0x30070040});
        // The spam search folder with its update queue, criteria and contents.
        Props spam = FolderProps(u"SPAM Search Folder 2", u"", 0, 0, false);
        WritePcNode(kNidSpamSearch, spam, kNidRootFolder);
        WriteRawNode(0x2226, "");
        WritePcNode(0x2227, Props{{0x660B0003, Le<uint32_t>(0)}}, 0);
        WriteTableNode(0x2230, kSearchColumns);
        // The search root, an empty folder under the root.
        WritePcNode(kNidSearchRoot, FolderProps(u"Search Root", u"", 0, 0, false), kNidRootFolder);
        WriteFolderTables(kNidSearchRoot, {});
    }

    static Props FolderProps(std::u16string_view name, std::u16string_view cls, uint32_t count, uint32_t unread,
                             bool subfolders) {
        Props p;
        p[0x3001001F] = Utf16Le(name);
        p[0x36020003] = Le<uint32_t>(count);
        p[0x36030003] = Le<uint32_t>(unread);
        p[0x360A000B] = std::string(1, subfolders ? '\1' : '\0');
        if (!cls.empty()) p[0x3613001F] = Utf16Le(cls);
        return p;
    }

    Props HierarchyRow(const CFolderSummary& s) {
        Props p = FolderProps(s.name, s.containerClass, s.contentCount, s.unreadCount, s.hasSubfolders);
        p[0x66350003] = Le<uint32_t>(0);
        p[0x66360003] = Le<uint32_t>(0);
        return p;
    }

    // The three tables of a folder without messages.
    void WriteFolderTables(uint32_t nid, const std::vector<CFolderSummary>& children) {
        uint32_t index = nid >> 5;
        WriteHierarchyTable(index, children);
        WriteTableNode(MakeNid(ndb::NID_TYPE_CONTENTS_TABLE, index), kContentsColumns);
        WriteTableNode(MakeNid(ndb::NID_TYPE_ASSOC_CONTENTS_TABLE, index), kAssocColumns);
    }

    void WriteHierarchyTable(uint32_t index, const std::vector<CFolderSummary>& children) {
        std::vector<std::pair<uint32_t, Props>> rows;
        for (const auto& c : children) rows.emplace_back(c.nid, HierarchyRow(c));
        WriteTableNode(MakeNid(ndb::NID_TYPE_HIERARCHY_TABLE, index), kHierarchyColumns, rows);
    }

    // Entry ids of the default folders, kept on the root folder and Inbox.
    void AddDefaultFolderIds(Props& p) {
        p[0x36D00102] = EntryId(FolderNid(EDefaultFolder::Calendar));
        p[0x36D10102] = EntryId(FolderNid(EDefaultFolder::Contacts));
        p[0x36D20102] = EntryId(FolderNid(EDefaultFolder::Journal));
        p[0x36D30102] = EntryId(FolderNid(EDefaultFolder::Notes));
        p[0x36D40102] = EntryId(FolderNid(EDefaultFolder::Tasks));
        p[0x36D70102] = EntryId(FolderNid(EDefaultFolder::Drafts));
        // Conflicts, sync issues, local failures, server failures, junk e-mail.
        p[0x36D81102] = EncodeMulti({"", "", "", "", EntryId(FolderNid(EDefaultFolder::JunkEmail))});
    }

    void WriteRootFolder(const CFolderSummary& top) {
        Props p = FolderProps(u"", u"", 0, 0, true);
        AddDefaultFolderIds(p);
        WritePcNode(kNidRootFolder, p, kNidRootFolder);
        CFolderSummary search{kNidSearchRoot, u"Search Root", u"", 0, 0, false};
        CFolderSummary spam{kNidSpamSearch, u"SPAM Search Folder 2", u"", 0, 0, false};
        WriteFolderTables(kNidRootFolder, {top, search, spam});
    }

    // Writes a folder, its subfolders and messages; returns its summary.
    CFolderSummary WriteFolder(FolderId id, uint32_t parentNid) {
        CFolderInfo info = store.Folder(id);
        CFolderSummary s;
        s.nid = folderNids.at(id);
        s.name = info.name;
        s.containerClass = info.containerClass;
        std::vector<CFolderSummary> children;
        for (FolderId c : store.ChildFolders(id)) children.push_back(WriteFolder(c, s.nid));
        s.hasSubfolders = !children.empty();
        // The contents tables take each message's row as it is written, so a
        // folder of any size costs only its encoded rows in memory.
        CNodeBuilder contentsNode(file, subnodeIndex), assocNode(file, subnodeIndex);
        ltp::CTableBuilder contents(contentsNode, kContentsColumns), assoc(assocNode, kAssocColumns);
        for (MessageId m : store.Messages(id)) {
            uint64_t item = itemIndex++;
            if (item < plan.firstItem || nextItem) continue;
            CStagedMessage msg = store.LoadMessage(m);
            if (!WriteItem(msg, s, contents, assoc)) nextItem = item;
        }
        s.contentCount = uint32_t(contents.RowCount());
        Props p = EncodeBag(store, info.props);
        for (auto& [tag, v] : FolderProps(s.name, s.containerClass, s.contentCount, s.unreadCount, s.hasSubfolders))
            p[tag] = v;
        p[0x66350003] = Le<uint32_t>(0);
        p[0x66360003] = Le<uint32_t>(0);
        if (info.kind == EDefaultFolder::Inbox) AddDefaultFolderIds(p);
        WritePcNode(s.nid, p, parentNid);
        uint32_t index = s.nid >> 5;
        WriteHierarchyTable(index, children);
        FinishTableNode(MakeNid(ndb::NID_TYPE_CONTENTS_TABLE, index), contents, contentsNode);
        FinishTableNode(MakeNid(ndb::NID_TYPE_ASSOC_CONTENTS_TABLE, index), assoc, assocNode);
        ++stats.folders;
        unfinishedReserve -= folderReserves.at(id);
        return s;
    }

    // The file's size after Finish when `more` bytes are added besides what
    // the folders still to be written take.
    uint64_t ProjectedSize(const ltp::CTableBuilder& contents, const ltp::CTableBuilder& assoc, uint64_t more) const {
        uint64_t bytes = unfinishedReserve + kRootReserve + contents.SizeBound() + assoc.SizeBound() + more;
        uint64_t folders = allFolders.size() - stats.folders + 1;
        return file.SizeAfterFinish(bytes, bytes / 2048 + 8 * folders, 4 * folders);
    }

    // Writes an item into the folder being written, unless the part is
    // limited and the item would take it past the limit: then the part is
    // left as it was and false returned. The first item of a part is
    // always written.
    bool WriteItem(const CStagedMessage& msg, CFolderSummary& s, ltp::CTableBuilder& contents,
                   ltp::CTableBuilder& assoc) {
        const uint64_t limit = options.splitSize;
        if (limit && itemsInPart == 0 && ProjectedSize(contents, assoc, 0) > limit)
            throw std::runtime_error("the split size " + std::to_string(limit) +
                                     " is smaller than a PST with this folder tree and no items");
        // An item whose values alone do not fit is not tried.
        if (limit && itemsInPart > 0 && ProjectedSize(contents, assoc, LeastBytes(msg)) > limit) return false;
        ndb::CNdbFile::CMark mark = file.Mark();
        uint64_t messagesBefore = stats.messages, attachmentsBefore = stats.attachments;
        uint32_t nid = msg.associated ? MakeNid(ndb::NID_TYPE_ASSOC_MESSAGE, ++assocIndex)
                                      : MakeNid(ndb::NID_TYPE_NORMAL_MESSAGE, ++messageIndex);
        Props row = WriteMessage(msg, nid, s.nid);
        if (limit && ProjectedSize(contents, assoc, RowBound(row)) > limit) {
            if (itemsInPart > 0) {
                file.RollBack(mark);
                stats.messages = messagesBefore;
                stats.attachments = attachmentsBefore;
                return false;
            }
            oversized = true;
        }
        ++itemsInPart;
        if (msg.associated) {
            assoc.AddRow(nid, row);
            return true;
        }
        ++stats.messagesByClass[msg.props.GetString(0x001A).value_or(u"IPM.Note")];
        auto flags = SmallValue(row, 0x0E07);
        if (flags && flags->size() == 4 && !(uint8_t((*flags)[0]) & 1)) ++s.unreadCount;
        contents.AddRow(nid, row);
        return true;
    }

    // Writes one message node; returns the cells of its contents-table row.
    Props WriteMessage(const CStagedMessage& msg, uint32_t nid, uint32_t parent) {
        CNodeBuilder node(file, subnodeIndex);
        Props pc = WriteMessageObject(node, msg);
        uint64_t bidData = ltp::WritePropertyContext(node, pc);
        file.AddNode(nid, bidData, node.FinishSubnodes(), parent);
        ++stats.messages;
        if (options.progress && stats.messages % 256 == 0)
            options.progress(plan.writtenBefore + stats.messages, totalMessages);
        Props row;
        for (uint32_t tag : msg.associated ? kAssocColumns : kContentsColumns) {
            auto it = pc.find(tag);
            if (it != pc.end() && std::holds_alternative<std::string>(it->second)) row[tag] = it->second;
        }
        return row;
    }

    // Writes the recipient and attachment subnodes of a message into `node`
    // and returns the message's properties.
    Props WriteMessageObject(CNodeBuilder& node, const CStagedMessage& msg) {
        Props pc = EncodeBag(store, msg.props);
        int64_t now = NowFileTime();
        SetIfAbsent(pc, 0x001A001F, Utf16Le(u"IPM.Note"));
        SetIfAbsent(pc, 0x30070040, Le<int64_t>(now));
        SetIfAbsent(pc, 0x30080040, Le<int64_t>(now));
        std::string searchKey(16, '\0');
        for (auto& b : searchKey) b = char(rng() & 0xFF);
        SetIfAbsent(pc, 0x300B0102, searchKey);
        WriteRecipients(node, msg, pc);
        uint64_t attachBytes = WriteAttachments(node, msg);
        uint32_t flags = 1;  // read
        if (auto f = SmallValue(pc, 0x0E07); f && f->size() == 4)
            flags = uint32_t(uint8_t((*f)[0])) | uint32_t(uint8_t((*f)[1])) << 8 | uint32_t(uint8_t((*f)[2])) << 16 |
                    uint32_t(uint8_t((*f)[3])) << 24;
        flags = msg.attachments.empty() ? (flags & ~0x10u) : (flags | 0x10u);
        pc.erase(0x0E070003);
        pc[0x0E070003] = Le<uint32_t>(flags);
        pc[0x0E1B000B] = std::string(1, msg.attachments.empty() ? '\0' : '\1');
        uint64_t size = attachBytes;
        for (const auto& [tag, v] : pc) size += ltp::EncodedSize(v) + 8;
        pc[0x0E080003] = Le<uint32_t>(uint32_t(std::min<uint64_t>(size, 0x7FFFFFFF)));
        return pc;
    }

    void WriteRecipients(CNodeBuilder& node, const CStagedMessage& msg, Props& pc) {
        std::vector<uint32_t> columns = kRecipientColumns;
        columns.push_back(kRecipientDisplayName);
        columns.push_back(kRecipientEntryId);
        std::vector<std::pair<uint32_t, Props>> rows;
        std::u16string to, cc, bcc;
        uint32_t index = 0;
        for (const auto& r : msg.recipients) {
            Props cells = EncodeBag(store, r);
            SetIfAbsent(cells, 0x0C150003, Le<uint32_t>(1));
            SetIfAbsent(cells, 0x0FFE0003, Le<uint32_t>(6));  // mail user
            SetIfAbsent(cells, 0x39000003, Le<uint32_t>(0));
            SetIfAbsent(cells, 0x0E0F000B, std::string(1, '\0'));
            cells[0x30000003] = Le<uint32_t>(index);
            for (auto [from, to] : {std::pair{0x3001001Fu, kRecipientDisplayName}, std::pair{0x0FFF0102u, kRecipientEntryId}})
                if (auto it = cells.find(from); it != cells.end()) SetIfAbsent(cells, to, it->second);
            for (const auto& [tag, v] : cells)
                if (columns.size() < kMaxColumns && tag != 0x67F20003 && tag != 0x67F30003) columns.push_back(tag);
            auto name = r.GetString(0x3001).value_or(r.GetString(0x3003).value_or(u""));
            auto type = r.GetLong(0x0C15).value_or(1);
            std::u16string& list = type == 2 ? cc : type == 3 ? bcc : to;
            if (!name.empty()) list += (list.empty() ? u"" : u"; ") + name;
            rows.emplace_back(index++, std::move(cells));
        }
        SetIfAbsent(pc, 0x0E04001F, Utf16Le(to));
        SetIfAbsent(pc, 0x0E03001F, Utf16Le(cc));
        SetIfAbsent(pc, 0x0E02001F, Utf16Le(bcc));
        CNodeBuilder sub(file, subnodeIndex);
        ltp::CTableBuilder table(sub, columns);
        for (const auto& [id, cells] : rows) table.AddRow(id, cells);
        uint64_t bid = table.Write();
        node.AddSubnode(0x692, bid, sub.FinishSubnodes());
    }

    // Returns the total size of the attachments' data.
    uint64_t WriteAttachments(CNodeBuilder& node, const CStagedMessage& msg) {
        if (msg.attachments.empty()) return 0;
        std::vector<uint32_t> columns = kAttachmentColumns;
        columns.push_back(0x3707001F);
        columns.push_back(kAttachmentHidden);
        std::vector<std::pair<uint32_t, Props>> rows;
        uint64_t total = 0;
        int32_t number = 0;
        for (const auto& a : msg.attachments) {
            CNodeBuilder attNode(file, subnodeIndex);
            Props p = EncodeBag(store, a.props);
            if (a.embedded) {
                p.erase(0x37010102);
                CNodeBuilder embNode(file, subnodeIndex);
                Props ep = WriteMessageObject(embNode, *a.embedded);
                uint64_t bidData = ltp::WritePropertyContext(embNode, ep);
                uint32_t enid = attNode.NewSubnodeNid();
                attNode.AddSubnode(enid, bidData, embNode.FinishSubnodes());
                uint64_t esize = 0;
                for (const auto& [tag, v] : ep) esize += ltp::EncodedSize(v);
                p[0x3701000D] = Le<uint32_t>(enid) + Le<uint32_t>(uint32_t(std::min<uint64_t>(esize, 0x7FFFFFFF)));
                p.erase(0x37050003);
                p[0x37050003] = Le<int32_t>(5);
            }
            SetIfAbsent(p, 0x37050003, Le<int32_t>(1));
            SetIfAbsent(p, 0x370B0003, Le<int32_t>(-1));
            SetIfAbsent(p, 0x0FFE0003, Le<int32_t>(7));  // attachment
            SetIfAbsent(p, kAttachmentHidden, std::string(1, '\0'));
            p[0x0E210003] = Le<int32_t>(number++);
            if (auto name = a.props.GetString(0x3707)) SetIfAbsent(p, 0x3001001F, Utf16Le(*name));
            uint64_t size = 0;
            for (const auto& [tag, v] : p) size += ltp::EncodedSize(v);
            total += size;
            p[0x0E200003] = Le<uint32_t>(uint32_t(std::min<uint64_t>(size, 0x7FFFFFFF)));
            uint64_t bidData = ltp::WritePropertyContext(attNode, p);
            uint32_t anid = node.NewSubnodeNid(ndb::NID_TYPE_ATTACHMENT);
            node.AddSubnode(anid, bidData, attNode.FinishSubnodes());
            Props row;
            for (uint32_t tag : columns) {
                auto it = p.find(tag);
                if (it != p.end() && std::holds_alternative<std::string>(it->second)) row[tag] = it->second;
            }
            rows.emplace_back(anid, std::move(row));
            ++stats.attachments;
        }
        CNodeBuilder sub(file, subnodeIndex);
        ltp::CTableBuilder table(sub, columns);
        for (const auto& [id, cells] : rows) table.AddRow(id, cells);
        uint64_t bid = table.Write();
        node.AddSubnode(0x671, bid, sub.FinishSubnodes());
        return total;
    }

    CStagingStore& store;
    ndb::CNdbFile file;
    const CWriteOptions& options;
    const CPartPlan plan;
    uint64_t itemIndex = 0;    // the items walked so far, in this part or not
    uint64_t itemsInPart = 0;
    std::optional<uint64_t> nextItem;
    bool oversized = false;
    std::map<FolderId, uint64_t> folderReserves;  // FolderReserve and its subfolders' rows
    uint64_t unfinishedReserve = 0;               // of the folders not written yet
    std::array<uint32_t, 32> rgnid{};
    char recordKey[16];
    std::mt19937 rng{std::random_device{}()};
    uint32_t folderIndex = 0;
    uint32_t messageIndex = 0x10000;
    uint32_t assocIndex = 0x8000;
    uint32_t subnodeIndex = 0x400;
    std::map<FolderId, uint32_t> folderNids;
    std::vector<FolderId> allFolders;
    uint64_t totalMessages = 0;
    CWriteStats stats;
};

}  // namespace

namespace {

// Renames without replacing; false when the name is taken. Where the file
// system cannot rename that way, a hard link does the same.
bool RenameIfFree(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno != EINVAL && errno != ENOSYS)
        throw std::filesystem::filesystem_error("cannot rename the PST into place", from, to,
                                                std::error_code(errno, std::generic_category()));
    if (link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST) return false;
        throw std::filesystem::filesystem_error("cannot link the PST into place", from, to,
                                                std::error_code(errno, std::generic_category()));
    }
    unlink(from.c_str());
    return true;
}

std::filesystem::path Place(const std::filesystem::path& temp, const std::filesystem::path& pstPath, bool replace) {
    if (replace) {
        std::filesystem::rename(temp, pstPath);
        return pstPath;
    }
    if (RenameIfFree(temp, pstPath)) return pstPath;
    for (int n = 2; n < 1000; ++n) {
        std::filesystem::path other = pstPath;
        other.replace_filename(pstPath.stem().string() + " (" + std::to_string(n) + ")" + pstPath.extension().string());
        if (RenameIfFree(temp, other)) return other;
    }
    throw std::runtime_error(pstPath.string() + " exists, and so do the names that could take its place");
}

}  // namespace

std::filesystem::path PstPartPath(const std::filesystem::path& pstPath, int part) {
    if (part <= 1) return pstPath;
    std::filesystem::path p = pstPath;
    p.replace_filename(pstPath.stem().string() + "-" + std::to_string(part) + pstPath.extension().string());
    return p;
}

namespace {

void AddPart(CWriteStats& total, const CPartResult& part) {
    const CWriteStats& s = part.stats;
    total.folders = s.folders;
    total.messages += s.messages;
    total.attachments += s.attachments;
    total.fileBytes += s.fileBytes;
    for (const auto& [cls, n] : s.messagesByClass) total.messagesByClass[cls] += n;
    total.parts.push_back({{}, s.messages, s.attachments, s.fileBytes, part.oversized});
}

}  // namespace

std::string WritePstFromStaging(const std::filesystem::path& stagingPath, const std::filesystem::path& pstPath,
                                CWriteStats* stats, const CWriteOptions& options) {
    // Every part is written under a temporary name; all of them are placed
    // when the last one is complete.
    std::vector<std::filesystem::path> temps;
    size_t placed = 0;
    try {
        auto store = CStagingStore::OpenExisting(stagingPath);
        CStagingStore::CReading reading(*store);
        CWriteStats result;
        CPartPlan plan;
        for (;;) {
            std::filesystem::path temp = PstPartPath(pstPath, plan.number);
            temp += ".writing-" + std::to_string(getpid());
            temps.push_back(temp);
            CPartResult part;
            {
                CWriter writer(*store, temp, options, plan);
                part = writer.Run();
            }
            AddPart(result, part);
            if (!part.nextItem) break;
            plan.firstItem = *part.nextItem;
            plan.writtenBefore = result.messages;
            ++plan.number;
        }
        for (; placed < temps.size(); ++placed)
            result.parts[placed].path =
                Place(temps[placed], PstPartPath(pstPath, int(placed) + 1), options.replaceExisting);
        result.path = result.parts.front().path;
        if (stats) *stats = result;
        return {};
    } catch (const std::exception& e) {
        std::error_code ec;
        for (size_t i = placed; i < temps.size(); ++i) std::filesystem::remove(temps[i], ec);
        return e.what();
    }
}

}  // namespace pst

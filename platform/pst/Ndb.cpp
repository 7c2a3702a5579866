// The node database layer: see Ndb.h.
#include "platform/pst/Ndb.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>

#include "platform/pst/BackgroundFile.h"

namespace pst::ndb {

namespace {

constexpr size_t kBufferLimit = 4 << 20;
constexpr size_t kBufferCapacity = kBufferLimit + (64 << 10);
constexpr uint64_t kHeaderSize = 0x234;

// Pages that follow every 8th AMap (PMap), every 496th AMap from the 128th
// (FMap) and every 31,744th AMap from the 8,192nd (FPMap).
bool HasPMap(uint64_t range) { return range % 8 == 0; }
bool HasFMap(uint64_t range) { return range >= 128 && (range - 128) % 496 == 0; }
bool HasFPMap(uint64_t range) { return range >= 8192 && (range - 8192) % 31744 == 0; }
uint64_t RangeBase(uint64_t range) { return kFirstAMap + range * kAMapRange; }
uint64_t ReservedPages(uint64_t range) {
    return 1 + (HasPMap(range) ? 1 : 0) + (HasFMap(range) ? 1 : 0) + (HasFPMap(range) ? 1 : 0);
}
uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

template <class T>
void StoreAt(char* at, T v) {
    for (size_t i = 0; i < sizeof(T); ++i) at[i] = char((uint64_t(v) >> (8 * i)) & 0xFF);
}

template <class T>
void Store(std::string& s, size_t at, T v) {
    StoreAt(s.data() + at, v);
}
template <class T>
void AppendLe(std::string& s, T v) {
    for (size_t i = 0; i < sizeof(T); ++i) s.push_back(char((uint64_t(v) >> (8 * i)) & 0xFF));
}

// The longest run of clear bits in an AMap, in 64-byte units, capped at 255.
uint8_t LongestFreeRun(const std::array<uint8_t, 496>& map) {
    unsigned best = 0, run = 0;
    for (size_t i = 0; i < 496 * 8; ++i) {
        if (map[i / 8] & (0x80 >> (i % 8))) {
            run = 0;
        } else if (++run > best) {
            best = run;
        }
    }
    return uint8_t(std::min(best, 255u));
}

}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    // libdeflate's CRC-32 (gzip's) is the same polynomial with the value
    // inverted before and after; inverting around it leaves the plain CRC
    // the format uses.
    return libdeflate_crc32(crc ^ 0xFFFFFFFFu, data, size) ^ 0xFFFFFFFFu;
}

uint16_t ComputeSig(uint64_t ib, uint64_t bid) {
    uint32_t v = uint32_t(ib) ^ uint32_t(bid);
    return uint16_t((v >> 16) ^ (v & 0xFFFF));
}

// ---- CNdbFile -------------------------------------------------------------------

CNdbFile::CNdbFile(const std::filesystem::path& path)
    : file(std::make_unique<CBackgroundFile>(path)),
      blocks(path.has_parent_path() ? path.parent_path() : std::filesystem::path(".")) {
    buffer.reserve(kBufferCapacity);
    end = kFirstAMap;
    Allocate(0, 1);  // opens range 0 with its map pages
}

CNdbFile::~CNdbFile() = default;

// Hands the buffer to the file's writing thread and goes on with the
// buffer of the write before.
void CNdbFile::Flush() {
    if (buffer.empty()) return;
    uint64_t start = bufferStart;
    bufferStart += buffer.size();
    file->WriteLater(start, buffer);
    buffer.reserve(kBufferCapacity);
}

// Hands over the buffer up to its last page boundary and carries the
// partial page after it into the next buffer, which writes it with what
// follows: every buffer starts on a page boundary, so its whole pages can go
// to the disk directly.
void CNdbFile::FlushWholePages() {
    uint64_t bufferEnd = bufferStart + buffer.size();
    uint64_t cut = bufferEnd / kDirectAlign * kDirectAlign;
    if (cut <= bufferStart || cut == bufferEnd) return Flush();
    size_t kept = size_t(bufferEnd - cut);
    char carried[kDirectAlign];
    std::memcpy(carried, buffer.data() + (cut - bufferStart), kept);
    buffer.resize(size_t(cut - bufferStart));
    uint64_t start = bufferStart;
    file->WriteLater(start, buffer);
    buffer.reserve(kBufferCapacity);
    buffer.assign(carried, carried + kept);
    bufferStart = cut;
}

char* CNdbFile::Reserve(uint64_t ib, size_t size) {
    uint64_t written = bufferStart + buffer.size();
    if (ib < written) throw CNdbError("internal error: PST write out of order");
    // Never past the buffer's capacity: a buffer that grew would double, and
    // both buffers of the writing thread with it.
    if (buffer.size() >= kBufferLimit || buffer.size() + (ib - written) + size > buffer.capacity()) {
        FlushWholePages();
        written = bufferStart + buffer.size();
        if (buffer.size() + (ib - written) + size > buffer.capacity()) {
            Flush();
            written = bufferStart;
        }
    }
    if (buffer.empty() && ib > written) {
        // The gap stays a hole; the buffer starts on the page boundary
        // before ib unless bytes already written (all below `written`) lie
        // between the two.
        uint64_t page = ib / kDirectAlign * kDirectAlign;
        bufferStart = page >= written ? page : ib;
        written = bufferStart;
    }
    buffer.insert(buffer.end(), size_t(ib - written), '\0');
    size_t at = buffer.size();
    buffer.resize(at + size);
    return buffer.data() + at;
}

void CNdbFile::Put(uint64_t ib, std::string_view bytes) {
    std::memcpy(Reserve(ib, bytes.size()), bytes.data(), bytes.size());
}

void CNdbFile::PutAt(uint64_t ib, std::string_view bytes) {
    Flush();
    file->WriteNow(ib, bytes);
}

void CNdbFile::MarkAllocated(uint64_t ib, uint64_t size) {
    uint64_t range = (ib - kFirstAMap) / kAMapRange;
    uint64_t first = (ib - RangeBase(range)) / 64, count = AlignUp(size, 64) / 64;
    auto& map = amaps[range];
    for (uint64_t i = first; i < first + count; ++i) map[i / 8] |= uint8_t(0x80 >> (i % 8));
}

uint64_t CNdbFile::Allocate(uint64_t size, uint64_t align) {
    for (;;) {
        uint64_t ib = AlignUp(end, align);
        uint64_t range = (ib - kFirstAMap) / kAMapRange;
        while (amaps.size() <= range) {
            uint64_t r = amaps.size();
            amaps.emplace_back();
            amaps.back().fill(0);
            MarkAllocated(RangeBase(r), ReservedPages(r) * kPageSize);
        }
        uint64_t first = RangeBase(range) + ReservedPages(range) * kPageSize;
        if (ib < first) ib = AlignUp(first, align);
        if (ib + size <= RangeBase(range + 1)) {
            end = ib + size;
            if (size) MarkAllocated(ib, size);
            return ib;
        }
        end = RangeBase(range + 1);
    }
}

uint64_t CNdbFile::WriteBlock(std::string_view data, uint64_t bid) {
    if (data.size() > kMaxBlockData) throw CNdbError("internal error: block too large");
    uint64_t size = AlignUp(data.size() + 16, 64);
    uint64_t ib = Allocate(size, 64);
    // The block is made in place in the write buffer: data, zero padding,
    // then the trailer.
    char* block = Reserve(ib, size_t(size));
    std::memcpy(block, data.data(), data.size());
    size_t t = size_t(size) - 16;
    std::memset(block + data.size(), 0, t - data.size());
    StoreAt<uint16_t>(block + t, uint16_t(data.size()));
    StoreAt<uint16_t>(block + t + 2, ComputeSig(ib, bid));
    StoreAt<uint32_t>(block + t + 4, Crc32(data.data(), data.size()));
    StoreAt<uint64_t>(block + t + 8, bid);
    if ((ib >> 6) > UINT32_MAX) throw CNdbError("the PST file would pass 256 GiB");
    blocks.push_back({HalfBid(bid), uint32_t(ib >> 6), uint16_t(data.size())});
    return bid;
}

uint32_t CNdbFile::HalfBid(uint64_t bid) {
    if ((bid >> 1) > UINT32_MAX) throw CNdbError("too many blocks for one PST file");
    return uint32_t(bid >> 1);
}

uint64_t CNdbFile::WriteDataBlock(std::string_view data) {
    uint64_t bid = nextBid;
    nextBid += 4;
    return WriteBlock(data, bid);
}

uint64_t CNdbFile::WriteInternalBlock(std::string_view data) {
    uint64_t bid = nextBid | 2;
    nextBid += 4;
    return WriteBlock(data, bid);
}

void CNdbFile::AddNode(uint32_t nid, uint64_t bidData, uint64_t bidSub, uint32_t nidParent) {
    nodes.push_back({nid, HalfBid(bidData), HalfBid(bidSub), nidParent});
}

CNdbFile::CBref CNdbFile::WritePage(std::string page, uint8_t ptype, uint8_t level, uint8_t cEnt, uint8_t cEntMax,
                                    uint8_t cbEnt) {
    page.resize(kPageSize, '\0');
    page[488] = char(cEnt);
    page[489] = char(cEntMax);
    page[490] = char(cbEnt);
    page[491] = char(level);
    uint64_t bid = nextPageBid++;
    uint64_t ib = Allocate(kPageSize, kPageSize);
    page[496] = char(ptype);
    page[497] = char(ptype);
    Store<uint16_t>(page, 498, ComputeSig(ib, bid));
    Store<uint32_t>(page, 500, Crc32(page.data(), 496));
    Store<uint64_t>(page, 504, bid);
    Put(ib, page);
    return {bid, ib};
}

CNdbFile::CBref CNdbFile::WriteBTree(bool nodeTree) {
    const uint8_t ptype = nodeTree ? 0x81 : 0x80;
    const size_t leafMax = nodeTree ? 15 : 20, leafEnt = nodeTree ? 32 : 24;
    std::vector<std::pair<uint64_t, CBref>> level;  // first key, page
    size_t count = nodeTree ? nodes.size() : blocks.size();
    CSpool<CBbtEntry>::CReader blockReader(blocks);
    for (size_t start = 0; start < count || (count == 0 && start == 0); start += leafMax) {
        std::string page;
        size_t n = std::min(leafMax, count - start);
        uint64_t key = 0;
        for (size_t i = start; i < start + n; ++i) {
            if (nodeTree) {
                const auto& e = nodes[i];
                if (i == start) key = e.nid;
                AppendLe<uint64_t>(page, e.nid);
                AppendLe<uint64_t>(page, e.BidData());
                AppendLe<uint64_t>(page, e.BidSub());
                AppendLe<uint32_t>(page, e.parent);
                AppendLe<uint32_t>(page, 0);
            } else {
                const auto& e = blockReader.Next();
                if (i == start) key = e.Bid();
                AppendLe<uint64_t>(page, e.Bid());
                AppendLe<uint64_t>(page, e.Ib());
                AppendLe<uint16_t>(page, e.cb);
                AppendLe<uint16_t>(page, 2);
                AppendLe<uint32_t>(page, 0);
            }
        }
        level.emplace_back(key, WritePage(page, ptype, 0, uint8_t(n), uint8_t(leafMax), uint8_t(leafEnt)));
        if (count == 0) break;
    }
    for (uint8_t depth = 1; level.size() > 1; ++depth) {
        std::vector<std::pair<uint64_t, CBref>> upper;
        for (size_t start = 0; start < level.size(); start += 20) {
            std::string page;
            size_t n = std::min<size_t>(20, level.size() - start);
            for (size_t i = start; i < start + n; ++i) {
                AppendLe<uint64_t>(page, level[i].first);
                AppendLe<uint64_t>(page, level[i].second.bid);
                AppendLe<uint64_t>(page, level[i].second.ib);
            }
            upper.emplace_back(level[start].first, WritePage(page, ptype, depth, uint8_t(n), 20, 24));
        }
        level.swap(upper);
    }
    return level.front().second;
}

void CNdbFile::WriteMaps(uint64_t& cbAMapFree, uint64_t ranges) {
    cbAMapFree = 0;
    auto writeMapPage = [&](uint64_t ib, std::string data, uint8_t ptype) {
        data.resize(kPageSize, '\0');
        data[496] = char(ptype);
        data[497] = char(ptype);
        Store<uint16_t>(data, 498, 0);
        Store<uint32_t>(data, 500, Crc32(data.data(), 496));
        Store<uint64_t>(data, 504, ib);
        PutAt(ib, data);
    };
    for (uint64_t r = 0; r < ranges; ++r) {
        const auto& map = amaps[r];
        for (uint8_t b : map) cbAMapFree += 64 * uint64_t(8 - __builtin_popcount(b));
        uint64_t ib = RangeBase(r);
        writeMapPage(ib, std::string(reinterpret_cast<const char*>(map.data()), map.size()), 0x84);
        ib += kPageSize;
        if (HasPMap(r)) {
            writeMapPage(ib, std::string(496, '\xFF'), 0x83);
            ib += kPageSize;
        }
        if (HasFMap(r)) {
            std::string fmap(496, '\0');
            for (uint64_t k = 0; k < 496 && r + k < ranges; ++k) fmap[k] = char(LongestFreeRun(amaps[r + k]));
            writeMapPage(ib, fmap, 0x82);
            ib += kPageSize;
        }
        if (HasFPMap(r)) writeMapPage(ib, std::string(496, '\xFF'), 0x85);
    }
}

void CNdbFile::WriteHeader(const std::array<uint32_t, 32>& rgnid, const CBref& nbt, const CBref& bbt,
                           uint64_t ranges, uint64_t cbAMapFree) {
    std::string h(kHeaderSize, '\0');
    std::memcpy(h.data(), "!BDN", 4);
    h[8] = 'S';
    h[9] = 'M';
    Store<uint16_t>(h, 0x0A, 23);
    Store<uint16_t>(h, 0x0C, 19);
    h[0x0E] = 1;
    h[0x0F] = 1;
    Store<uint64_t>(h, 0x20, nextPageBid);
    Store<uint32_t>(h, 0x28, 1);
    for (size_t i = 0; i < 32; ++i) Store<uint32_t>(h, 0x2C + 4 * i, rgnid[i]);
    Store<uint64_t>(h, 0xB8, RangeBase(ranges));
    Store<uint64_t>(h, 0xC0, RangeBase(ranges - 1));
    Store<uint64_t>(h, 0xC8, cbAMapFree);
    Store<uint64_t>(h, 0xD0, 0);
    Store<uint64_t>(h, 0xD8, nbt.bid);
    Store<uint64_t>(h, 0xE0, nbt.ib);
    Store<uint64_t>(h, 0xE8, bbt.bid);
    Store<uint64_t>(h, 0xF0, bbt.ib);
    h[0xF8] = 2;  // the AMaps are valid
    std::memset(h.data() + 0x100, 0xFF, 256);  // rgbFM and rgbFP
    h[0x200] = char(0x80);
    h[0x201] = 0;  // no encoding of data blocks
    Store<uint64_t>(h, 0x204, nextBid);
    Store<uint32_t>(h, 0x04, Crc32(h.data() + 8, 471));
    Store<uint32_t>(h, 0x20C, Crc32(h.data() + 8, 516));
    PutAt(0, h);
}

void CNdbFile::Finish(const std::array<uint32_t, 32>& rgnid) {
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.nid < b.nid; });
    for (size_t i = 1; i < nodes.size(); ++i)
        if (nodes[i].nid == nodes[i - 1].nid) throw CNdbError("internal error: duplicate node " + std::to_string(nodes[i].nid));
    CBref nbt = WriteBTree(true);
    CBref bbt = WriteBTree(false);
    Flush();
    uint64_t ranges = amaps.size();
    file->Truncate(RangeBase(ranges));
    uint64_t cbAMapFree = 0;
    WriteMaps(cbAMapFree, ranges);
    WriteHeader(rgnid, nbt, bbt, ranges, cbAMapFree);
    file->SyncAndClose();
}

uint64_t CNdbFile::FileSize() const { return RangeBase(amaps.size()); }

CNdbFile::CMark CNdbFile::Mark() const {
    CMark m;
    m.end = end;
    m.nextBid = nextBid;
    m.blocks = blocks.size();
    m.nodes = nodes.size();
    m.ranges = amaps.size();
    if (!amaps.empty()) m.lastMap = amaps.back();
    return m;
}

void CNdbFile::RollBack(const CMark& mark) {
    Flush();
    bufferStart = mark.end;  // later blocks go at or after the mark's end
    end = mark.end;
    nextBid = mark.nextBid;
    blocks.resize(mark.blocks);
    nodes.resize(mark.nodes);
    amaps.resize(mark.ranges);
    if (!amaps.empty()) amaps.back() = mark.lastMap;
}

namespace {
// Pages of a BTree over n entries, perLeaf to a leaf page, 20 to a branch.
uint64_t TreePages(uint64_t n, uint64_t perLeaf) {
    uint64_t level = std::max<uint64_t>(1, (n + perLeaf - 1) / perLeaf), pages = level;
    while (level > 1) {
        level = (level + 19) / 20;
        pages += level;
    }
    return pages;
}
}  // namespace

uint64_t CNdbFile::SizeAfterFinish(uint64_t moreBytes, uint64_t moreBlocks, uint64_t moreNodes) const {
    uint64_t pos = end;
    // Takes `bytes` from the ranges in pieces of at most `piece` bytes: a
    // range that cannot hold the next piece loses what is left of it.
    auto take = [&](uint64_t bytes, uint64_t piece) {
        while (bytes > 0) {
            uint64_t range = (pos - kFirstAMap) / kAMapRange;
            pos = std::max(pos, RangeBase(range) + ReservedPages(range) * kPageSize);
            uint64_t room = RangeBase(range + 1) - pos;
            if (bytes <= room) {
                pos += bytes;
                return;
            }
            uint64_t used = room > piece ? room - piece : 0;
            bytes -= used;
            pos = RangeBase(range + 1);
        }
    };
    take(moreBytes, kMaxBlockData + 16 + 64);
    pos = AlignUp(pos, kPageSize);
    uint64_t pages = TreePages(nodes.size() + moreNodes, 15) + TreePages(blocks.size() + moreBlocks, 20);
    take(pages * kPageSize, kPageSize);
    return RangeBase((pos - kFirstAMap) / kAMapRange + 1);
}

// ---- data trees ---------------------------------------------------------------------

void CDataTreeBuilder::FlushPending() {
    if (pending.empty()) return;
    leaves.emplace_back(file.WriteDataBlock(pending), uint32_t(pending.size()));
    pending.clear();
}

void CDataTreeBuilder::Append(std::string_view data) {
    total += data.size();
    if (!pending.empty()) {
        size_t take = std::min(data.size(), kMaxBlockData - pending.size());
        pending.append(data.substr(0, take));
        data.remove_prefix(take);
        if (pending.size() == kMaxBlockData) FlushPending();
    }
    while (data.size() >= kMaxBlockData) {
        leaves.emplace_back(file.WriteDataBlock(data.substr(0, kMaxBlockData)), uint32_t(kMaxBlockData));
        data.remove_prefix(kMaxBlockData);
    }
    pending.append(data);
}

void CDataTreeBuilder::AppendBlock(std::string_view data) {
    FlushPending();
    total += data.size();
    leaves.emplace_back(file.WriteDataBlock(data), uint32_t(data.size()));
}

void CDataTreeBuilder::AppendWrittenBlock(uint64_t bid, uint32_t cb) {
    FlushPending();
    total += cb;
    leaves.emplace_back(bid, cb);
}

uint64_t CDataTreeBuilder::Finish() {
    FlushPending();
    if (leaves.empty()) return 0;
    if (leaves.size() == 1) return leaves[0].first;
    constexpr size_t kPerX = (kMaxBlockData - 8) / 8;  // 1,021
    std::vector<uint64_t> xblocks;
    for (size_t start = 0; start < leaves.size(); start += kPerX) {
        size_t n = std::min(kPerX, leaves.size() - start);
        uint64_t bytes = 0;
        std::string x;
        for (size_t i = start; i < start + n; ++i) bytes += leaves[i].second;
        AppendLe<uint8_t>(x, 1);
        AppendLe<uint8_t>(x, 1);
        AppendLe<uint16_t>(x, uint16_t(n));
        AppendLe<uint32_t>(x, uint32_t(bytes));
        for (size_t i = start; i < start + n; ++i) AppendLe<uint64_t>(x, leaves[i].first);
        xblocks.push_back(file.WriteInternalBlock(x));
    }
    if (xblocks.size() == 1) return xblocks[0];
    if (xblocks.size() > kPerX || total > 0xFFFFFFFFull) throw CNdbError("value too large for a PST data tree");
    std::string xx;
    AppendLe<uint8_t>(xx, 1);
    AppendLe<uint8_t>(xx, 2);
    AppendLe<uint16_t>(xx, uint16_t(xblocks.size()));
    AppendLe<uint32_t>(xx, uint32_t(total));
    for (uint64_t b : xblocks) AppendLe<uint64_t>(xx, b);
    return file.WriteInternalBlock(xx);
}

uint64_t WriteSubnodeTree(CNdbFile& file, std::vector<CSubnodeEntry> entries) {
    if (entries.empty()) return 0;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.nid < b.nid; });
    constexpr size_t kPerLeaf = (kMaxBlockData - 8) / 24;    // 340
    constexpr size_t kPerBranch = (kMaxBlockData - 8) / 16;  // 510
    std::vector<std::pair<uint32_t, uint64_t>> leaves;
    for (size_t start = 0; start < entries.size(); start += kPerLeaf) {
        size_t n = std::min(kPerLeaf, entries.size() - start);
        std::string b;
        AppendLe<uint8_t>(b, 2);
        AppendLe<uint8_t>(b, 0);
        AppendLe<uint16_t>(b, uint16_t(n));
        AppendLe<uint32_t>(b, 0);
        for (size_t i = start; i < start + n; ++i) {
            AppendLe<uint64_t>(b, entries[i].nid);
            AppendLe<uint64_t>(b, entries[i].bidData);
            AppendLe<uint64_t>(b, entries[i].bidSub);
        }
        leaves.emplace_back(entries[start].nid, file.WriteInternalBlock(b));
    }
    if (leaves.size() == 1) return leaves[0].second;
    if (leaves.size() > kPerBranch) throw CNdbError("too many subnodes in one PST node");
    std::string b;
    AppendLe<uint8_t>(b, 2);
    AppendLe<uint8_t>(b, 1);
    AppendLe<uint16_t>(b, uint16_t(leaves.size()));
    AppendLe<uint32_t>(b, 0);
    for (const auto& [nid, bid] : leaves) {
        AppendLe<uint64_t>(b, nid);
        AppendLe<uint64_t>(b, bid);
    }
    return file.WriteInternalBlock(b);
}

}  // namespace pst::ndb

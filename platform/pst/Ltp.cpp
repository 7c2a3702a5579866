// The lists, tables and properties layer: see Ltp.h.
#include "platform/pst/Ltp.h"

#include <algorithm>

namespace pst::ltp {

namespace {

template <class T>
void Append(std::string& s, T v) {
    for (size_t i = 0; i < sizeof(T); ++i) s.push_back(char((uint64_t(v) >> (8 * i)) & 0xFF));
}
template <class T>
void Store(std::string& s, size_t at, T v) {
    for (size_t i = 0; i < sizeof(T); ++i) s[at + i] = char((uint64_t(v) >> (8 * i)) & 0xFF);
}

// Free bytes of a heap page as its 4-bit fill level.
uint8_t FillLevel(size_t freeBytes) {
    static const size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
    for (uint8_t i = 0; i < 15; ++i)
        if (freeBytes >= limits[i]) return i;
    return 15;
}

bool IsBitmapPage(size_t index) { return index == 8 || (index > 8 && (index - 8) % 128 == 0); }

// Width of a table cell for a property type.
uint8_t CellWidth(uint16_t type) {
    switch (type) {
    case 0x0014:  // PT_I8
    case 0x0040:  // PT_SYSTIME
    case 0x0005:  // PT_DOUBLE
    case 0x0006:  // PT_CURRENCY
    case 0x0007:  // PT_APPTIME
        return 8;
    case 0x0002:  // PT_SHORT
        return 2;
    case 0x000B:  // PT_BOOLEAN
        return 1;
    default:
        return 4;
    }
}

// Types held in a 4-byte cell or PC record directly rather than by HNID.
bool IsInline4(uint16_t type) { return type == 0x0003 || type == 0x0004 || type == 0x000A; }

std::string ReadAll(const CEncoded& v) {
    if (auto s = std::get_if<std::string>(&v)) return *s;
    std::string out;
    const auto& sv = std::get<CStreamedValue>(v);
    out.reserve(size_t(sv.size));
    sv.produce([&](std::string_view chunk) { out.append(chunk); });
    return out;
}

}  // namespace

uint64_t EncodedSize(const CEncoded& v) {
    if (auto s = std::get_if<std::string>(&v)) return s->size();
    return std::get<CStreamedValue>(v).size;
}

// ---- heap ----------------------------------------------------------------------------

size_t CHeap::HeaderSize(size_t pageIndex) {
    if (pageIndex == 0) return 12;
    return IsBitmapPage(pageIndex) ? 66 : 2;
}

uint32_t CHeap::Allocate(std::string data) {
    if (data.size() > kMaxAlloc) throw ndb::CNdbError("internal error: heap allocation too large");
    size_t k = pages.size() - 1;
    auto fits = [&](const CPage& p, size_t idx) {
        size_t n = p.ends.size();
        return n < 2047 && HeaderSize(idx) + p.data.size() + data.size() + 1 + 4 + 2 * (n + 2) <= ndb::kMaxBlockData;
    };
    if (!fits(pages[k], k)) {
        ClosePage(k);
        pages.emplace_back();
        ++k;
    }
    auto& page = pages[k];
    page.data += data;
    page.ends.push_back(uint16_t(page.data.size()));
    return uint32_t(k << 16) | uint32_t(page.ends.size() << 5);
}

void CHeap::ClosePage(size_t k) {
    if (early == nullptr || k == 0 || IsBitmapPage(k)) {
        closedBytes += PageSize(k) + kBlockOverhead;
        return;
    }
    CPage& page = pages[k];
    std::string built = BuildPage(k);
    page.writtenSize = uint16_t(built.size());
    page.bid = early->WriteDataBlock(built);
    // Swapped out: assigning an empty string would keep the buffer.
    std::string().swap(page.data);
    std::vector<uint16_t>().swap(page.ends);
}

void CHeap::Replace(uint32_t hid, std::string data) {
    auto& page = pages.at(hid >> 16);
    if (page.bid != 0) throw ndb::CNdbError("internal error: heap replacement in a written page");
    size_t index = ((hid >> 5) & 0x7FF) - 1;
    uint16_t end = page.ends.at(index);
    uint16_t start = index == 0 ? 0 : page.ends[index - 1];
    if (size_t(end - start) != data.size()) throw ndb::CNdbError("internal error: heap replacement changes size");
    page.data.replace(start, data.size(), data);
}

std::string CHeap::BuildPage(size_t index) const {
    const auto& page = pages[index];
    const size_t header = HeaderSize(index);
    std::string out(header, '\0');
    out += page.data;
    if (out.size() % 2) out.push_back('\0');
    uint16_t ibHnpm = uint16_t(out.size());
    Store<uint16_t>(out, 0, ibHnpm);
    Append<uint16_t>(out, uint16_t(page.ends.size()));
    Append<uint16_t>(out, 0);
    Append<uint16_t>(out, uint16_t(header));
    for (uint16_t end : page.ends) Append<uint16_t>(out, uint16_t(header + end));
    return out;
}

size_t CHeap::PageSize(size_t index) const {
    const auto& page = pages[index];
    if (page.bid != 0) return page.writtenSize;
    size_t size = HeaderSize(index) + page.data.size();
    return size + size % 2 + 4 + 2 * (page.ends.size() + 1);
}

uint64_t CHeap::SizeBound(uint64_t more) const {
    uint64_t total = closedBytes + PageSize(pages.size() - 1) + kBlockOverhead;
    // A page is closed only when the next allocation (at most kMaxAlloc
    // bytes) does not fit, so every full page holds more than this.
    constexpr uint64_t kLeastFill = ndb::kMaxBlockData - kMaxAlloc - 128;
    uint64_t newPages = more ? more / kLeastFill + 1 : 0;
    total += more + more / 8 + newPages * (66 + 8 + kBlockOverhead);
    uint64_t count = pages.size() + newPages;
    if (count > 1) total += (8 * count + 8 + kBlockOverhead) + (count / 1021 + 1) * (8 + kBlockOverhead);
    return total;
}

uint64_t CHeap::Write(ndb::CNdbFile& file) const {
    // Pages are built one at a time as they are written; the fill levels of
    // the first and the bitmap pages come from the sizes alone.
    auto setLevels = [&](std::string& page, size_t at, size_t first, size_t count) {
        for (size_t j = 0; j < count && first + j < pages.size(); ++j) {
            uint8_t level = FillLevel(ndb::kMaxBlockData - PageSize(first + j));
            page[at + j / 2] = char(uint8_t(page[at + j / 2]) | (j % 2 ? level << 4 : level));
        }
    };
    ndb::CDataTreeBuilder tree(file);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].bid != 0) {
            tree.AppendWrittenBlock(pages[i].bid, pages[i].writtenSize);
            continue;
        }
        std::string page = BuildPage(i);
        if (i == 0) {
            page[2] = char(0xEC);
            page[3] = char(clientSig);
            Store<uint32_t>(page, 4, userRoot);
            if (pages.size() > 1) setLevels(page, 8, 0, 8);
        } else if (i >= 8 && IsBitmapPage(i)) {
            setLevels(page, 2, i, 128);
        }
        tree.AppendBlock(page);
    }
    return tree.Finish();
}

// ---- values and BTrees-on-heap ---------------------------------------------------------

uint32_t StoreValue(CHeap& heap, CNodeBuilder& node, const CEncoded& value) {
    uint64_t size = EncodedSize(value);
    if (size == 0) return 0;
    if (size <= kMaxAlloc) return heap.Allocate(ReadAll(value));
    ndb::CDataTreeBuilder tree(node.file);
    if (auto s = std::get_if<std::string>(&value))
        tree.Append(*s);
    else
        std::get<CStreamedValue>(value).produce([&](std::string_view chunk) { tree.Append(chunk); });
    uint32_t nid = node.NewSubnodeNid();
    node.AddSubnode(nid, tree.Finish(), 0);
    return nid;
}

CBthLayout BuildBth(CHeap& heap, uint8_t cbKey, uint8_t cbEnt, std::string_view records, uint32_t header) {
    CBthLayout bth;
    bth.header = header ? header : heap.Allocate(std::string(8, '\0'));
    bth.perLeaf = kMaxAlloc / (cbKey + cbEnt);
    bth.cbRecord = size_t(cbKey) + cbEnt;
    const size_t cbRecord = bth.cbRecord, count = records.size() / cbRecord;
    std::vector<std::pair<std::string, uint32_t>> level;  // first key, HID
    for (size_t start = 0; start < count; start += bth.perLeaf) {
        size_t n = std::min(bth.perLeaf, count - start);
        bth.leaves.push_back(heap.Allocate(std::string(records.substr(start * cbRecord, n * cbRecord))));
        level.emplace_back(records.substr(start * cbRecord, cbKey), bth.leaves.back());
    }
    uint8_t levels = 0;
    size_t perBranch = kMaxAlloc / (cbKey + 4);
    while (level.size() > 1) {
        std::vector<std::pair<std::string, uint32_t>> upper;
        for (size_t start = 0; start < level.size(); start += perBranch) {
            std::string branch;
            size_t n = std::min(perBranch, level.size() - start);
            for (size_t i = start; i < start + n; ++i) {
                branch += level[i].first;
                Append<uint32_t>(branch, level[i].second);
            }
            upper.emplace_back(level[start].first, heap.Allocate(std::move(branch)));
        }
        level.swap(upper);
        ++levels;
    }
    std::string h;
    Append<uint8_t>(h, 0xB5);
    Append<uint8_t>(h, cbKey);
    Append<uint8_t>(h, cbEnt);
    Append<uint8_t>(h, levels);
    Append<uint32_t>(h, level.empty() ? 0 : level.front().second);
    heap.Replace(bth.header, h);
    return bth;
}

void RefillBth(CHeap& heap, const CBthLayout& bth, std::string_view records) {
    const size_t leafBytes = bth.perLeaf * bth.cbRecord;
    for (size_t i = 0; i < bth.leaves.size(); ++i)
        heap.Replace(bth.leaves[i], std::string(records.substr(i * leafBytes, leafBytes)));
}

uint64_t WritePropertyContext(CNodeBuilder& node, const std::map<uint32_t, CEncoded>& props) {
    // The header and the leaves go first, as Outlook lays out a property
    // context; the values they refer to follow, and the leaves are then
    // filled in with their HNIDs.
    CHeap heap(0xBC);
    std::string records;  // 8 bytes each: property id, type, HNID
    for (const auto& [tag, value] : props) {
        Append<uint16_t>(records, uint16_t(tag >> 16));
        Append<uint16_t>(records, uint16_t(tag & 0xFFFF));
        Append<uint32_t>(records, 0);
    }
    CBthLayout bth = BuildBth(heap, 2, 6, records);
    size_t i = 0;
    for (const auto& [tag, value] : props) {
        uint16_t type = uint16_t(tag & 0xFFFF);
        uint32_t hnid = 0;
        if (type == 0x0002 || type == 0x000B || IsInline4(type)) {
            std::string bytes = ReadAll(value);
            bytes.resize(4, '\0');
            for (int b = 0; b < 4; ++b) hnid |= uint32_t(uint8_t(bytes[b])) << (8 * b);
        } else {
            hnid = StoreValue(heap, node, value);
        }
        Store<uint32_t>(records, 8 * i++ + 4, hnid);
    }
    RefillBth(heap, bth, records);
    heap.SetUserRoot(bth.header);
    return heap.Write(node.file);
}

// ---- tables -----------------------------------------------------------------------------

CTableBuilder::CTableBuilder(CNodeBuilder& node, std::vector<uint32_t> columns) : node(node) {
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    std::erase_if(columns, [](uint32_t t) { return t == 0x67F20003 || t == 0x67F30003; });
    cols.push_back({0x67F20003, 0, 4, 0});
    cols.push_back({0x67F30003, 4, 4, 1});
    uint16_t ib = 8;
    uint8_t bit = 2;
    for (uint8_t width : {uint8_t(8), uint8_t(4), uint8_t(2), uint8_t(1)}) {
        for (uint32_t tag : columns) {
            if (CellWidth(uint16_t(tag & 0xFFFF)) != width) continue;
            cols.push_back({tag, ib, width, bit++});
            ib = uint16_t(ib + width);
        }
        if (width == 4) rgib[0] = ib;
        if (width == 2) rgib[1] = ib;
        if (width == 1) rgib[2] = ib;
    }
    rgib[3] = uint16_t(rgib[2] + (cols.size() + 7) / 8);
    std::sort(cols.begin(), cols.end(), [](const CColumn& a, const CColumn& b) { return a.tag < b.tag; });
    hidRowIndex = heap.Allocate(std::string(8, '\0'));
    hidInfo = heap.Allocate(Info(0, 0));
    // Only the first page (the header, the row index's header and the
    // table's description) changes later: a table of many rows keeps only
    // the page it is filling in memory.
    heap.WriteFullPagesTo(node.file);
}

std::string CTableBuilder::Info(uint32_t hidRows, uint32_t hnidRows) const {
    std::string info;
    Append<uint8_t>(info, 0x7C);
    Append<uint8_t>(info, uint8_t(cols.size()));
    for (uint16_t v : rgib) Append<uint16_t>(info, v);
    Append<uint32_t>(info, hidRows);
    Append<uint32_t>(info, hnidRows);
    Append<uint32_t>(info, 0);
    for (const auto& c : cols) {
        Append<uint32_t>(info, c.tag);
        Append<uint16_t>(info, c.ib);
        Append<uint8_t>(info, c.cb);
        Append<uint8_t>(info, c.iBit);
    }
    return info;
}

void CTableBuilder::AddRow(uint32_t rowId, const std::map<uint32_t, CEncoded>& cells) {
    std::string row(rgib[3], '\0');
    auto setBit = [&](uint8_t iBit) { row[rgib[2] + iBit / 8] = char(uint8_t(row[rgib[2] + iBit / 8]) | (0x80 >> (iBit % 8))); };
    Store<uint32_t>(row, 0, rowId);
    Store<uint32_t>(row, 4, ++rowVersion);
    setBit(0);
    setBit(1);
    for (const auto& c : cols) {
        if (c.iBit < 2) continue;
        auto it = cells.find(c.tag);
        if (it == cells.end()) continue;
        uint16_t type = uint16_t(c.tag & 0xFFFF);
        if (c.cb != 4 || IsInline4(type)) {
            std::string bytes = ReadAll(it->second);
            bytes.resize(c.cb, '\0');
            row.replace(c.ib, c.cb, bytes);
        } else {
            Store<uint32_t>(row, c.ib, StoreValue(heap, node, it->second));
        }
        setBit(c.iBit);
    }
    rows += row;
    rowIds.push_back(rowId);
    FlushRowBlocks();
}

// A folder of many messages has a row matrix of many megabytes: its blocks
// go into the file as they fill, so the table holds at most one block of rows.
void CTableBuilder::FlushRowBlocks() {
    if (rowTree == nullptr && (rowIds.size() * rgib[3] <= kMaxAlloc || rows.size() <= RowsPerBlock() * rgib[3]))
        return;
    AppendRowBlocks(false);
}

// Each block holds a whole number of rows, and every block but the last is
// padded to the full block size: readers find row N in block N / rowsPerBlock
// at (N % rowsPerBlock) * rowSize. Until the last rows are in, a full block
// waits for a row to follow it, since the last one is not padded.
void CTableBuilder::AppendRowBlocks(bool last) {
    if (rowTree == nullptr) rowTree = std::make_unique<ndb::CDataTreeBuilder>(node.file);
    const size_t blockBytes = RowsPerBlock() * rgib[3];
    size_t at = 0;
    for (; at < rows.size() && (last || rows.size() - at > blockBytes); at += blockBytes) {
        std::string block = rows.substr(at, blockBytes);
        if (at + blockBytes < rows.size()) block.resize(ndb::kMaxBlockData, '\0');
        rowTree->AppendBlock(block);
        ++rowBlocks;
    }
    rows.erase(0, std::min(at, rows.size()));
}

uint64_t CTableBuilder::SizeBound() const {
    constexpr uint64_t kBlockOverhead = 16 + 63;
    uint64_t n = rowIds.size();
    uint64_t index = 8 * n + 16 * (n / 64 + 1) + 64;  // the row index's leaves and branches
    bool rowsInHeap = rowTree == nullptr && rows.size() <= kMaxAlloc;
    uint64_t bound = heap.SizeBound(index + (rowsInHeap ? rows.size() : 0));
    uint64_t subnodes = node.SubnodeCount();
    if (!rowsInHeap) {
        // The blocks of rows still to be written (those written are in the
        // file already), the XBLOCKs over all blocks and an XXBLOCK.
        uint64_t rowSize = std::max<uint64_t>(1, rgib[3]);
        uint64_t pending = rows.size() / (ndb::kMaxBlockData / rowSize * rowSize) + 1;
        uint64_t blocks = rowBlocks + pending;
        bound += pending * (ndb::kMaxBlockData + kBlockOverhead);
        bound += 8 * blocks + (blocks / 1021 + 2) * (8 + kBlockOverhead);
        ++subnodes;
    }
    if (subnodes > 0) {
        // The subnode tree: SLBLOCKs of 340 entries under an SIBLOCK.
        uint64_t leaves = subnodes / 340 + 1;
        bound += 24 * subnodes + leaves * (8 + kBlockOverhead) + 16 * leaves + 8 + kBlockOverhead;
    }
    return bound;
}

uint64_t CTableBuilder::Write() {
    std::vector<std::pair<uint32_t, uint32_t>> index;
    for (uint32_t i = 0; i < rowIds.size(); ++i) index.emplace_back(rowIds[i], i);
    std::sort(index.begin(), index.end());
    // A table of many rows has as many records: they are kept end to end.
    std::string records;
    records.reserve(8 * index.size());
    for (const auto& [id, pos] : index) {
        Append<uint32_t>(records, id);
        Append<uint32_t>(records, pos);
    }
    std::vector<std::pair<uint32_t, uint32_t>>().swap(index);
    BuildBth(heap, 4, 4, records, hidRowIndex);
    uint32_t hnidRows = 0;
    if (rowTree == nullptr && !rows.empty() && rows.size() <= kMaxAlloc) {
        hnidRows = heap.Allocate(rows);
    } else if (rowTree != nullptr || !rows.empty()) {
        AppendRowBlocks(true);
        hnidRows = node.NewSubnodeNid();
        node.AddSubnode(hnidRows, rowTree->Finish(), 0);
    }
    heap.Replace(hidInfo, Info(hidRowIndex, hnidRows));
    heap.SetUserRoot(hidInfo);
    return heap.Write(node.file);
}

}  // namespace pst::ltp

// The lists, tables and properties layer of a PST file: heap-on-node over
// any number of blocks, BTree-on-heap of any depth, property contexts (values
// inline, in the heap or in subnodes by size) and table contexts (row index,
// cell-existence bitmap, row matrix in the heap or in a subnode).
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/pst/Ndb.h"

namespace pst::ltp {

constexpr size_t kMaxAlloc = 3580;  // largest heap allocation

// A value too large to hold in memory: its size and a producer that hands
// its bytes to a sink in chunks.
struct CStreamedValue {
    uint64_t size = 0;
    std::function<void(const std::function<void(std::string_view)>&)> produce;
};
// A property value in its on-disk encoding (little-endian, UTF-16LE, ...).
using CEncoded = std::variant<std::string, CStreamedValue>;
uint64_t EncodedSize(const CEncoded& v);

// The subnodes of one node (or subnode) under construction, and the
// counters that hand out subnode NIDs.
class CNodeBuilder {
public:
    CNodeBuilder(ndb::CNdbFile& file, uint32_t& nidCounter) : file(file), nidCounter(nidCounter) {}
    uint32_t NewSubnodeNid(uint32_t type = ndb::NID_TYPE_LTP) { return ndb::MakeNid(type, ++nidCounter); }
    void AddSubnode(uint32_t nid, uint64_t bidData, uint64_t bidSub) { subnodes.push_back({nid, bidData, bidSub}); }
    // Writes the subnode tree; returns its BID (0 without subnodes).
    uint64_t FinishSubnodes() { return ndb::WriteSubnodeTree(file, std::move(subnodes)); }
    size_t SubnodeCount() const { return subnodes.size(); }
    ndb::CNdbFile& file;
    uint32_t& nidCounter;

private:
    std::vector<ndb::CSubnodeEntry> subnodes;
};

// A heap-on-node being built in memory.
class CHeap {
public:
    explicit CHeap(uint8_t clientSig) : clientSig(clientSig) { pages.emplace_back(); }
    // Allocates (size <= kMaxAlloc); returns the HID.
    uint32_t Allocate(std::string data);
    // Replaces an allocation's bytes by as many other bytes.
    void Replace(uint32_t hid, std::string data);
    void SetUserRoot(uint32_t hid) { userRoot = hid; }
    // From now on a page that is full goes into `file` at once (but the
    // first and the bitmap pages, whose fill levels change until the end);
    // its allocations can no longer be replaced. For large tables.
    void WriteFullPagesTo(ndb::CNdbFile& file) { early = &file; }
    // Writes the heap's pages as the node's data tree; returns its BID.
    uint64_t Write(ndb::CNdbFile& file) const;
    // An upper bound of the bytes Write puts into the file when `more`
    // bytes of further allocations are still to come.
    uint64_t SizeBound(uint64_t more) const;

private:
    // A page's allocations lie back to back in `data`; `ends` holds where
    // each one ends, so a heap of many small values costs little more than
    // their bytes.
    struct CPage {
        std::string data;
        std::vector<uint16_t> ends;
        uint64_t bid = 0;  // when written early: its block, and its size then
        uint16_t writtenSize = 0;
    };
    void ClosePage(size_t index);
    static size_t HeaderSize(size_t pageIndex);
    static constexpr uint64_t kBlockOverhead = 16 + 63;  // trailer and alignment
    std::string BuildPage(size_t index) const;
    size_t PageSize(size_t index) const;  // the size BuildPage gives
    uint8_t clientSig;
    uint32_t userRoot = 0;
    std::vector<CPage> pages;
    uint64_t closedBytes = 0;  // the written size of every page but the last and those written early
    ndb::CNdbFile* early = nullptr;
};

// Stores a value: HNID 0 when empty, a heap allocation up to kMaxAlloc
// bytes, otherwise a subnode with the value's data tree.
uint32_t StoreValue(CHeap& heap, CNodeBuilder& node, const CEncoded& value);

// A BTree-on-heap as laid out: its header and the leaves that hold the
// records in order, perLeaf records each.
struct CBthLayout {
    uint32_t header = 0;
    std::vector<uint32_t> leaves;
    size_t perLeaf = 0;
    size_t cbRecord = 0;  // bytes of one record
};

// Builds a BTree-on-heap over records (key + data, sorted by key): the
// header first (into `header` when one is reserved), then the leaves, then
// the index levels above them.
// `records`: the records end to end, cbKey + cbEnt bytes each.
CBthLayout BuildBth(CHeap& heap, uint8_t cbKey, uint8_t cbEnt, std::string_view records, uint32_t header = 0);
// Rewrites the leaves with records of the same keys and sizes (end to end).
void RefillBth(CHeap& heap, const CBthLayout& bth, std::string_view records);

// Writes a property context; returns the BID of its data tree. Values of
// fixed types up to 4 bytes go inline; all others by StoreValue.
uint64_t WritePropertyContext(CNodeBuilder& node, const std::map<uint32_t, CEncoded>& props);

// A table context being built.
class CTableBuilder {
public:
    // Columns besides RowId (0x67F20003) and RowVer (0x67F30003).
    CTableBuilder(CNodeBuilder& node, std::vector<uint32_t> columns);
    // Adds a row; cells whose tag is not a column are ignored.
    void AddRow(uint32_t rowId, const std::map<uint32_t, CEncoded>& cells);
    size_t RowCount() const { return rowIds.size(); }
    // An upper bound of the bytes Write and the node's subnode tree put
    // into the file.
    uint64_t SizeBound() const;
    // Writes the table; returns the BID of its data tree.
    uint64_t Write();

private:
    struct CColumn {
        uint32_t tag;
        uint16_t ib;
        uint8_t cb;
        uint8_t iBit;
    };
    std::string Info(uint32_t hidRows, uint32_t hnidRows) const;
    CNodeBuilder& node;
    CHeap heap{0x7C};
    std::vector<CColumn> cols;  // sorted by tag
    // The row index's header and the table's description take the first two
    // HIDs, where Outlook puts them and where readers look for them.
    uint32_t hidRowIndex = 0;
    uint32_t hidInfo = 0;
    uint16_t rgib[4] = {0, 0, 0, 0};
    // Appends the whole blocks of rows that `rows` holds to the row matrix's
    // data tree, once the matrix is too large for the heap.
    void FlushRowBlocks();
    void AppendRowBlocks(bool last);  // last: the rest of the rows too
    size_t RowsPerBlock() const { return ndb::kMaxBlockData / std::max<size_t>(1, rgib[3]); }
    std::string rows;  // the rows not yet written
    std::unique_ptr<ndb::CDataTreeBuilder> rowTree;  // the written ones, for a large table
    uint64_t rowBlocks = 0;  // blocks in rowTree
    std::vector<uint32_t> rowIds;
    uint32_t rowVersion = 0;
};

}  // namespace pst::ltp

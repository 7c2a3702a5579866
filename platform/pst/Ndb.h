// The node database layer of a Unicode PST file: the file header with its
// two CRCs, blocks with their trailers, BIDs, the allocation maps (AMap,
// PMap, FMap, FPMap) at their fixed intervals, the node and block BTrees of
// any depth, data trees (XBLOCK / XXBLOCK) for streams over one block and
// subnode trees (SLBLOCK / SIBLOCK).
//
// The file is written in one pass from front to back: blocks are appended as
// they are produced (a thread of the file writes each full buffer while the
// next is filled), the BTree pages, allocation maps and header follow at
// the end. Memory use grows with the number of nodes (16 bytes each) and
// allocation-map ranges (496 bytes per 248 KB of file), never with the data;
// the block list (12 bytes a block) waits in a temporary file.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pst/BackgroundFile.h"
#include "platform/pst/Spool.h"

namespace pst::ndb {

constexpr size_t kMaxBlockData = 8176;   // largest cb of one block
constexpr size_t kPageSize = 512;
constexpr uint64_t kFirstAMap = 0x4400;
constexpr uint64_t kAMapRange = 0x3E000;  // bytes covered by one AMap

// The CRC-32 of the PST format (reflected, polynomial 0xEDB88320, initial
// value 0, no final XOR).
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);
uint16_t ComputeSig(uint64_t ib, uint64_t bid);

enum ENidType : uint32_t {
    NID_TYPE_INTERNAL = 0x01,
    NID_TYPE_NORMAL_FOLDER = 0x02,
    NID_TYPE_SEARCH_FOLDER = 0x03,
    NID_TYPE_NORMAL_MESSAGE = 0x04,
    NID_TYPE_ATTACHMENT = 0x05,
    NID_TYPE_SEARCH_UPDATE_QUEUE = 0x06,
    NID_TYPE_SEARCH_CRITERIA_OBJECT = 0x07,
    NID_TYPE_ASSOC_MESSAGE = 0x08,
    NID_TYPE_HIERARCHY_TABLE = 0x0D,
    NID_TYPE_CONTENTS_TABLE = 0x0E,
    NID_TYPE_ASSOC_CONTENTS_TABLE = 0x0F,
    NID_TYPE_SEARCH_CONTENTS_TABLE = 0x10,
    NID_TYPE_LTP = 0x1F,
};
constexpr uint32_t MakeNid(uint32_t type, uint32_t index) { return (index << 5) | type; }

struct CSubnodeEntry {
    uint32_t nid = 0;
    uint64_t bidData = 0;
    uint64_t bidSub = 0;
};

class CNdbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file being written.
class CNdbFile {
public:
    // Creates (truncates) the file.
    explicit CNdbFile(const std::filesystem::path& path);
    ~CNdbFile();
    CNdbFile(const CNdbFile&) = delete;
    CNdbFile& operator=(const CNdbFile&) = delete;

    // Appends a data block (cb <= kMaxBlockData); returns its BID.
    uint64_t WriteDataBlock(std::string_view data);
    // Appends an internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK).
    uint64_t WriteInternalBlock(std::string_view data);

    // Registers a node of the node BTree.
    void AddNode(uint32_t nid, uint64_t bidData, uint64_t bidSub, uint32_t nidParent);

    // Writes the BTrees, the allocation maps and the header, then flushes
    // and closes the file. rgnid is the header's NID high-water marks.
    void Finish(const std::array<uint32_t, 32>& rgnid);

    uint64_t BytesWritten() const { return end; }
    // The size of the file once finished: whole allocation-map ranges.
    uint64_t FileSize() const;

    // Where the file stands: what RollBack needs to forget everything
    // written after it.
    struct CMark {
        uint64_t end = 0, nextBid = 0;
        size_t blocks = 0, nodes = 0, ranges = 0;
        std::array<uint8_t, 496> lastMap{};
    };
    CMark Mark() const;
    // Forgets the blocks and nodes written since the mark; their bytes stay
    // in the file as free space until they are overwritten or cut off.
    void RollBack(const CMark& mark);

    // An upper bound of the file's size after Finish, when `moreBytes` of
    // blocks, `moreBlocks` blocks and `moreNodes` nodes are still to come:
    // the blocks, a block lost at the end of every range they cross, the
    // BTree pages and the whole last range with its maps.
    uint64_t SizeAfterFinish(uint64_t moreBytes, uint64_t moreBlocks, uint64_t moreNodes) const;

private:
    // Packed, since a file holds one per block and one per node until the
    // end: BIDs are even and halved, block offsets are multiples of 64 and
    // kept in 64-byte units (so a file may reach 256 GiB).
    struct CBbtEntry {
        uint32_t bidHalf, ib64;
        uint16_t cb;
        uint64_t Bid() const { return uint64_t(bidHalf) << 1; }
        uint64_t Ib() const { return uint64_t(ib64) << 6; }
    };
    struct CNbtEntry {
        uint32_t nid, bidDataHalf, bidSubHalf, parent;
        uint64_t BidData() const { return uint64_t(bidDataHalf) << 1; }
        uint64_t BidSub() const { return uint64_t(bidSubHalf) << 1; }
    };
    static uint32_t HalfBid(uint64_t bid);
    struct CBref {
        uint64_t bid, ib;
    };

    uint64_t WriteBlock(std::string_view data, uint64_t bid);
    uint64_t Allocate(uint64_t size, uint64_t align);
    void MarkAllocated(uint64_t ib, uint64_t size);
    void Put(uint64_t ib, std::string_view bytes);  // ib >= written
    // Room for `size` bytes at ib (>= written) in the buffer, not cleared:
    // the caller writes every byte of it.
    char* Reserve(uint64_t ib, size_t size);
    void PutAt(uint64_t ib, std::string_view bytes);  // anywhere, unbuffered
    void Flush();
    void FlushWholePages();
    CBref WriteBTree(bool nodeTree);
    CBref WritePage(std::string page, uint8_t ptype, uint8_t level, uint8_t cEnt, uint8_t cEntMax, uint8_t cbEnt);
    void WriteMaps(uint64_t& cbAMapFree, uint64_t ranges);
    void WriteHeader(const std::array<uint32_t, 32>& rgnid, const CBref& nbt, const CBref& bbt, uint64_t ranges,
                     uint64_t cbAMapFree);

    std::unique_ptr<CBackgroundFile> file;
    CWriteBuffer buffer;
    uint64_t bufferStart = 0;  // file offset of buffer[0]
    uint64_t end = 0;          // first unallocated byte
    uint64_t nextBid = 4;
    uint64_t nextPageBid = 1;
    std::deque<std::array<uint8_t, 496>> amaps;  // one per AMap range
    // The block list, an entry per block, waits in a file beside the PST
    // (it is read once, in order, for the block BTree); the nodes, sorted at
    // the end, stay in a deque, which grows without copying.
    CSpool<CBbtEntry> blocks;
    std::deque<CNbtEntry> nodes;
};

// Builds the data tree of one node or subnode: raw streams are cut into
// blocks of kMaxBlockData bytes; heap pages are given one block each.
class CDataTreeBuilder {
public:
    explicit CDataTreeBuilder(CNdbFile& file) : file(file) {}
    void Append(std::string_view data);      // a raw stream, any length
    void AppendBlock(std::string_view data); // one whole block (heap page)
    // A block already in the file (WriteDataBlock), as the next leaf.
    void AppendWrittenBlock(uint64_t bid, uint32_t cb);
    // Writes the XBLOCKs / XXBLOCK as needed; returns the BID of the tree's
    // root (0 for an empty stream).
    uint64_t Finish();

private:
    void FlushPending();
    CNdbFile& file;
    std::string pending;
    std::vector<std::pair<uint64_t, uint32_t>> leaves;  // bid, cb
    uint64_t total = 0;
};

// Writes a subnode tree (SLBLOCK, or SIBLOCK over SLBLOCKs); returns its BID,
// 0 when there are no subnodes. Entries need not be sorted.
uint64_t WriteSubnodeTree(CNdbFile& file, std::vector<CSubnodeEntry> entries);

}  // namespace pst::ndb

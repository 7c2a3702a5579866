#include "platform/notes/ods/OdsContainer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/notes/ods/CxCodec.h"

namespace notes::ods {

namespace {
// File header and database information.
constexpr size_t kOdsVersion = 6;
constexpr size_t kReplicaId = 0xB4;
constexpr size_t kTitleBuffer = 0xC8;
constexpr size_t kTitleBufferSize = 128;
constexpr size_t kDbInfo2 = 0x208;

// Superblock header.
constexpr uint16_t kSuperblockSignature = 0x000E;
constexpr size_t kSuperblockHeader = 100;
constexpr size_t kSummaryPageSize = 8206, kSummaryPageHeader = 224, kSummaryDescriptor = 14;
constexpr size_t kNonSummaryPageSize = 8198, kNonSummaryPageHeader = 70, kNonSummaryDescriptor = 6;
constexpr size_t kBitmapDescriptor = 20;

// Bucket descriptor block header.
constexpr uint16_t kDescriptorBlockSignature = 0x0001;
constexpr size_t kDescriptorBlockHeader = 70;

// RRV bucket and buckets.
constexpr size_t kRrvBucketHeader = 32;
constexpr size_t kRrvEntry = 8;
constexpr uint32_t kUnusedRrv = 0xFFFFFFFFu;
// The entry of a note or object that was deleted.
constexpr uint32_t kDeletedRrv = 0x7FFFFFFFu;
constexpr size_t kBucketHeader = 68;
constexpr size_t kCachedBuckets = 16;

}  // namespace

CMappedFile::CMappedFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw CNsfError("cannot open " + path);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw CNsfError("not a file: " + path);
    }
    size = static_cast<size_t>(st.st_size);
    if (size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            throw CNsfError("cannot map " + path);
        }
        data = static_cast<const uint8_t*>(map);
    }
    ::close(fd);
}

CMappedFile::~CMappedFile() {
    if (data) munmap(const_cast<uint8_t*>(data), size);
}

COdsContainer::COdsContainer(const std::string& path) : file(path) {
    ReadHeader();
    ReadSuperblock();
    ReadBucketDescriptorBlock();
    ReadRrvBuckets();
}

void COdsContainer::ReadHeader() {
    CBytes f = file.Bytes();
    if (f.Size() < kDbInfo2 + 124 || f.U16(0) != 0x001A) throw CNsfError("not a Notes database file");
    ods = f.U16(kOdsVersion);
    replicaId.Innards[0] = f.U32(kReplicaId);
    replicaId.Innards[1] = f.U32(kReplicaId + 4);
    // The title buffer holds the title, then after a line feed the
    // categories, class and template name.
    std::string buffer = f.Str(kTitleBuffer, kTitleBufferSize);
    title = buffer.substr(0, buffer.find_first_of(std::string("\n\0", 2)));
    for (int k = 0; k < 4; ++k) {
        size_t position = static_cast<size_t>(f.U32(kDbInfo2 + 40 + 8 * k)) * 256;
        if (position) superblocks.push_back(position);
    }
    for (size_t at : {kDbInfo2 + 108, kDbInfo2 + 116}) {
        size_t position = static_cast<size_t>(f.U32(at)) * 256;
        if (position) descriptorBlocks.push_back(position);
    }
}

// The freshest copy (highest write count) that decodes wins; a damaged copy
// leaves a warning and the next one is tried.
void COdsContainer::ReadSuperblock() {
    CBytes f = file.Bytes();
    std::vector<std::pair<uint32_t, size_t>> copies;
    for (size_t position : superblocks)
        if (f.Has(position, kSuperblockHeader + 4) && f.U16(position) == kSuperblockSignature)
            copies.emplace_back(f.U32(position + 60), position);
    std::sort(copies.rbegin(), copies.rend());
    for (const auto& copy : copies)
        if (TrySuperblock(copy.second)) return;
    throw CNsfError("no readable superblock: the database is damaged or encrypted locally");
}

bool COdsContainer::TrySuperblock(size_t position) {
    CBytes f = file.Bytes();
    try {
        CBytes header = f.Sub(position, kSuperblockHeader + 4);
        size_t expanded = header.U32(10);
        size_t summaryCount = header.U32(14), nonSummaryCount = header.U32(18), bitmaps = header.U32(22);
        size_t rrvSize = header.U32(26);
        size_t rrvPosition = static_cast<size_t>(header.U32(30)) * 256;
        unsigned compression = header.U16(68);
        size_t summaryPages = header.U32(70), nonSummaryPages = header.U32(74);
        size_t stored = header.U32(100);
        std::string data = compression == 0 ? f.Str(position + 104, expanded)
                                             : CxDecompress(f.Sub(position + 104, stored), expanded);
        CBytes d(data);
        std::vector<size_t> summary, nonSummary;
        size_t offset = 0;
        size_t perPage = (kSummaryPageSize - kSummaryPageHeader) / kSummaryDescriptor;
        for (size_t page = 0; page < summaryPages; ++page, offset += kSummaryPageSize)
            for (size_t k = 0; k < perPage && summary.size() < summaryCount; ++k)
                summary.push_back(static_cast<size_t>(d.U32(offset + kSummaryPageHeader + kSummaryDescriptor * k)) * 256);
        perPage = (kNonSummaryPageSize - kNonSummaryPageHeader) / kNonSummaryDescriptor;
        for (size_t page = 0; page < nonSummaryPages; ++page, offset += kNonSummaryPageSize)
            for (size_t k = 0; k < perPage && nonSummary.size() < nonSummaryCount; ++k)
                nonSummary.push_back(
                    static_cast<size_t>(d.U32(offset + kNonSummaryPageHeader + kNonSummaryDescriptor * k)) * 256);
        if (summary.size() != summaryCount || nonSummary.size() != nonSummaryCount)
            throw COdsDamage("bucket descriptors missing");
        offset += kBitmapDescriptor * bitmaps;
        currentRrvBucket = d.Str(offset, rrvSize);
        currentRrvPosition = rrvPosition;
        rrvBucketSize = rrvSize;
        summaryBuckets = std::move(summary);
        nonSummaryBuckets = std::move(nonSummary);
        return true;
    } catch (const CNsfError& damage) {
        warnings.push_back("superblock at " + std::to_string(position) + " cannot be read: " + damage.what());
        return false;
    }
}

void COdsContainer::ReadBucketDescriptorBlock() {
    CBytes f = file.Bytes();
    std::vector<std::pair<uint32_t, size_t>> copies;
    for (size_t position : descriptorBlocks)
        if (f.Has(position, kDescriptorBlockHeader) && f.U16(position) == kDescriptorBlockSignature)
            copies.emplace_back(f.U32(position + 10), position);
    std::sort(copies.rbegin(), copies.rend());
    for (const auto& copy : copies)
        if (TryBucketDescriptorBlock(copy.second)) return;
    throw CNsfError("no readable bucket descriptor block: the database is damaged or encrypted locally");
}

bool COdsContainer::TryBucketDescriptorBlock(size_t position) {
    CBytes f = file.Bytes();
    try {
        CBytes header = f.Sub(position, kDescriptorBlockHeader);
        unsigned compression = header.U16(4);
        size_t expanded = header.U32(6);
        size_t nameCount = header.U32(26);
        size_t bucketCount = header.U32(38);
        size_t stored = header.U32(66);
        std::string data = compression == 0 ? f.Str(position + kDescriptorBlockHeader, expanded)
                                             : CxDecompress(f.Sub(position + kDescriptorBlockHeader, stored), expanded);
        CBytes d(data);
        std::vector<std::pair<uint32_t, uint32_t>> buckets;
        for (size_t k = 0; k < bucketCount; ++k) buckets.emplace_back(d.U32(8 * k), d.U32(8 * k + 4));
        size_t table = 8 * bucketCount;
        size_t textSizeAt = table + 10 * nameCount;
        size_t textSize = d.U32(textSizeAt);
        CBytes text = d.Sub(textSizeAt + 4, textSize);
        std::vector<CUniqueName> table2;
        table2.reserve(nameCount);
        for (size_t k = 0; k < nameCount; ++k) {
            size_t entry = table + 10 * k;
            table2.push_back({text.Str(d.U32(entry), d.U16(entry + 4)), d.U16(entry + 6)});
        }
        rrvBuckets = std::move(buckets);
        names = std::move(table2);
        return true;
    } catch (const CNsfError& damage) {
        warnings.push_back("bucket descriptor block at " + std::to_string(position) +
                           " cannot be read: " + damage.what());
        return false;
    }
}

// Entry k of an RRV bucket whose first ID is I belongs to ID I + 4k. The
// superblock's copy of the current RRV bucket can be newer than the one on
// disk, so it is read instead of that one.
void COdsContainer::ReadRrvBuckets() {
    CBytes f = file.Bytes();
    for (const auto& [where, firstId] : rrvBuckets) {
        bool data = (where & 1u) == 0;
        size_t position = static_cast<size_t>(where & ~1u) * 256;
        try {
            CBytes bucket = position == currentRrvPosition ? CBytes(currentRrvBucket) : f.Sub(position, rrvBucketSize);
            uint32_t first = bucket.U32(6);
            for (size_t k = 0; kRrvBucketHeader + kRrvEntry * (k + 1) <= bucket.Size(); ++k) {
                uint32_t a = bucket.U32(kRrvBucketHeader + kRrvEntry * k);
                uint32_t b = bucket.U32(kRrvBucketHeader + kRrvEntry * k + 4);
                if (a == kUnusedRrv || a == kDeletedRrv || a == 0) continue;
                rrv[first + 4 * static_cast<uint32_t>(k)] = CRrvEntry{a, b, data};
            }
        } catch (const CNsfError& damage) {
            warnings.push_back("RRV bucket at " + std::to_string(position) + " (first ID " + std::to_string(firstId) +
                               ") cannot be read: " + damage.what());
        }
    }
}

std::shared_ptr<const std::string> COdsContainer::Bucket(size_t position) const {
    {
        std::lock_guard<std::mutex> guard(cacheLock);
        for (const auto& [at, bucket] : recentBuckets)
            if (at == position) return bucket;
    }
    CBytes f = file.Bytes();
    CBytes header = f.Sub(position, kBucketHeader);
    if (header.U8(0) != 0x02) throw COdsDamage("not a bucket at " + std::to_string(position));
    size_t size = header.U32(6);
    if (size < 1024 || size % 512 != 0) throw COdsDamage("bucket at " + std::to_string(position) + " has a bad size");
    auto copy = std::make_shared<std::string>(f.Str(position, size));
    std::string& b = *copy;
    size_t saved = size / 1024;
    for (size_t k = 0; k < size / 512; ++k) {
        auto real = static_cast<uint8_t>(b[size - 1 - k / 2]);
        uint8_t nibble = k % 2 == 0 ? real >> 4 : real & 0x0F;
        size_t at = k * 512 + 0x42;
        if (at < size - saved) b[at] = static_cast<char>((static_cast<uint8_t>(b[at]) & 0xF0) | nibble);
    }
    std::lock_guard<std::mutex> guard(cacheLock);
    if (recentBuckets.size() >= kCachedBuckets) recentBuckets.erase(recentBuckets.begin());
    recentBuckets.emplace_back(position, copy);
    return copy;
}

// A bucket ends with its footer; before it, from the back, one index entry
// (offset, length) per slot, slot 1 last.
CRecord COdsContainer::Slot(size_t position, unsigned slot) const {
    auto bucket = Bucket(position);
    CBytes body(*bucket);
    size_t size = body.Size();
    size_t slots = body.U32(44);
    size_t footer = body.U32(50);
    if (slot == 0 || slot > slots) throw COdsDamage("no slot " + std::to_string(slot) + " in the bucket");
    if (footer + 4 * static_cast<size_t>(slot) > size) throw COdsDamage("bucket index runs past the bucket");
    size_t entry = size - footer - 4 * static_cast<size_t>(slot);
    size_t offset = body.U16(entry), length = body.U16(entry + 2);
    if (offset < kBucketHeader) throw COdsDamage("bucket slot points into the bucket header");
    return CRecord{bucket, body.Sub(offset, length)};
}

CRecord COdsContainer::AtFilePosition(uint32_t position256) const {
    CBytes f = file.Bytes();
    size_t position = static_cast<size_t>(position256) * 256;
    size_t length = f.U32(position + 2);
    return CRecord{nullptr, f.Sub(position, length)};
}

CRecord COdsContainer::Record(uint32_t id) const {
    auto it = rrv.find(id);
    if (it == rrv.end()) throw COdsDamage("no RRV entry");
    const CRrvEntry& e = it->second;
    if (!e.InBucket()) return AtFilePosition(e.first);
    size_t bucket = e.first & 0x00FFFFFFu;
    if (bucket == 0 || bucket > summaryBuckets.size()) throw COdsDamage("RRV entry names a missing bucket");
    return Slot(summaryBuckets[bucket - 1], e.second & 0x7FFu);
}

// The identifier is a file position / 256, or with bit 31 set a non-summary
// bucket (low bits) and slot (bits 24-30). In the samples the bucket is in
// the low 16 bits and bits 16-23 may hold other values: both readings are
// tried, and only a record that names this note is taken.
CRecord COdsContainer::NonSummaryRecord(uint32_t where, uint32_t noteId) const {
    auto names = [noteId](const CRecord& r) {
        return r.bytes.Size() >= 10 && r.bytes.U16(0) == 0x0010 && r.bytes.U32(6) == noteId;
    };
    if (!(where & 0x80000000u)) {
        CRecord r = AtFilePosition(where);
        if (!names(r)) throw COdsDamage("non-summary record does not belong to the note");
        return r;
    }
    unsigned slot = (where >> 24) & 0x7Fu;
    for (uint32_t bucket : {where & 0x00FFFFFFu, where & 0x0000FFFFu}) {
        if (bucket == 0 || bucket > nonSummaryBuckets.size()) continue;
        try {
            CRecord r = Slot(nonSummaryBuckets[bucket - 1], slot);
            if (names(r)) return r;
        } catch (const COdsDamage&) {
        }
    }
    throw COdsDamage("non-summary record cannot be found");
}

}  // namespace notes::ods

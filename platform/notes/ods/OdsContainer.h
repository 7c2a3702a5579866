// The container layer of a real NSF file: the file header and database
// information (title, replica ID, on-disk structure version), the freshest
// readable superblock (bucket descriptors and the current RRV bucket), the
// freshest readable bucket descriptor block (the unique-name-key table of
// item names and types, the list of RRV buckets), the RRV buckets (note or
// object ID to its place in the file) and the slots of summary and
// non-summary buckets. The file is mapped read-only; opening reads only these
// header structures, never the notes. docs/nsf-format.md describes them.
#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/notes/ods/OdsBytes.h"

namespace notes::ods {

// The file, mapped read-only for the life of the object.
class CMappedFile {
public:
    explicit CMappedFile(const std::string& path);
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;
    CBytes Bytes() const { return CBytes(data, size); }

private:
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// An entry of the unique-name-key table: an item name and the data type its
// values have unless they carry their own.
struct CUniqueName {
    std::string name;   // LMBCS
    uint16_t type = 0;
};

// The bytes of a note, non-summary or object record. Records in buckets are
// copies (see COdsContainer::Bucket) that owner keeps alive; records at file
// positions are read in place.
struct CRecord {
    std::shared_ptr<const std::string> owner;
    CBytes bytes;
};

// Where an RRV entry puts a note, a non-summary record or an object.
struct CRrvEntry {
    uint32_t first = 0;     // file position / 256, or bucket ID with bit 31 set
    uint32_t second = 0;    // slot of the bucket in bits 0-10
    bool dataNote = false;  // listed by a data (document) RRV bucket
    bool InBucket() const { return (first & 0x80000000u) != 0; }
};

class COdsContainer {
public:
    // Throws CNsfError when the file is not an NSF file or its header
    // structures cannot be read.
    explicit COdsContainer(const std::string& path);

    unsigned Ods() const { return ods; }
    const std::string& Title() const { return title; }    // LMBCS
    DBID ReplicaId() const { return replicaId; }
    const std::map<uint32_t, CRrvEntry>& Rrv() const { return rrv; }
    const CUniqueName* UniqueName(uint16_t index) const {
        return index < names.size() ? &names[index] : nullptr;
    }
    // Problems met while opening that did not stop it (a damaged copy of a
    // superblock, an unreadable RRV bucket), for the record.
    const std::vector<std::string>& Warnings() const { return warnings; }

    // The record of the note or object with this RRV ID (note header or
    // object record); throws COdsDamage when its place cannot be read.
    CRecord Record(uint32_t id) const;
    // The non-summary record of the note, from the identifier in its header.
    CRecord NonSummaryRecord(uint32_t where, uint32_t noteId) const;
    CBytes File() const { return file.Bytes(); }

    // A summary or non-summary bucket as Notes meant it: Notes stamps the
    // low four bits of byte 0x42 of every 512-byte sector of a bucket with
    // a write count and keeps the real four bits in the bucket's last
    // size/1024 bytes (sector k: byte n-1-k/2 of them, high half for even k).
    // Restored copies of recently read buckets are kept.
    std::shared_ptr<const std::string> Bucket(size_t position) const;

private:
    void ReadHeader();
    void ReadSuperblock();
    void ReadBucketDescriptorBlock();
    void ReadRrvBuckets();
    bool TrySuperblock(size_t position);
    bool TryBucketDescriptorBlock(size_t position);
    CRecord Slot(size_t bucket, unsigned slot) const;
    CRecord AtFilePosition(uint32_t position256) const;

    CMappedFile file;
    unsigned ods = 0;
    std::string title;
    DBID replicaId{};
    std::vector<size_t> superblocks, descriptorBlocks;   // file positions
    std::vector<size_t> summaryBuckets, nonSummaryBuckets;
    size_t rrvBucketSize = 0;
    size_t currentRrvPosition = 0;       // the RRV bucket the superblock holds a copy of
    std::string currentRrvBucket;
    std::vector<std::pair<uint32_t, uint32_t>> rrvBuckets;   // (position / 256 | data bit, first ID)
    std::vector<CUniqueName> names;
    std::map<uint32_t, CRrvEntry> rrv;
    std::vector<std::string> warnings;
    mutable std::mutex cacheLock;
    mutable std::vector<std::pair<size_t, std::shared_ptr<const std::string>>> recentBuckets;
};

}  // namespace notes::ods

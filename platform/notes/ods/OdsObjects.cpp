#include "platform/notes/ods/OdsObjects.h"

#include "platform/notes/LNErrors.h"
#include "platform/notes/ods/HuffmanCodec.h"

namespace notes::ods {

namespace {
constexpr uint16_t kObjectSignature = 0x0007;
constexpr size_t kObjectHeader = 22;
// Files of on-disk structure 52 and later write object records with a
// longer header.
constexpr uint16_t kLongObjectSignature = 0x001B;
constexpr size_t kLongObjectHeader = 115;
// Databases from this on-disk structure on may keep attachments in the
// server's attachment store instead of the file.
constexpr unsigned kFirstOdsWithAttachmentStore = 51;

constexpr uint16_t kCompressNone = 0, kCompressHuffman = 1, kCompressLz1 = 2, kRecompressHuffman = 3;

[[noreturn]] void Unreadable(const CFileObject& file, const std::string& why, LNSTATUS status) {
    throw CNoteUnreadable("attachment \"" + file.name + "\": " + why, status);
}

CRecord ObjectData(const COdsContainer& container, const CFileObject& file) {
    if (!container.Rrv().count(file.rrv)) {
        if (container.Ods() >= kFirstOdsWithAttachmentStore)
            Unreadable(file, "its object is not in the database file", ERR_OBJECT_EXTERNAL);
        Unreadable(file, "its object is missing", ERR_OBJECT_DAMAGED);
    }
    CRecord record = container.Record(file.rrv);
    switch (record.bytes.U16(0)) {
        case kObjectSignature: return CRecord{record.owner, record.bytes.From(kObjectHeader)};
        case kLongObjectSignature: return CRecord{record.owner, record.bytes.From(kLongObjectHeader)};
        default: Unreadable(file, "its object record is damaged", ERR_OBJECT_DAMAGED);
    }
}
}  // namespace

std::string ReadOdsObject(const COdsContainer& container, const CFileObject& file) {
    try {
        CRecord held = ObjectData(container, file);
        CBytes data = held.bytes;
        switch (file.compression & 0x000F) {
            case kCompressNone:
                if (data.Size() < file.fileSize) Unreadable(file, "its data is shorter than its size", ERR_OBJECT_DAMAGED);
                return data.Str(0, file.fileSize);
            case kCompressHuffman:
            case kRecompressHuffman:
                return HuffmanDecompress(data, file.fileSize);
            case kCompressLz1:
                Unreadable(file, "it is LZ1-compressed", ERR_OBJECT_COMPRESSION);
            default:
                Unreadable(file, "unknown compression " + std::to_string(file.compression), ERR_OBJECT_COMPRESSION);
        }
    } catch (const CNoteUnreadable&) {
        throw;
    } catch (const CNsfError& damage) {
        Unreadable(file, damage.what(), ERR_OBJECT_DAMAGED);
    }
}

}  // namespace notes::ods

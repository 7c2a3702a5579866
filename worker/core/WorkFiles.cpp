#include "worker/core/WorkFiles.h"

#include "worker/core/BinaryCodec.h"

namespace {

// Opens the existing file and writes the bytes from offset 0 without truncating.
bool OverwriteFromStart(const std::u16string& path, std::string_view bytes) {
    sys::CFile file;
    return file.OpenExisting(path) && file.Seek(0) && file.Write(bytes);
}

bool ReadExisting(const std::u16string& path, std::string& bytes) {
    sys::CFile file;
    if (!file.OpenExisting(path)) return false;
    bytes.assign(file.Size(), '\0');
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return true;
}

}  // namespace

std::string SerializeFolderRunRecord(const FolderRunRecord& record) {
    CBinaryWriter w;
    w.PutU32(record.folderNoteId);
    w.PutU32(record.position);
    w.PutCountedString(record.path);
    w.PutU8(record.status);
    return w.Bytes();
}

bool WriteFolderRunRecord(const std::u16string& path, const FolderRunRecord& record) {
    return OverwriteFromStart(path, SerializeFolderRunRecord(record));
}

bool ReadFolderRunRecord(const std::u16string& path, FolderRunRecord& record) {
    std::string bytes;
    if (!ReadExisting(path, bytes)) return false;
    CBinaryReader r(bytes);
    FolderRunRecord read;
    if (!r.GetU32(read.folderNoteId) || !r.GetU32(read.position) || !r.GetCountedString(read.path)) return false;
    if (!r.GetU8(read.status)) read.status = 1;
    record = std::move(read);
    return true;
}

std::vector<uint32_t> ParseCalendarIds(std::string_view bytes) {
    std::vector<uint32_t> ids;
    ids.reserve((bytes.size() + 3) / 4);
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t id = 0;
        for (size_t k = 0; k < 4 && i + k < bytes.size(); ++k)
            id |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + k])) << (8 * k);
        ids.push_back(id);
    }
    return ids;
}

bool ReadCalendarIds(const std::u16string& path, std::vector<uint32_t>& ids) {
    std::string bytes;
    if (!ReadExisting(path, bytes)) return false;
    ids = ParseCalendarIds(bytes);
    return true;
}

bool ClearCalendarIds(const std::u16string& path) {
    if (!sys::FileExists(path)) return false;
    sys::CFile file;
    return file.CreateOrTruncate(path);
}

bool CCalendarIdWriter::Open(const std::u16string& path, bool appendToEnd) {
    if (!file.OpenExisting(path)) return false;
    return appendToEnd ? file.SeekToEnd() : file.Seek(0);
}

bool CCalendarIdWriter::Append(uint32_t noteId) {
    CBinaryWriter w;
    w.PutU32(noteId);
    return file.Write(w.Bytes());
}

std::string SerializeSelection(const SelectionFile& s, EViewerMode mode) {
    CBinaryWriter w;
    w.PutU8(s.status);
    if (s.status != SelectionExport) return w.Bytes();
    if (mode != EViewerMode::SaveDialogOnly) {
        w.PutU32(static_cast<uint32_t>(s.entries.size()));
        for (const SelectionEntry& e : s.entries) {
            w.PutByteCountedString(e.path);
            w.PutU8(e.hasEntries);
            w.PutU32(e.noteId);
        }
    }
    if (mode != EViewerMode::Batch) w.PutByteCountedString(s.destinationFolder);
    if (mode == EViewerMode::Full) w.PutByteCountedString(s.reservedPath);
    return w.Bytes();
}

std::optional<SelectionFile> ParseSelection(std::string_view bytes, EViewerMode mode) {
    CBinaryReader r(bytes);
    SelectionFile s;
    if (!r.GetU8(s.status)) return std::nullopt;
    if (s.status != SelectionExport) return s;
    if (mode != EViewerMode::SaveDialogOnly) {
        uint32_t count;
        if (!r.GetU32(count) || count > r.Remaining() / 9) return std::nullopt;
        for (uint32_t i = 0; i < count; ++i) {
            SelectionEntry e;
            if (!r.GetByteCountedString(e.path) || !r.GetU8(e.hasEntries) || !r.GetU32(e.noteId)) return std::nullopt;
            s.entries.push_back(std::move(e));
        }
    }
    if (mode != EViewerMode::Batch && !r.GetByteCountedString(s.destinationFolder)) return std::nullopt;
    if (mode == EViewerMode::Full && !r.GetByteCountedString(s.reservedPath)) return std::nullopt;
    return s;
}

bool WriteSelection(const std::u16string& path, const SelectionFile& selection, EViewerMode mode) {
    return OverwriteFromStart(path, SerializeSelection(selection, mode));
}

std::optional<SelectionFile> ReadSelection(const std::u16string& path, EViewerMode mode) {
    std::string bytes;
    if (!ReadExisting(path, bytes)) return std::nullopt;
    return ParseSelection(bytes, mode);
}

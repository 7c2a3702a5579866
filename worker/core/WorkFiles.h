// The work-directory files that carry the conversion between the programs:
// the folder run record (setting.txt), the calendar ID list (cal.txt) and the
// selection file (Folderpth.txt). Every writer opens an existing file without
// creating it and writes from offset 0 without truncating, so bytes of an
// older, longer content stay behind the new end.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/sys/Files.h"

// setting.txt
struct FolderRunRecord {
    uint32_t folderNoteId = 0;
    uint32_t position = 0;
    std::u16string path;
    uint8_t status = 1;  // 1 working or complete, 0 stopped by the user
    bool operator==(const FolderRunRecord&) const = default;
};

std::string SerializeFolderRunRecord(const FolderRunRecord& record);
// Writes the whole record from offset 0 of the existing file.
bool WriteFolderRunRecord(const std::u16string& path, const FolderRunRecord& record);
// Reads note ID, position and path; the status byte is read when present.
bool ReadFolderRunRecord(const std::u16string& path, FolderRunRecord& record);

// cal.txt: consecutive u32 note IDs. A final group of fewer than four bytes
// is read as an ID padded with zero bytes.
std::vector<uint32_t> ParseCalendarIds(std::string_view bytes);
bool ReadCalendarIds(const std::u16string& path, std::vector<uint32_t>& ids);
// Empties the list (truncates the existing file; never creates it).
bool ClearCalendarIds(const std::u16string& path);

// Appends calendar note IDs during a mail run. The file is opened once at the
// start of the run; `appendToEnd` chooses between continuing after the IDs
// already recorded and writing over them from offset 0.
class CCalendarIdWriter {
public:
    bool Open(const std::u16string& path, bool appendToEnd);
    bool IsOpen() const { return file.IsOpen(); }
    bool Append(uint32_t noteId);

private:
    sys::CFile file;
};

// Folderpth.txt
enum class EViewerMode { Full = 1, SaveDialogOnly = 2, Batch = 3 };
enum ESelectionStatus : uint8_t { SelectionCancelled = 0, SelectionExport = 1, SelectionClosed = 3 };

struct SelectionEntry {
    std::u16string path;
    uint8_t hasEntries = 1;
    uint32_t noteId = 0;
    bool operator==(const SelectionEntry&) const = default;
};

struct SelectionFile {
    uint8_t status = SelectionExport;
    std::vector<SelectionEntry> entries;   // modes 1 and 3
    std::u16string destinationFolder;      // modes 1 and 2
    std::u16string reservedPath;           // mode 1 (always empty)
    bool operator==(const SelectionFile&) const = default;
};

std::string SerializeSelection(const SelectionFile& selection, EViewerMode mode);
std::optional<SelectionFile> ParseSelection(std::string_view bytes, EViewerMode mode);
bool WriteSelection(const std::u16string& path, const SelectionFile& selection, EViewerMode mode);
std::optional<SelectionFile> ReadSelection(const std::u16string& path, EViewerMode mode);

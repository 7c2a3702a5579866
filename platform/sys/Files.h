// Files opened for one use, in the three ways the programs need: an existing
// file only (never created), created or truncated, and written from offset 0
// over older content without truncating. Paths are UTF-16 and use '/'.
// Creating never follows a symbolic link and never writes into a file that
// belongs to another user, so nothing planted in a temporary directory can
// redirect what the programs write; created files are private (mode 0600).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sys {

std::string ToFsPath(std::u16string_view path);  // UTF-16 path -> file-system bytes

// Bytes in a buffer made at a given size without clearing it, for files and
// messages of megabytes that are then written over whole: clearing them
// first would cost as much as the copy that fills them.
struct CBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;

    CBytes() = default;
    explicit CBytes(size_t capacity) : data(new char[capacity > 0 ? capacity : 1]) {}
    std::string_view View() const { return {data.get(), size}; }
};

class CFile {
public:
    CFile() = default;
    ~CFile();
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens an existing file for reading and writing; never creates it.
    bool OpenExisting(std::u16string_view path);
    // Opens an existing file for reading only.
    bool OpenReadOnly(std::u16string_view path);
    // Creates the file, or truncates it when it exists. Refused when the path
    // is a symbolic link, not a regular file, or someone else's file.
    bool CreateOrTruncate(std::u16string_view path);
    void Close();
    bool IsOpen() const { return fd >= 0; }

    // Reads up to count bytes; returns the number read (0 at the end or on error).
    size_t Read(void* buffer, size_t count);
    // Reads exactly count bytes or returns false.
    bool ReadExact(void* buffer, size_t count);
    // Reads a file just opened whole (as long as it is now) into `bytes`.
    bool ReadWhole(CBytes& bytes);
    bool Write(const void* data, size_t count);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    bool Seek(uint64_t offset);
    bool SeekToEnd();
    uint64_t Position() const;
    uint64_t Size() const;
    bool Flush();

private:
    int fd = -1;
};

bool FileExists(std::u16string_view path);
bool DirectoryExists(std::u16string_view path);
// Creates a private directory (mode 0700), or takes an existing one that is
// ours, no symbolic link and closed to others (one that others may only read
// is closed to them first). False when neither can be had.
bool CreateDirectory(std::u16string_view path);
bool DeleteFile(std::u16string_view path);
// Whole-file helpers for tests and tools.
bool ReadWholeFile(std::u16string_view path, std::string& bytes);
bool WriteWholeFile(std::u16string_view path, std::string_view bytes);

}  // namespace sys

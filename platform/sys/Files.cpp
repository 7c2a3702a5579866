#include "platform/sys/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sys/Text.h"

namespace sys {

std::string ToFsPath(std::u16string_view path) { return Utf16ToUtf8(path); }

CFile::~CFile() { Close(); }

CFile::CFile(CFile&& other) noexcept : fd(other.fd) { other.fd = -1; }

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

static int OpenPath(std::u16string_view path, int flags) {
    if (path.empty()) return -1;
    int fd;
    do {
        fd = ::open(ToFsPath(path).c_str(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

bool CFile::OpenExisting(std::u16string_view path) {
    Close();
    fd = OpenPath(path, O_RDWR);
    return fd >= 0;
}

bool CFile::OpenReadOnly(std::u16string_view path) {
    Close();
    fd = OpenPath(path, O_RDONLY);
    return fd >= 0;
}

bool CFile::CreateOrTruncate(std::u16string_view path) {
    Close();
    fd = OpenPath(path, O_RDWR | O_CREAT | O_TRUNC);
    return fd >= 0;
}

void CFile::Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

size_t CFile::Read(void* buffer, size_t count) {
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool CFile::ReadExact(void* buffer, size_t count) { return Read(buffer, count) == count; }

bool CFile::Write(const void* data, size_t count) {
    if (fd < 0) return false;
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, static_cast<const char*>(data) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CFile::Seek(uint64_t offset) { return fd >= 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0; }

bool CFile::SeekToEnd() { return fd >= 0 && ::lseek(fd, 0, SEEK_END) >= 0; }

uint64_t CFile::Position() const {
    if (fd < 0) return 0;
    off_t p = ::lseek(fd, 0, SEEK_CUR);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

uint64_t CFile::Size() const {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool CFile::Flush() { return fd >= 0 && ::fsync(fd) == 0; }

bool FileExists(std::u16string_view path) {
    struct stat st;
    return !path.empty() && ::stat(ToFsPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::u16string_view path) {
    struct stat st;
    return !path.empty() && ::stat(ToFsPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(std::u16string_view path) {
    if (DirectoryExists(path)) return true;
    return ::mkdir(ToFsPath(path).c_str(), 0700) == 0 || DirectoryExists(path);
}

bool DeleteFile(std::u16string_view path) { return !path.empty() && ::unlink(ToFsPath(path).c_str()) == 0; }

bool ReadWholeFile(std::u16string_view path, std::string& bytes) {
    CFile file;
    if (!file.OpenReadOnly(path)) return false;
    bytes.assign(file.Size(), '\0');
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return true;
}

bool WriteWholeFile(std::u16string_view path, std::string_view bytes) {
    CFile file;
    return file.CreateOrTruncate(path) && file.Write(bytes);
}

}  // namespace sys

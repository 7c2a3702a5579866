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

namespace {

int OpenRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int OpenPath(std::u16string_view path, int flags) {
    if (path.empty()) return -1;
    int fd = OpenRetrying(ToFsPath(path), flags);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

// Only a regular file of our own is written: a link planted at the path is
// not followed (O_NOFOLLOW), and a file someone else placed there (or a
// device) is left alone. The truncation follows the checks, so a refused
// file keeps its content.
int CreatePath(std::u16string_view path) {
    if (path.empty()) return -1;
    int fd = OpenRetrying(ToFsPath(path), O_RDWR | O_CREAT | O_NOFOLLOW);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The path without trailing slashes, so that a link named "dir/" is seen as
// the link and not as the directory it points to.
std::string WithoutTrailingSlashes(std::u16string_view path) {
    std::string fsPath = ToFsPath(path);
    while (fsPath.size() > 1 && fsPath.back() == '/') fsPath.pop_back();
    return fsPath;
}

}  // namespace

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
    fd = CreatePath(path);
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

bool CFile::ReadWhole(CBytes& bytes) {
    if (fd < 0) return false;
    const auto size = static_cast<size_t>(Size());
    bytes = CBytes(size);
    bytes.size = Read(bytes.data.get(), size);
    return bytes.size == size;
}

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
    if (path.empty()) return false;
    const std::string fsPath = WithoutTrailingSlashes(path);
    if (::mkdir(fsPath.c_str(), 0700) != 0 && errno != EEXIST) return false;
    // Checked and mended through a descriptor of the directory itself, so a
    // link swapped in between cannot be what is checked or changed.
    const int dir = OpenRetrying(fsPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (dir < 0) return false;
    struct stat st;
    bool usable = fstat(dir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
                  (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    if (usable && (st.st_mode & 07777) != 0700) usable = ::fchmod(dir, 0700) == 0;
    ::close(dir);
    return usable;
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

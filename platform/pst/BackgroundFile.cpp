// A file written by a thread of its own: see BackgroundFile.h.
#include "platform/pst/BackgroundFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/pst/Ndb.h"

namespace pst::ndb {

namespace {

std::string WriteError(int error) { return std::string("cannot write the PST file: ") + std::strerror(error); }

}  // namespace

int WriteFully(int fd, uint64_t offset, const char* bytes, size_t size) {
    while (size > 0) {
        ssize_t n = pwrite(fd, bytes, size, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        bytes += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return 0;
}

CBackgroundFile::CBackgroundFile(const std::filesystem::path& path) {
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw CNdbError("cannot create " + path.string() + ": " + std::strerror(errno));
    OpenDirect(path);
    thread = std::thread([this] { Loop(); });
}

// A second descriptor for direct writes, kept only when the file system
// takes them at kDirectAlign (tmpfs before Linux 6.6, and some network or
// user-space file systems, refuse them; then every write is buffered).
void CBackgroundFile::OpenDirect(const std::filesystem::path& path) {
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) == 0 && (sx.stx_mask & STATX_DIOALIGN) != 0) {
        if (sx.stx_dio_offset_align == 0 || kDirectAlign % sx.stx_dio_offset_align != 0 ||
            sx.stx_dio_mem_align == 0 || kDirectAlign % sx.stx_dio_mem_align != 0)
            return;
    }
    directFd = open(path.c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
}

// The whole pages of a span that starts on a page boundary go directly, the
// rest through the page cache; a refused direct write falls back for good.
int CBackgroundFile::WriteSpan(uint64_t offset, const char* bytes, size_t size) {
    size_t whole = size / kDirectAlign * kDirectAlign;
    if (directFd < 0 || offset % kDirectAlign != 0 || reinterpret_cast<uintptr_t>(bytes) % kDirectAlign != 0 ||
        whole == 0)
        return WriteFully(fd, offset, bytes, size);
    int error = WriteFully(directFd, offset, bytes, whole);
    if (error == EINVAL) {
        close(directFd);
        directFd = -1;
        return WriteFully(fd, offset, bytes, size);
    }
    if (error != 0) return error;
    return WriteFully(fd, offset + whole, bytes + whole, size - whole);
}

CBackgroundFile::~CBackgroundFile() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
    if (directFd >= 0) close(directFd);
    if (fd >= 0) close(fd);
}

void CBackgroundFile::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return busy || stopping; });
        if (!busy) return;
        lock.unlock();
        int error = WriteSpan(pendingOffset, pending.data(), pending.size());
        lock.lock();
        if (error && failure.empty()) failure = WriteError(error);
        pending.clear();
        busy = false;
        changed.notify_all();
    }
}

void CBackgroundFile::ThrowFailure() {
    if (!failure.empty()) throw CNdbError(failure);
}

void CBackgroundFile::WriteLater(uint64_t offset, CWriteBuffer& data) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !busy; });
    ThrowFailure();
    pending.swap(data);
    pendingOffset = offset;
    busy = true;
    changed.notify_all();
}

void CBackgroundFile::Drain() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !busy; });
    ThrowFailure();
}

void CBackgroundFile::WriteNow(uint64_t offset, std::string_view bytes) {
    Drain();
    if (int error = WriteFully(fd, offset, bytes.data(), bytes.size())) throw CNdbError(WriteError(error));
}

void CBackgroundFile::Truncate(uint64_t size) {
    Drain();
    if (ftruncate(fd, off_t(size)) != 0) throw CNdbError(WriteError(errno));
}

void CBackgroundFile::SyncAndClose() {
    Drain();
    if (directFd >= 0) close(directFd);
    directFd = -1;
    int rc = fsync(fd);
    int error = errno;
    if (close(fd) != 0 && rc == 0) {
        rc = -1;
        error = errno;
    }
    fd = -1;
    if (rc != 0) throw CNdbError(WriteError(error));
}

}  // namespace pst::ndb

// A file written by a thread of its own: see BackgroundFile.h.
#include "platform/pst/BackgroundFile.h"

#include <fcntl.h>
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
    thread = std::thread([this] { Loop(); });
}

CBackgroundFile::~CBackgroundFile() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
    if (fd >= 0) close(fd);
}

void CBackgroundFile::Loop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return busy || stopping; });
        if (!busy) return;
        lock.unlock();
        int error = WriteFully(fd, pendingOffset, pending.data(), pending.size());
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

void CBackgroundFile::WriteLater(uint64_t offset, std::vector<char>& data) {
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

// A file written by a thread of its own: the writer hands over a filled
// buffer and goes on producing the next one while the previous one is
// written. Writes happen in the order they were handed over; an error of a
// write is thrown by the next call.
//
// Where the file system allows it, the whole pages of a buffer go straight
// to the disk (O_DIRECT) instead of through the page cache: a PST of several
// GB written through the cache is held to the pace of the kernel's writeback
// once the dirty pages pass its threshold, and then waits again for the
// final flush, while direct writes run at the speed of the disk and leave
// the cache to the files that are read again. A buffer gets that way when
// it starts at a file offset that is a multiple of kDirectAlign (its memory
// is aligned by CWriteBuffer); the bytes of partial pages at its ends, and
// everything on file systems without direct I/O, are written as before.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace pst::ndb {

constexpr size_t kDirectAlign = 4096;

// Memory aligned for direct writes. Growing a buffer with resize() leaves
// the new bytes as they are instead of zeroing them: they are the room a
// block is then made in, and every byte of it is written (padding included).
template <class T>
struct CPageAllocator {
    using value_type = T;
    CPageAllocator() = default;
    template <class U>
    CPageAllocator(const CPageAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(kDirectAlign))); }
    void deallocate(T* p, size_t) { ::operator delete(p, std::align_val_t(kDirectAlign)); }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const CPageAllocator<U>&) const { return true; }
};
using CWriteBuffer = std::vector<char, CPageAllocator<char>>;

// Writes all of `bytes` at `offset` of the file; returns 0 or the errno.
int WriteFully(int fd, uint64_t offset, const char* bytes, size_t size);

class CBackgroundFile {
public:
    // Creates (truncates) the file; throws CNdbError.
    explicit CBackgroundFile(const std::filesystem::path& path);
    ~CBackgroundFile();
    CBackgroundFile(const CBackgroundFile&) = delete;
    CBackgroundFile& operator=(const CBackgroundFile&) = delete;

    // Writes `data` at `offset` in the background. `data` is swapped with
    // the buffer of the write before, which comes back empty with its
    // capacity kept, so two buffers serve the whole file.
    void WriteLater(uint64_t offset, CWriteBuffer& data);
    // Waits for the background write, then writes `bytes` at once.
    void WriteNow(uint64_t offset, std::string_view bytes);
    // Waits for the background write; throws what it failed with.
    void Drain();
    void Truncate(uint64_t size);
    // Drains, flushes to the disk and closes the file.
    void SyncAndClose();

private:
    void Loop();
    int WriteSpan(uint64_t offset, const char* bytes, size_t size);
    void OpenDirect(const std::filesystem::path& path);
    void Fail(const std::string& what);
    void ThrowFailure();

    int fd = -1;
    int directFd = -1;  // the same file opened for direct writes, or -1
    std::mutex mutex;
    std::condition_variable changed;
    CWriteBuffer pending;  // the buffer being written, or empty
    uint64_t pendingOffset = 0;
    bool busy = false, stopping = false;
    std::string failure;
    std::thread thread;
};

}  // namespace pst::ndb

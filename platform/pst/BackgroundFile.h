// A file written by a thread of its own: the writer hands over a filled
// buffer and goes on producing the next one while the kernel copies the
// previous one into the page cache. Writes happen in the order they were
// handed over; an error of a write is thrown by the next call.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace pst::ndb {

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
    void WriteLater(uint64_t offset, std::vector<char>& data);
    // Waits for the background write, then writes `bytes` at once.
    void WriteNow(uint64_t offset, std::string_view bytes);
    // Waits for the background write; throws what it failed with.
    void Drain();
    void Truncate(uint64_t size);
    // Drains, flushes to the disk and closes the file.
    void SyncAndClose();

private:
    void Loop();
    void Fail(const std::string& what);
    void ThrowFailure();

    int fd = -1;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> pending;  // the buffer being written, or empty
    uint64_t pendingOffset = 0;
    bool busy = false, stopping = false;
    std::string failure;
    std::thread thread;
};

}  // namespace pst::ndb

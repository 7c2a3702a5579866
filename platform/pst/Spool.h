// A list of fixed-size records that keeps only its last chunk in memory and
// spills the others to an unnamed temporary file beside the PST, so that a
// list with an entry per block of a file of many gigabytes costs almost no
// memory. Records are appended, the list may be cut back to an earlier
// length, and it is read back from the front, in order.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/pst/BackgroundFile.h"

namespace pst::ndb {

template <class T>
class CSpool {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    static constexpr size_t kChunk = 32768;  // records held in memory

    explicit CSpool(const std::filesystem::path& directory) : directory(directory) { tail.reserve(kChunk); }
    ~CSpool() {
        if (fd >= 0) close(fd);
    }
    CSpool(const CSpool&) = delete;
    CSpool& operator=(const CSpool&) = delete;

    size_t size() const { return spilled + tail.size(); }

    void push_back(const T& record) {
        if (tail.size() == kChunk) Spill();
        tail.push_back(record);
    }

    // Forgets the records from n on.
    void resize(size_t n) {
        if (n >= spilled) {
            tail.resize(n - spilled);
            return;
        }
        // The chunk that holds record n comes back into memory.
        size_t start = n / kChunk * kChunk;
        tail.resize(kChunk);
        ReadAt(start, tail.data(), kChunk);
        tail.resize(n - start);
        spilled = start;
    }

    // Reads the records from the front; Next() returns them in order.
    class CReader {
    public:
        explicit CReader(const CSpool& spool) : spool(spool) {}
        const T& Next() {
            if (at == loadedEnd) Load();
            return chunk[at++ - loadedStart];
        }

    private:
        void Load() {
            loadedStart = at;
            if (at < spool.spilled) {
                size_t n = std::min(kChunk, spool.spilled - at);
                chunk.resize(n);
                spool.ReadAt(at, chunk.data(), n);
                loadedEnd = at + n;
            } else {
                if (at >= spool.size()) throw std::out_of_range("spool read past its end");
                chunk.assign(spool.tail.begin() + long(at - spool.spilled), spool.tail.end());
                loadedEnd = spool.size();
            }
        }
        const CSpool& spool;
        std::vector<T> chunk;
        size_t at = 0, loadedStart = 0, loadedEnd = 0;
    };

private:
    void Spill() {
        if (fd < 0) Open();
        int error = WriteFully(fd, spilled * sizeof(T), reinterpret_cast<const char*>(tail.data()),
                               tail.size() * sizeof(T));
        if (error) throw std::runtime_error(std::string("cannot write the PST's block list: ") + std::strerror(error));
        spilled += tail.size();
        tail.clear();
    }

    void ReadAt(size_t record, T* out, size_t count) const {
        char* p = reinterpret_cast<char*>(out);
        size_t bytes = count * sizeof(T);
        off_t offset = off_t(record * sizeof(T));
        while (bytes > 0) {
            ssize_t n = pread(fd, p, bytes, offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw std::runtime_error("cannot read the PST's block list back");
            p += n;
            bytes -= size_t(n);
            offset += n;
        }
    }

    void Open() {
        fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) return;
        // A file system without unnamed files: a named one, removed at once.
        std::string name = (directory / ".pst-blocks-XXXXXX").string();
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("cannot create the PST's block list in " + directory.string() + ": " + std::strerror(errno));
        unlink(name.c_str());
    }

    std::filesystem::path directory;
    int fd = -1;
    size_t spilled = 0;  // records in the file
    std::vector<T> tail;
};

}  // namespace pst::ndb

// The run log: a UTF-16LE text file in the work directory that every worker
// run appends to. The worker never creates it and never writes a byte-order
// mark; lines end with explicit CR LF.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/sys/Files.h"
#include "platform/sys/Time.h"

class CRunLog {
public:
    // Opens the existing file for reading and writing at its end.
    bool Open(const std::u16string& path);
    bool IsOpen() const { return file.IsOpen(); }
    void Close() { file.Close(); }
    void WriteLine(std::u16string_view text);  // text, then CR LF
    void WriteRaw(std::u16string_view text);   // text only
    // Holding: later lines of the calling thread wait in memory until
    // Unhold() hands them back (UTF-16LE bytes) for WriteHeld(), so that
    // lines of an earlier document that come later can still go before
    // them. Meanwhile another thread (the one saving the earlier documents)
    // writes to the file; the two never write to the file at once.
    void Hold() { holder = std::this_thread::get_id(); }
    std::string Unhold();
    void WriteHeld(std::string_view bytes);

private:
    sys::CFile file;
    std::atomic<std::thread::id> holder{};
    std::string held;
};

// The counts of one folder pass and the run's counters.
struct FolderSummary {
    uint64_t found = 0;
    uint64_t skipped = 0;
    uint64_t warningCount = 0;
    uint64_t errorCount = 0;
};

// The dumped count: found - skipped, never below zero (documents that could
// not be opened are skipped without having been found).
uint64_t DumpedCount(const FolderSummary& summary);
// "%d/%d/%d %d:%d:%d": month, day, year, hour, minute, second without leading zeros.
std::u16string FormatFinishTime(const sys::CSystemTime& time);
void WriteFolderSummary(CRunLog& log, const FolderSummary& summary, const sys::CSystemTime& finishTime);

// What a batch converts and what it did so far: the databases of the
// command line (a folder stands for every *.nsf in it, in name order), each
// with the name of its PST, and the batch state file in the output folder
// that records, durably after each database, which ones have ended and how,
// so that the same command resumes a stopped or killed batch.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "launcher/BatchSummary.h"

struct CBatchItem {
    std::string database;  // as the command line names it (a folder's files under that folder)
    std::string key;       // its absolute path
    std::string pstStem;   // the PST's name without ".pst", unique in the batch
};

// The databases in order, without repeats; a name shared by two databases
// gets " (2)", " (3)", ... in that order (compared without case, as Windows
// does). Empty with `error` set when a source cannot be read.
std::vector<CBatchItem> PlanBatch(const std::vector<std::string>& sources, std::string& error);

// Where a database stood when the batch state was last written.
struct CBatchEntry {
    uint64_t size = 0;
    int64_t modified = 0;  // nanoseconds since the epoch
    bool ended = false;    // false: its conversion was running when the batch ended
    CBatchRow row;
};

class CBatchState {
public:
    explicit CBatchState(std::string path) : path(std::move(path)) {}
    // A missing file is an empty state; false when it cannot be read.
    bool Load();
    // Written to a temporary file, flushed to disk and renamed over the old one.
    bool Save() const;
    const CBatchEntry* Find(const std::string& key) const;
    void Set(const std::string& key, CBatchEntry entry) { entries[key] = std::move(entry); }

private:
    std::string path;
    std::map<std::string, CBatchEntry> entries;
};

// The database file's size and modification time, as the state keys them.
bool StatDatabase(const std::string& path, uint64_t& size, int64_t& modified);
// A database needs no new conversion when it ended converted or not all
// converted, is unchanged since, and its PST is still there.
bool AlreadyDone(const CBatchEntry* entry, uint64_t size, int64_t modified);

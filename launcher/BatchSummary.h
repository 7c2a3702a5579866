// The batch summary: one row per database saying how its conversion ended,
// its documents and items, those not converted, the PST and when it ran.
// Written as CSV (OUTPUT-DIR/batch-summary.csv, or rows appended under a
// lock by conversions that a job runner starts side by side) and printed as
// a table.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct CBatchRow {
    std::string database;
    std::string outcome;  // converted, not all converted, failed, stopped
    int status = -1;      // the conversion's exit status; -1 when a signal ended it
    uint64_t documents = 0;
    uint64_t items = 0;
    uint64_t notConverted = 0;
    uint64_t incomplete = 0;
    std::string pst;      // empty when none was written
    std::string started;  // local time, YYYY-MM-DDTHH:MM:SS.mmm
    std::string ended;
    double seconds = 0;
    std::string reason;   // why it failed or stopped, when known
};

// "converted" (0), "not all converted" (3), "stopped" (130), else "failed".
std::string OutcomeOfStatus(int status);
// The counts of the conversion report next to the PST (NAME.report.json);
// the PST is left out of the row when the file is not there.
void ReadReportCounts(CBatchRow& row, const std::string& pstPath);
std::string LocalTimestamp(std::chrono::system_clock::time_point when);

std::string BatchCsvHeader();
std::string BatchCsvLine(const CBatchRow& row);
std::string BatchCsv(const std::vector<CBatchRow>& rows);
std::string BatchTable(const std::vector<CBatchRow>& rows);
// Appends the row to the CSV file (its header first when the file is empty)
// under an exclusive lock of the file; false with `error` when it cannot.
bool AppendBatchRow(const std::string& csvPath, const CBatchRow& row, std::string& error);

// 130 when stopped, 1 when a database failed, else 3 when one was not all
// converted, else 0.
int BatchExitStatus(const std::vector<CBatchRow>& rows, bool stopped);

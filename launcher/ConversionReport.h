// The summary printed at the end of a conversion: folders, items per kind
// and documents per outcome (from the conversion report), the folders that
// failed, warnings and errors of the run log, time, the PST with its size and
// the report.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "launcher/DocumentReport.h"

struct ConversionReport {
    uint64_t folders = 0;
    std::map<std::string, uint64_t> itemsByKind;  // "mail", "tasks", ...
    std::map<EOutcome, uint64_t> documentsByOutcome;
    uint64_t documents = 0;
    std::vector<std::string> failedFolders;  // "PST folder: reason"
    std::string reportPath;
    uint64_t warnings = 0;
    uint64_t errors = 0;
    double seconds = 0;
    std::string pstPath;
    uint64_t pstBytes = 0;
    // Documents of a real NSF file that no folder or view listed; they went
    // into the PST folder of that name (empty when there were none).
    std::string unfiledFolder;
    uint64_t unfiledDocuments = 0;
};

// Items and documents from the conversion report's counts, and the warning
// and error lines of the run log (UTF-16LE).
ConversionReport MakeConversionReport(const CReportCounts& counts, const std::u16string& logPath,
                                      const std::string& pstPath);
// Kind of item in the summary ("tasks") for an item kind of the report ("task").
std::string SummaryKindOf(const std::string& itemKind);
// Kind of item for a message class: "IPM.Note.X" counts as mail.
std::string KindOfMessageClass(const std::u16string& messageClass);
// Lines of the run log file (UTF-16LE) that report a warning / an error,
// read chunkBytes at a time; false when the file cannot be read.
bool CountLogProblems(const std::u16string& logPath, uint64_t& warnings, uint64_t& errors,
                      size_t chunkBytes = 1 << 20);
std::string FormatConversionReport(const ConversionReport& report);

// The summary printed at the end of a conversion: folders, items per kind,
// warnings and errors of the run log, time, and the PST with its size.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

struct ConversionReport {
    uint64_t folders = 0;
    std::map<std::string, uint64_t> itemsByKind;  // "mail", "tasks", ...
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

// Counts the items written by message class and the warning and error lines
// of the run log (UTF-16LE).
ConversionReport MakeConversionReport(const std::map<std::u16string, uint64_t>& messagesByClass,
                                      const std::u16string& logPath, const std::string& pstPath);
// Kind of item for a message class: "IPM.Note.X" counts as mail.
std::string KindOfMessageClass(const std::u16string& messageClass);
// Lines of the run log that report a warning / an error.
void CountLogProblems(const std::u16string& logText, uint64_t& warnings, uint64_t& errors);
std::string FormatConversionReport(const ConversionReport& report);

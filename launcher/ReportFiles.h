// The conversion report as files next to the PST: NAME.report.csv for people
// and spreadsheets (one row per document, lists joined with "; "), and
// NAME.report.json with the same rows, the folders with how each ended and
// the counts, for programs.
#pragma once
#include <string>

#include "launcher/DocumentReport.h"

// NAME.pst gives NAME.report.csv / NAME.report.json (extension "csv" or "json").
std::string ReportPathFor(const std::string& pstPath, const std::string& extension);
// A text that begins with = + - or @ gets a leading apostrophe, so that a
// spreadsheet shows a subject such as "=HYPERLINK(...)" instead of running it.
std::string ReportCsv(const CDocumentReport& report);
std::string ReportJson(const CDocumentReport& report, const std::string& databasePath, const std::string& pstPath);
// The same written into private files from rows made one at a time, with
// the counts and passes of `summary` (whose rows are not used); false when
// a file cannot be written.
bool WriteReportFiles(const std::string& csvPath, const std::string& jsonPath, const CReportRows& rows,
                      const CDocumentReport& summary, const std::string& databasePath, const std::string& pstPath);

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
struct CReportFilePaths {
    std::string csv, json;
    std::string scratch;  // a file for the JSON rows while the counts are made (removed)
};
// The same written into private files in one pass over rows made one at a
// time; sets summary.counts (its passes are taken as they are, its rows are
// not used). False when a file cannot be written.
bool WriteReportFiles(const CReportFilePaths& paths, const CReportRows& rows, CDocumentReport& summary,
                      const std::string& databasePath, const std::string& pstPath);

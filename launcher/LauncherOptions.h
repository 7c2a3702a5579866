// The command line of nsf2pst: options, the database and the output folder.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "worker/core/ExportSettings.h"

struct LauncherOptions {
    std::string databasePath;
    bool chooseDatabase = false;  // --gui without a database: the user picks one in a dialog
    std::string outputDir = ".";
    bool gui = false;
    bool keepWork = false;
    bool overwrite = false;
    bool quiet = false;
    std::string csvPath;    // address map from a CSV file
    std::string namesPath;  // address map from a Names.nsf
    std::string statsPath;  // where the phase figures go (JSON), if anywhere
    uint64_t splitSize = 0;  // --split-size in bytes; 0: Outlook's limit for Unicode PSTs
    // OUTPUT given as FILE.pst: the PST's name without ".pst" (else the database's).
    std::string pstName;
    std::string summaryRowPath;  // a CSV file that gets this conversion's batch summary row
    // A batch: several databases (or folders of them) into outputDir.
    bool batch = false;
    std::vector<std::string> databasePaths;
    int jobs = 1;                     // conversions of a batch at once
    std::vector<std::string> passOn;  // the options each conversion of a batch gets
    ExportSettings settings;  // the options the viewer and the worker read from config.txt
};

struct ParseResult {
    std::optional<LauncherOptions> options;
    std::string error;   // set when the command line is wrong
    bool help = false;
    bool version = false;  // --version: print the program's version
};

ParseResult ParseLauncherOptions(const std::vector<std::string>& args);
std::string LauncherUsage();
// The PST's name without ".pst": the one given, else the database file's.
std::string PstStem(const LauncherOptions& options);

// A size in bytes: digits with an optional K, M or G (binary: 1K = 1024,
// either case, "B" after it allowed); nothing when invalid or zero.
std::optional<uint64_t> ParseByteSize(const std::string& text);

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]" as an OLE date; nothing when invalid.
std::optional<double> ParseIsoDate(const std::string& text, bool endOfDay);

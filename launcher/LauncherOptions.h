// The command line of nsf2pst: options, the database and the output folder.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "worker/core/ExportSettings.h"

struct LauncherOptions {
    std::string databasePath;
    std::string outputDir = ".";
    bool gui = false;
    bool keepWork = false;
    bool overwrite = false;
    bool quiet = false;
    std::string csvPath;    // address map from a CSV file
    std::string namesPath;  // address map from a Names.nsf
    std::string statsPath;  // where the phase figures go (JSON), if anywhere
    ExportSettings settings;  // the options the viewer and the worker read from config.txt
};

struct ParseResult {
    std::optional<LauncherOptions> options;
    std::string error;   // set when the command line is wrong
    bool help = false;
};

ParseResult ParseLauncherOptions(const std::vector<std::string>& args);
std::string LauncherUsage();

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]" as an OLE date; nothing when invalid.
std::optional<double> ParseIsoDate(const std::string& text, bool endOfDay);

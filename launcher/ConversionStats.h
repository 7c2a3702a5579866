// Figures of one conversion for benchmarks (nsf2pst --stats FILE): wall time,
// number of runs and peak memory of each phase (viewer, mail runs, calendar
// runs) and of the PST writing, as a JSON object.
#pragma once
#include <cstdint>
#include <string>

#include "launcher/ChildProcess.h"

struct PhaseStats {
    double seconds = 0;
    unsigned runs = 0;
    long peakRssKiB = 0;
    void Add(const ChildResult& run);
};

struct ConversionStats {
    PhaseStats viewer, mail, calendar;
    double pstSeconds = 0;
    uint64_t pstBytes = 0;
    uint64_t messages = 0;
    long launcherPeakRssKiB = 0;  // nsf2pst itself, which writes the PST
    double totalSeconds = 0;
};

std::string FormatStatsJson(const ConversionStats& stats);
// The peak resident memory of this process so far.
long OwnPeakRssKiB();

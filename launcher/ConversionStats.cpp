#include "launcher/ConversionStats.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

void PhaseStats::Add(const ChildResult& run) {
    seconds += run.seconds;
    ++runs;
    peakRssKiB = std::max(peakRssKiB, run.peakRssKiB);
}

namespace {
std::string Phase(const char* name, const PhaseStats& p) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "  \"%s\": {\"seconds\": %.3f, \"runs\": %u, \"peakRssKiB\": %ld},\n", name,
                  p.seconds, p.runs, p.peakRssKiB);
    return buffer;
}
}  // namespace

std::string FormatStatsJson(const ConversionStats& s) {
    char pst[200], total[80];
    std::snprintf(pst, sizeof pst,
                  "  \"pst\": {\"seconds\": %.3f, \"bytes\": %llu, \"messages\": %llu, \"peakRssKiB\": %ld},\n",
                  s.pstSeconds, static_cast<unsigned long long>(s.pstBytes),
                  static_cast<unsigned long long>(s.messages), s.launcherPeakRssKiB);
    std::snprintf(total, sizeof total, "  \"total\": {\"seconds\": %.3f}\n", s.totalSeconds);
    return "{\n" + Phase("viewer", s.viewer) + Phase("mail", s.mail) + Phase("calendar", s.calendar) + pst + total +
           "}\n";
}

long OwnPeakRssKiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

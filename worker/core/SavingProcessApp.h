// The worker's application object: the run log, the flags and counters both
// threads share, the export settings from config.txt and the paths of the
// work-directory files.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "worker/core/ExportSettings.h"
#include "worker/core/OutcomeLog.h"
#include "worker/core/RunLog.h"

// The per-user settings key the worker gives the UI framework; nothing is stored there.
inline constexpr char16_t workerRegistryKey[] = u"KelvroSavingNSFDatav.18";
inline constexpr char16_t workerTitle[] = u"Kelvro Saving Data";

class CsavingprocessApp {
public:
    CRunLog runLog;
    // What became of each document, for the conversion report.
    COutcomeLog outcomes;
    // Cleared by Stop on the window's thread, polled and set back by the
    // conversion thread between documents.
    std::atomic<uint8_t> keepRunning{1};
    std::atomic<uint32_t> restartNeeded{0};
    uint64_t warningCount = 0;
    uint64_t errorCount = 0;
    // Why the PST store refused to save an item (disk full, I/O error): the
    // run ends as failed at that document instead of losing the ones after it.
    std::string storeFailure;
    // The Notes error that ended a mail pass before its documents (the view
    // of the folder cannot be had): the folder failed, the conversion goes on.
    std::string folderFailure;
    ExportSettings settings;
    std::u16string settingPath;
    std::u16string calPath;
};

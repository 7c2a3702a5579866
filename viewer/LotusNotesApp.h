// The viewer's application object: one per process, reachable from every
// thread. It holds the export options that become config.txt, the run log,
// the flags the worker threads poll (keepRunning, scanRunning) and the Notes
// session of the Names.nsf reader.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/notes/LNDatabase.h"
#include "viewer/ViewerRunLog.h"
#include "worker/core/ExportSettings.h"

inline constexpr char16_t viewerTitle[] = u"Kelvro Show NSF Data v18.0";
inline constexpr char16_t viewerRegistryKey[] = u"KelvroNSF2PSTFullV18.0";
inline constexpr char16_t runLogName[] = u"KelvroNSF2PST_log_.txt";

// The viewer's own defaults: every field 0 or empty except reservedFlagA,
// reservedFlagB and exportRequested, which are 1.
ExportSettings ViewerDefaultSettings();

class CLotusNotesApp {
public:
    CLotusNotesApp() : settings(ViewerDefaultSettings()) {}

    // Framework start: the registry key name. The viewer stores no settings.
    void InitInstance() { registryKey = viewerRegistryKey; }

    ExportSettings settings;
    CViewerRunLog runLog;
    // Cleared by Stop; a loop that finds it 0 stops and sets it back to 1.
    std::atomic<uint8_t> keepRunning{1};
    // 1 while the folder scan runs.
    std::atomic<int32_t> scanRunning{0};
    std::u16string registryKey;
    // Used only by the Names.nsf reader of the advanced settings.
    LNNotesSession namesSession;
    LNDatabase namesDatabase;
};

CLotusNotesApp& TheApp();

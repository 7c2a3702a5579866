// The worker's command line: NSF path, "/D ", server, "/C ", mode, "/P ",
// PST path, "/F", work directory. Markers are searched case-sensitively, each
// in the text after the previous one; values are taken verbatim.
#pragma once
#include <string>

struct WorkerCommandLine {
    std::u16string nsfPath;
    std::u16string serverName;
    bool calendarMode = false;
    std::u16string pstPath;
    std::u16string workDir;
    bool operator==(const WorkerCommandLine&) const = default;
};

WorkerCommandLine ParseWorkerCommandLine(const std::u16string& line);

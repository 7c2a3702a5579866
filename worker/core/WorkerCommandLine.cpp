#include "worker/core/WorkerCommandLine.h"

WorkerCommandLine ParseWorkerCommandLine(const std::u16string& line) {
    WorkerCommandLine cmd;
    size_t d = line.find(u"/D ");
    if (d == std::u16string::npos) return cmd;
    cmd.nsfPath = line.substr(0, d);
    size_t afterD = d + 3;
    size_t c = line.find(u"/C ", afterD);
    if (c == std::u16string::npos) return cmd;
    cmd.serverName = line.substr(afterD, c - afterD);
    size_t afterC = c + 3;
    size_t p = line.find(u"/P ", afterC);
    if (p == std::u16string::npos) return cmd;
    cmd.calendarMode = line.substr(afterC, p - afterC) == u"1";
    size_t afterP = p + 3;
    size_t f = line.find(u"/F", afterP);
    if (f == std::u16string::npos) return cmd;
    cmd.pstPath = line.substr(afterP, f - afterP);
    cmd.workDir = line.substr(f + 2);
    return cmd;
}

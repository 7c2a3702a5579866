#include "worker/core/RunState.h"

#include "platform/sys/Files.h"

namespace {
const char* Word(ERunState s) {
    switch (s) {
        case ERunState::Complete: return "complete";
        case ERunState::Restart: return "restart";
        case ERunState::Stopped: return "stopped";
        case ERunState::Failed: return "failed";
        case ERunState::Unknown: break;
    }
    return "unknown";
}
}  // namespace

bool WriteRunState(const std::u16string& workDir, const RunState& state) {
    if (workDir.empty()) return false;
    std::string text = Word(state.state);
    if (state.state == ERunState::Failed && !state.reason.empty()) text += ": " + state.reason;
    return sys::WriteWholeFile(workDir + runStateFileName, text + "\n");
}

RunState ReadRunState(const std::u16string& workDir) {
    std::string text;
    if (!sys::ReadWholeFile(workDir + runStateFileName, text)) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (ERunState s : {ERunState::Complete, ERunState::Restart, ERunState::Stopped})
        if (text == Word(s)) return {s, {}};
    if (text.rfind("failed", 0) == 0) return {ERunState::Failed, text.size() > 8 ? text.substr(8) : std::string()};
    return {};
}

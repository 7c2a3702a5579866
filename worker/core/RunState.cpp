#include "worker/core/RunState.h"

#include "platform/sys/Files.h"

namespace {
const char* Word(ERunState s) {
    switch (s) {
        case ERunState::Complete: return "complete";
        case ERunState::Restart: return "restart";
        case ERunState::Stopped: return "stopped";
        case ERunState::Failed: return "failed";
        case ERunState::FolderFailed: return "folder failed";
        case ERunState::Unknown: break;
    }
    return "unknown";
}
}  // namespace

bool WriteRunState(const std::u16string& workDir, const RunState& state) {
    if (workDir.empty()) return false;
    std::string text = Word(state.state);
    bool failed = state.state == ERunState::Failed || state.state == ERunState::FolderFailed;
    if (failed && !state.reason.empty()) text += ": " + state.reason;
    return sys::WriteWholeFile(workDir + runStateFileName, text + "\n");
}

RunState ReadRunState(const std::u16string& workDir) {
    std::string text;
    if (!sys::ReadWholeFile(workDir + runStateFileName, text)) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (ERunState s : {ERunState::Complete, ERunState::Restart, ERunState::Stopped})
        if (text == Word(s)) return {s, {}};
    for (ERunState s : {ERunState::Failed, ERunState::FolderFailed}) {
        std::string word = Word(s);
        if (text.rfind(word, 0) == 0) return {s, text.size() > word.size() + 2 ? text.substr(word.size() + 2) : ""};
    }
    return {};
}

// How a worker run ended, for the program that starts the runs. The folder
// run record alone cannot tell a folder that is done from a run that must be
// restarted at its very first document (both leave position 0, status 1), so
// every run also leaves one word in runstate.txt of the work directory:
// "complete", "restart", "stopped", "failed: " followed by the reason (the
// conversion cannot go on), or "folder failed: " followed by the reason (this
// folder cannot be converted; the others can).
#pragma once
#include <string>

inline constexpr char16_t runStateFileName[] = u"runstate.txt";

// Set to "1" in a worker's environment when the run before it in the same
// pass ended by a signal: that run converts one document at a time, each
// saved and recorded before the next is read, so that if the worker ends
// again the folder run record names the document it was converting, the
// one the launcher then passes over, and not a mail still waiting to be
// saved.
inline constexpr char oneAtATimeVariable[] = "NSF2PST_ONE_AT_A_TIME";

enum class ERunState { Complete, Restart, Stopped, Failed, FolderFailed, Unknown };

struct RunState {
    ERunState state = ERunState::Unknown;
    std::string reason;  // for Failed and FolderFailed
};

// Creates or truncates the file and writes the state as UTF-8 text.
bool WriteRunState(const std::u16string& workDir, const RunState& state);
// Unknown when the file is missing or unreadable.
RunState ReadRunState(const std::u16string& workDir);

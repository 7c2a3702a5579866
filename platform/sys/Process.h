// Ending the own process the way the worker does: flush what must be kept
// (registered flush hooks, e.g. the run log) and exit with status 255.
#pragma once
#include <functional>

namespace sys {

// Registers a function to run before the process ends through TerminateOwnProcess.
void AtTerminate(std::function<void()> hook);
[[noreturn]] void TerminateOwnProcess();

}  // namespace sys

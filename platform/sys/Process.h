// Ending the own process the way the worker does: flush what must be kept
// (registered flush hooks, e.g. the run log) and exit with status 255; and
// how the process keeps the memory it frees.
#pragma once
#include <functional>

namespace sys {

// Registers a function to run before the process ends through TerminateOwnProcess.
void AtTerminate(std::function<void()> hook);
[[noreturn]] void TerminateOwnProcess();

// Keeps freed memory in the process for the next allocation instead of
// handing it back to the system at once. A conversion allocates and frees
// buffers of a document's size (bodies, attachments, the .eml) for every
// document; handed back, each is a fresh mapping the kernel must fault in
// and zero again. The peak stays what the largest document needs.
void KeepFreedMemory();
// Hands the memory freed so far back to the system: after one phase of a
// long run, so that the next one does not come on top of it.
void ReturnFreedMemory();

}  // namespace sys

#include "platform/sys/Process.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <vector>

// Present when the program is linked with tcmalloc, whose free memory
// malloc_trim does not reach.
extern "C" void MallocExtension_ReleaseFreeMemory() __attribute__((weak));

namespace sys {
namespace {
std::mutex hooksMutex;
std::vector<std::function<void()>>& Hooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}
}  // namespace

void AtTerminate(std::function<void()> hook) {
    std::lock_guard lock(hooksMutex);
    Hooks().push_back(std::move(hook));
}

void TerminateOwnProcess() {
    {
        std::lock_guard lock(hooksMutex);
        for (auto& hook : Hooks()) hook();
    }
    std::fflush(nullptr);
    _exit(255);
}

void KeepFreedMemory() {
    // Blocks up to 8 MB come from the heap and are reused; a heap is cut
    // back only when 32 MB lie free at its end. Larger blocks are still
    // mappings of their own, returned when freed. (With 16 MB, mails of
    // several 5 MB attachments left the heap 16 MB larger for no speed.)
    mallopt(M_MMAP_THRESHOLD, 8 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}

void ReturnFreedMemory() {
    if (MallocExtension_ReleaseFreeMemory)
        MallocExtension_ReleaseFreeMemory();
    else
        malloc_trim(0);
}

}  // namespace sys

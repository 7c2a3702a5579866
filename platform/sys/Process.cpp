#include "platform/sys/Process.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <vector>

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

}  // namespace sys

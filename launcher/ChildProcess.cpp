#include "launcher/ChildProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
volatile pid_t runningChild = 0;

extern "C" void OnStop(int) {
    stopRequested = 1;
    if (runningChild > 0) kill(runningChild, SIGINT);
}
}  // namespace

void InstallStopHandler() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return stopRequested != 0; }

int RunChild(const std::string& program, const std::string& commandLine, bool headless) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        // The child starts its own process group so that a terminal's Ctrl-C
        // reaches it only through the launcher, once.
        setpgid(0, 0);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        if (headless) setenv("NSF2PST_HEADLESS", "1", 1);
        execl(program.c_str(), program.c_str(), commandLine.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    runningChild = pid;
    if (stopRequested) kill(pid, SIGINT);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    runningChild = 0;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
}

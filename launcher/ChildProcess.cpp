#include "launcher/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
volatile pid_t runningChild = 0;

extern "C" void OnStop(int) {
    const int savedErrno = errno;
    stopRequested = 1;
    if (runningChild > 0) StopChild(runningChild);
    errno = savedErrno;
}

// Waits until the child may have ended, at most `most`: a process file
// descriptor wakes the wait the moment it ends (a kernel without them gets
// a short sleep instead). A stop request's signal ends the wait early.
void AwaitChild(int pidfd, std::chrono::milliseconds most) {
    if (pidfd < 0) {
        usleep(20000);
        return;
    }
    struct pollfd ended {pidfd, POLLIN, 0};
    poll(&ended, 1, static_cast<int>(most.count()));
}

// In the child before exec: it ends with the launcher, however the launcher
// ends (killed, crashed, terminal closed), so no worker goes on writing into
// a conversion that nobody waits for.
void EndWithParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // the launcher ended before the line above
}
}  // namespace

// The stop request goes to the child's whole process group: the programs
// take SIGINT as their Stop button.
void StopChild(pid_t child) {
    if (kill(-child, SIGINT) != 0) kill(child, SIGINT);
}

void InstallStopHandler() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return stopRequested != 0; }

ChildResult RunChild(const std::string& program, const std::string& commandLine, bool headless,
                     const std::function<void()>& whileRunning, bool silent) {
    auto started = std::chrono::steady_clock::now();
    ChildResult result;
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        // The child starts its own process group so that a terminal's Ctrl-C
        // reaches it only through the launcher, once.
        setpgid(0, 0);
        EndWithParent(parent);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        if (headless) setenv("NSF2PST_HEADLESS", "1", 1);
        // Into a log the launcher's own lines say what is being converted:
        // the programs print only their messages there.
        if (isatty(STDERR_FILENO) != 1) setenv("NSF2PST_CONSOLE_STATUS", "0", 1);
        if (silent) {
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
                close(null);
            }
        }
        execl(program.c_str(), program.c_str(), commandLine.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(pid, pid);  // also here, so that a stop right after the fork finds the group
    runningChild = pid;
    if (stopRequested) StopChild(pid);
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    struct rusage usage {};
    constexpr std::chrono::milliseconds tick(250);
    auto nextTick = started;
    while (true) {
        pid_t ended = wait4(pid, &status, WNOHANG, &usage);
        if (ended == pid) break;
        if (ended < 0 && errno != EINTR) break;
        auto now = std::chrono::steady_clock::now();
        if (whileRunning && now >= nextTick) {
            whileRunning();
            nextTick = now + tick;
        }
        const auto untilTick = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - now);
        AwaitChild(pidfd, whileRunning ? std::clamp(untilTick, std::chrono::milliseconds(1), tick) : tick);
    }
    if (pidfd >= 0) close(pidfd);
    runningChild = 0;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.peakRssKiB = usage.ru_maxrss;
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

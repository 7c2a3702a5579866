// Starting the viewer and the worker: one argument (the whole command line),
// waiting for the process to end, and passing a stop request on to it as
// SIGINT, which the programs treat as their Stop button.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>

struct ChildResult {
    int status = -1;        // exit status; -1 when it could not start or a signal ended it
    int signal = 0;         // the signal that ended it, if one did
    double seconds = 0;     // wall time
    long peakRssKiB = 0;    // its peak resident memory
};

// Runs the program and waits for it; `whileRunning` is called about every
// 250 ms until it ends. A silent child's console output is dropped (its run
// log keeps everything).
ChildResult RunChild(const std::string& program, const std::string& commandLine, bool headless,
                     const std::function<void()>& whileRunning = {}, bool silent = false);

// Installs SIGINT/SIGTERM handlers: the first request is passed to the
// running child; StopRequested() tells whether one came.
void InstallStopHandler();
bool StopRequested();
// Asks a child's whole process group to stop: the programs take SIGINT as
// their Stop button.
void StopChild(pid_t child);

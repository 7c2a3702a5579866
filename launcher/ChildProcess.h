// Starting the viewer and the worker: one argument (the whole command line),
// waiting for the process to end, and passing a stop request on to it as
// SIGINT, which the programs treat as their Stop button.
#pragma once
#include <string>
#include <vector>

// Runs the program and returns its exit status (-1 when it could not be
// started or was killed by a signal other than SIGINT).
int RunChild(const std::string& program, const std::string& commandLine, bool headless);

// Installs SIGINT/SIGTERM handlers: the first request is passed to the
// running child; StopRequested() tells whether one came.
void InstallStopHandler();
bool StopRequested();

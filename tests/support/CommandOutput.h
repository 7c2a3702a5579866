// Runs a shell command for a test and returns what it printed on standard
// output and its exit status.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

struct CommandResult {
    std::string output;
    int exitCode = -1;  // -1 when it could not run or a signal ended it
};

inline CommandResult RunCommandLine(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

// Standard output only.
inline std::string CommandOutput(const std::string& command) { return RunCommandLine(command).output; }

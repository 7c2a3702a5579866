// A batch: many databases into one output folder, each converted by a
// process of its own (this program with one database), up to --jobs at once.
// A failing or crashing conversion costs only its database; a stop request
// reaches every running conversion; the batch state in the output folder
// lets the same command resume where a stopped or killed batch ended.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "launcher/BatchPlan.h"
#include "launcher/LauncherOptions.h"

class CBatch {
public:
    CBatch(LauncherOptions options, std::string selfPath);
    ~CBatch();
    CBatch(const CBatch&) = delete;
    CBatch& operator=(const CBatch&) = delete;
    // The exit status of the batch (see BatchExitStatus); 2 for a bad
    // command line or output folder.
    int Run();

    static constexpr const char* kSummaryName = "batch-summary.csv";
    static constexpr const char* kStateName = ".nsf2pst-batch.json";

private:
    struct CRunning {
        size_t index;
        pid_t pid;
        std::chrono::system_clock::time_point started;
        std::chrono::steady_clock::time_point clock;
    };

    bool Prepare(std::string& error);
    // The databases still to convert; the others get their rows from the state.
    std::vector<size_t> TakeOverFinished();
    bool Start(size_t index);
    void Ended(const CRunning& run, int waitStatus);
    void Loop(const std::vector<size_t>& queue);
    void Finish();
    std::vector<std::string> ChildArguments(size_t index) const;
    std::string PstPath(size_t index) const;
    std::string LogPath(size_t index) const;
    void Say(const std::string& text) const;

    LauncherOptions options;
    std::string self;
    std::string outputDir;
    std::vector<CBatchItem> items;
    std::vector<std::optional<CBatchRow>> rows;
    std::optional<CBatchState> state;
    std::vector<CRunning> running;
    size_t finished = 0;
    bool stopped = false;
    int lockFd = -1;
};

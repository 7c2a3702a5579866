// The conversion's progress on the console: which folder of how many is
// being converted, how many items the PST holds so far and the rate. On a
// terminal one line is rewritten in place; otherwise (a log) a line is
// printed every 15 s and one when a folder or the calendar entries are done,
// so that logs stay short and still say what each folder gave.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// "Folder 2 of 5, Inbox: 1234 items, 210 items/s"
std::string FormatProgress(const std::string& phase, uint64_t items, double itemsPerSecond);
// "Folder 2 of 5, Inbox: 12 items added, 1234 in the PST"
std::string FormatPhaseEnd(const std::string& phase, uint64_t added, uint64_t items);

class CProgressLine {
public:
    CProgressLine(std::FILE* out, bool enabled, bool live);
    // Starts a phase (a folder, the calendar entries).
    void Phase(const std::string& text);
    // Shows the count when due (every update when live, every 15 s otherwise).
    void Update(uint64_t items);
    // Whether an update now would show or record anything: the count is
    // worth fetching only then.
    bool Due() const;
    // Ends the phase with the PST's count; in a log it prints what the phase
    // added (a terminal's live line goes on with the next phase).
    void EndPhase(uint64_t items);
    // Prints a message on a line of its own, after the progress line.
    void Message(const std::string& text);
    // Ends the live line and prints the last count (in a log only when the
    // last phase did not end with its own line).
    void Finish(uint64_t items);

private:
    using Clock = std::chrono::steady_clock;
    void Show(uint64_t items);
    void ClearLive();

    std::FILE* out;
    bool enabled, live;
    std::string phase;
    Clock::time_point started = Clock::now(), lastShown = Clock::now();
    uint64_t firstCount = UINT64_MAX;
    uint64_t lastCount = 0, phaseStartCount = 0;  // the PST starts empty
    bool phaseOpen = false;
    bool lineOpen = false;
};

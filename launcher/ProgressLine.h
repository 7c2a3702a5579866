// The conversion's progress on the console: which folder of how many is
// being converted, how many items the PST holds so far and the rate. On a
// terminal one line is rewritten in place; otherwise a line is printed now
// and then, so that logs stay short.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// "Folder 2 of 5, Inbox: 1234 items, 210 items/s"
std::string FormatProgress(const std::string& phase, uint64_t items, double itemsPerSecond);

class CProgressLine {
public:
    CProgressLine(std::FILE* out, bool enabled, bool live);
    void Phase(const std::string& text);
    // Shows the count when due (every update when live, every 15 s otherwise).
    void Update(uint64_t items);
    // Prints a message on a line of its own, after the progress line.
    void Message(const std::string& text);
    // Ends the live line and prints the last count.
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
    bool lineOpen = false;
};

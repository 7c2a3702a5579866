#include "launcher/ProgressLine.h"

#include <cmath>

std::string FormatProgress(const std::string& phase, uint64_t items, double itemsPerSecond) {
    return phase + ": " + std::to_string(items) + (items == 1 ? " item, " : " items, ") +
           std::to_string(static_cast<uint64_t>(std::llround(itemsPerSecond))) + " items/s";
}

std::string FormatPhaseEnd(const std::string& phase, uint64_t added, uint64_t items) {
    return phase + ": " + std::to_string(added) + (added == 1 ? " item added, " : " items added, ") +
           std::to_string(items) + " in the PST";
}

CProgressLine::CProgressLine(std::FILE* o, bool e, bool l) : out(o), enabled(e), live(l) {}

void CProgressLine::Phase(const std::string& text) {
    phase = text;
    phaseOpen = true;
    phaseStartCount = lastCount;
}

void CProgressLine::Update(uint64_t items) {
    lastCount = items;
    if (!enabled) return;
    if (firstCount == UINT64_MAX) {
        // The rate counts from the first figure, so items already there
        // (a resumed store) do not inflate it.
        firstCount = items;
        started = Clock::now();
    }
    if (live || Clock::now() - lastShown >= std::chrono::seconds(15)) Show(items);
}

bool CProgressLine::Due() const {
    return enabled && (live || firstCount == UINT64_MAX || Clock::now() - lastShown >= std::chrono::seconds(15));
}

void CProgressLine::Show(uint64_t items) {
    double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    uint64_t done = items >= firstCount ? items - firstCount : 0;
    double rate = seconds > 0.5 ? done / seconds : 0.0;
    std::string text = FormatProgress(phase, items, rate);
    if (live) {
        std::fprintf(out, "\r%s\x1b[K", text.c_str());
        lineOpen = true;
    } else {
        std::fprintf(out, "%s\n", text.c_str());
    }
    std::fflush(out);
    lastShown = Clock::now();
}

void CProgressLine::ClearLive() {
    if (!lineOpen) return;
    std::fprintf(out, "\r\x1b[K");
    lineOpen = false;
}

void CProgressLine::Message(const std::string& text) {
    ClearLive();
    std::fprintf(out, "%s\n", text.c_str());
}

void CProgressLine::EndPhase(uint64_t items) {
    const uint64_t added = items >= phaseStartCount ? items - phaseStartCount : 0;
    lastCount = items;
    if (!enabled || !phaseOpen) return;
    phaseOpen = false;
    if (live) return;
    std::fprintf(out, "%s\n", FormatPhaseEnd(phase, added, items).c_str());
    std::fflush(out);
}

void CProgressLine::Finish(uint64_t items) {
    if (!enabled) return;
    if (!live && !phaseOpen) return;
    if (firstCount == UINT64_MAX) firstCount = items;
    bool wasLive = live;
    live = false;
    ClearLive();
    Show(items);
    live = wasLive;
}

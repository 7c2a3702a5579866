// The outcome events of a conversion as the report reads them: a few bytes
// per event, with each distinct item kind, PST folder and reason kept once.
// The list is a deque, which grows without copying, sorted in place: it
// never needs a second copy of itself.
// At a million documents the events would otherwise be the largest thing
// nsf2pst holds (about a hundred bytes each as COutcome objects).
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "worker/core/OutcomeLog.h"

class CEventTable {
public:
    CEventTable() = default;
    explicit CEventTable(const std::vector<COutcome>& events);

    void Add(const COutcome& event);
    // Adds the events of an outcome log, read a piece at a time; a last line
    // without its line feed is left out. False when the file cannot be read.
    bool AddFile(const std::string& path);

    // Orders the events by note ID, keeping file order within a note. Call
    // once after the last Add and before the lookups.
    void Index();
    size_t Size() const { return events.size(); }
    // The events of one note, in file order.
    std::vector<COutcome> EventsOf(uint32_t noteId) const;
    // Each note ID that has events, once, in ascending order.
    void ForEachNoteId(const std::function<void(uint32_t)>& visit) const;

private:
    struct CEvent {
        uint32_t noteId, order;  // order: place in the log, which ranks a note's events
        uint32_t folderNoteId;
        uint32_t pstFolder, reason;  // indexes into texts
        uint16_t itemKind;           // index into kinds
        EOutcome outcome;
    };
    uint32_t TextIndex(const std::u16string& text);
    uint16_t KindIndex(const std::string& kind);

    std::deque<CEvent> events;
    std::vector<std::u16string> texts{u""};
    std::unordered_map<std::u16string, uint32_t> textIndex{{u"", 0}};
    std::vector<std::string> kinds{""};
};

#include "launcher/EventTable.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

CEventTable::CEventTable(const std::vector<COutcome>& list) {
    for (const COutcome& e : list) Add(e);
    Index();
}

uint32_t CEventTable::TextIndex(const std::u16string& text) {
    auto [at, added] = textIndex.try_emplace(text, uint32_t(texts.size()));
    if (added) texts.push_back(text);
    return at->second;
}

uint16_t CEventTable::KindIndex(const std::string& kind) {
    auto at = std::find(kinds.begin(), kinds.end(), kind);
    if (at != kinds.end()) return uint16_t(at - kinds.begin());
    // Item kinds are a handful of words; a log with more is not ours.
    if (kinds.size() > UINT16_MAX) throw std::runtime_error("too many item kinds in the outcome log");
    kinds.push_back(kind);
    return uint16_t(kinds.size() - 1);
}

void CEventTable::Add(const COutcome& e) {
    if (events.size() >= UINT32_MAX) throw std::runtime_error("too many events in the outcome log");
    events.push_back({e.noteId, uint32_t(events.size()), e.folderNoteId, TextIndex(e.pstFolder), TextIndex(e.reason),
                      KindIndex(e.itemKind), e.outcome});
}

bool CEventTable::AddFile(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    char* line = nullptr;
    size_t capacity = 0;
    for (ssize_t n; (n = getline(&line, &capacity, file.get())) > 0;) {
        if (line[n - 1] != '\n') break;  // cut off by a killed run
        if (auto event = ParseOutcomeLine(std::string_view(line, size_t(n - 1)))) Add(*event);
    }
    std::free(line);
    return true;
}

void CEventTable::Index() {
    std::sort(events.begin(), events.end(), [](const CEvent& a, const CEvent& b) {
        return a.noteId != b.noteId ? a.noteId < b.noteId : a.order < b.order;
    });
    // What is kept for the lookups only.
    textIndex.clear();
}

std::vector<COutcome> CEventTable::EventsOf(uint32_t noteId) const {
    auto from = std::lower_bound(events.begin(), events.end(), noteId,
                                 [](const CEvent& e, uint32_t n) { return e.noteId < n; });
    std::vector<COutcome> out;
    for (; from != events.end() && from->noteId == noteId; ++from)
        out.push_back({from->noteId, from->folderNoteId, from->outcome, kinds[from->itemKind], texts[from->pstFolder],
                       texts[from->reason]});
    return out;
}

void CEventTable::ForEachNoteId(const std::function<void(uint32_t)>& visit) const {
    for (size_t i = 0; i < events.size(); ++i)
        if (i == 0 || events[i - 1].noteId != events[i].noteId) visit(events[i].noteId);
}

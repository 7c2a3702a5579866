#include "worker/core/OutcomeLog.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/sys/Text.h"

namespace {
std::string Field(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}
}  // namespace

const char* OutcomeWord(EOutcome outcome) {
    switch (outcome) {
        case EOutcome::Converted: return "converted";
        case EOutcome::Merged: return "merged";
        case EOutcome::Incomplete: return "incomplete";
        case EOutcome::Skipped: return "skipped";
        case EOutcome::Deferred: return "deferred";
        case EOutcome::NotConverted: return "not converted";
    }
    return "not converted";
}

std::optional<EOutcome> OutcomeOfWord(std::string_view word) {
    for (EOutcome o : {EOutcome::Converted, EOutcome::Merged, EOutcome::Incomplete, EOutcome::Skipped,
                       EOutcome::Deferred, EOutcome::NotConverted})
        if (word == OutcomeWord(o)) return o;
    return std::nullopt;
}

namespace {
std::optional<uint32_t> NoteIdOf(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<COutcome> ParseOutcomeLine(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (fields.size() != 6) return std::nullopt;
    auto noteId = NoteIdOf(fields[0]);
    auto folderNoteId = NoteIdOf(fields[1]);
    auto outcome = OutcomeOfWord(fields[2]);
    if (!noteId || !folderNoteId || !outcome) return std::nullopt;
    return COutcome{*noteId, *folderNoteId, *outcome, std::string(fields[3]), sys::Utf8ToUtf16(fields[4]),
                    sys::Utf8ToUtf16(fields[5])};
}

std::vector<COutcome> ParseOutcomeLog(std::string_view text) {
    std::vector<COutcome> events;
    for (size_t start = 0;;) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) break;
        if (auto event = ParseOutcomeLine(text.substr(start, end - start))) events.push_back(std::move(*event));
        start = end + 1;
    }
    return events;
}

std::string OutcomeLine(const COutcome& e) {
    return std::to_string(e.noteId) + '\t' + std::to_string(e.folderNoteId) + '\t' + OutcomeWord(e.outcome) + '\t' +
           Field(e.itemKind) + '\t' + Field(sys::Utf16ToUtf8(e.pstFolder)) + '\t' +
           Field(sys::Utf16ToUtf8(e.reason)) + '\n';
}

bool COutcomeLog::Open(const std::u16string& workDir) {
    Close();
    std::string path = sys::Utf16ToUtf8(workDir) + "outcomes.txt";
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return fd >= 0;
}

void COutcomeLog::Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// One write per line: with O_APPEND a line is never interleaved with
// another's, and it reaches the file before the next document starts.
void COutcomeLog::Record(const COutcome& event) {
    if (fd < 0) return;
    std::string line = OutcomeLine(event);
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

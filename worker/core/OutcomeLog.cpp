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

// What became of each document a run handled, for the conversion report:
// one line per event in "outcomes.txt" of the work directory, UTF-8, fields
// separated by tabs, appended and flushed at once so that what a killed run
// recorded is kept (the reader ignores a last line without its line feed).
//
//   noteId \t folderNoteId \t outcome \t itemKind \t pstFolder \t reason \n
//
// noteId and folderNoteId are decimal (folderNoteId 0 in calendar runs);
// outcome is one of the words below; itemKind is "mail", "task", "calendar",
// "contact", "group" or empty; tabs and line breaks inside the texts become
// spaces. A document may have several events (a mail filed in two folders is
// converted twice; a calendar entry is first deferred by a mail run, then
// converted by a calendar run): the report combines them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class EOutcome {
    Converted,     // saved as an item of the PST
    Merged,        // saved again over the item an earlier folder or run made of it
    Incomplete,    // saved, but something of it was lost (reason says what)
    Skipped,       // left out by choice: date range, ($All), form outside the conversion
    Deferred,      // left to a later run (a calendar entry waits for the calendar pass)
    NotConverted,  // could not be converted (reason says why)
};

const char* OutcomeWord(EOutcome outcome);
std::optional<EOutcome> OutcomeOfWord(std::string_view word);

struct COutcome {
    uint32_t noteId = 0;
    uint32_t folderNoteId = 0;
    EOutcome outcome = EOutcome::Converted;
    std::string itemKind;          // UTF-8
    std::u16string pstFolder;
    std::u16string reason;
};

class COutcomeLog {
public:
    // Opens (creating when missing) workDir + "outcomes.txt" for appending;
    // without it the events are not recorded and the run goes on.
    bool Open(const std::u16string& workDir);
    void Close();
    bool IsOpen() const { return fd >= 0; }
    void Record(const COutcome& event);
    ~COutcomeLog() { Close(); }

private:
    int fd = -1;
};

// The line of one event, as written.
std::string OutcomeLine(const COutcome& event);
// The events of an outcome log's text, in file order; a last line without
// its line feed (a run killed while writing it) and lines that are not
// events are left out.
std::vector<COutcome> ParseOutcomeLog(std::string_view text);
// One line without its line feed; nullopt when it is not an event.
std::optional<COutcome> ParseOutcomeLine(std::string_view line);

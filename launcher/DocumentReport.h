// The conversion report: one row per document of the database saying what
// became of it (converted into which PST folders as which kind of item,
// merged with a copy from another folder, skipped by choice, not converted,
// incomplete) and why. It is made from the database listing, the folders the
// conversion took with how each ended, and the outcome log of the worker
// runs; the summary, the exit status and the counts of items in the PST all
// come from it.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "launcher/DatabaseListing.h"
#include "launcher/EventTable.h"
#include "worker/core/OutcomeLog.h"

enum class EPassEnd { NotReached, Converted, Failed };

// A Notes folder of the selection (or the calendar pass) and how its runs ended.
struct CPassEnd {
    uint32_t noteId = 0;
    std::string pstFolder;  // UTF-8, the PST folder path it went into
    EPassEnd end = EPassEnd::NotReached;
    std::string reason;     // for Failed
};

struct CReportRow {
    CListedNote note;
    bool designNote = false;
    std::vector<std::string> notesFolders;  // names of the views and folders that list it
    EOutcome outcome = EOutcome::NotConverted;  // never Deferred
    std::string itemKind;                   // "mail", "task", "calendar", "contact", "group" or empty
    std::vector<std::string> pstFolders;    // one per item the PST holds of it
    std::string reason;
};

struct CReportCounts {
    uint64_t documents = 0;
    std::map<EOutcome, uint64_t> byOutcome;
    std::map<std::string, uint64_t> itemsByKind;  // items in the PST by item kind
    uint64_t failedPasses = 0;                   // folders and calendar pass that failed
    // Documents not converted or incomplete: what makes the conversion fall short.
    uint64_t Shortfall() const;
    void Add(const CReportRow& documentRow);
    void AddPasses(const std::vector<CPassEnd>& folders, const CPassEnd& calendar);
};

struct CDocumentReport {
    std::vector<CReportRow> rows;  // documents in note-ID order, then design notes
    std::vector<CPassEnd> folders;
    CPassEnd calendar;
    CReportCounts counts;
};

// The rows of a report made one at a time, so that a database of any size
// never has all of them in memory: documents in note-ID order, then the
// notes only the outcome log names, then the design notes.
class CReportRows {
public:
    using Visit = std::function<void(const CReportRow&)>;
    // The listing and the events must outlive the object.
    CReportRows(const CDatabaseListing& listing, const std::vector<CPassEnd>& folders, const CPassEnd& calendar,
                const CEventTable& events);
    ~CReportRows();
    void ForEachDocument(const Visit& visit) const;
    void ForEachDesignNote(const Visit& visit) const;

private:
    class CImpl;
    std::unique_ptr<CImpl> impl;
};

CDocumentReport MakeDocumentReport(const CDatabaseListing& listing, const std::vector<CPassEnd>& folders,
                                   const CPassEnd& calendar, const std::vector<COutcome>& events);

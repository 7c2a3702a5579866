#include "launcher/DocumentReport.h"

#include <algorithm>
#include <set>

#include "platform/sys/Text.h"
#include "worker/core/FormKinds.h"

void CReportCounts::Add(const CReportRow& row) {
    ++documents;
    ++byOutcome[row.outcome];
    if (!row.pstFolders.empty()) itemsByKind[row.itemKind] += row.pstFolders.size();
}

void CReportCounts::AddPasses(const std::vector<CPassEnd>& folders, const CPassEnd& calendar) {
    for (const CPassEnd& f : folders) failedPasses += f.end == EPassEnd::Failed;
    failedPasses += calendar.end == EPassEnd::Failed;
}

uint64_t CReportCounts::Shortfall() const {
    auto count = [&](EOutcome o) {
        auto it = byOutcome.find(o);
        return it == byOutcome.end() ? uint64_t{0} : it->second;
    };
    return count(EOutcome::NotConverted) + count(EOutcome::Incomplete);
}

namespace {

// Which outcome a document gets when its folders disagree: the worst.
int Severity(EOutcome o) {
    switch (o) {
        case EOutcome::NotConverted: return 5;
        case EOutcome::Incomplete: return 4;
        case EOutcome::Converted: return 3;
        case EOutcome::Merged: return 2;
        case EOutcome::Skipped: return 1;
        case EOutcome::Deferred: return 0;
    }
    return 0;
}

bool IsSaved(EOutcome o) { return o == EOutcome::Converted || o == EOutcome::Merged || o == EOutcome::Incomplete; }

std::string KindOfForm(const std::string& form) {
    switch (FormKindOf(sys::Utf8ToUtf16(form))) {
        case EFormKind::Mail: return "mail";
        case EFormKind::Task: return "task";
        case EFormKind::Calendar: return "calendar";
        case EFormKind::Contact: return "contact";
        case EFormKind::DistList: return "group";
        case EFormKind::Unknown: break;
    }
    return {};
}

void AddReason(std::string& reasons, const std::string& reason) {
    if (reason.empty() || reasons.find(reason) != std::string::npos) return;
    reasons += (reasons.empty() ? "" : "; ") + reason;
}

}  // namespace

// The events and the views of a note are found in vectors sorted by note ID
// (a few bytes per entry) rather than in maps of vectors.
class CReportRows::CImpl {
public:
    CImpl(const CDatabaseListing& l, const std::vector<CPassEnd>& f, const CPassEnd& c, const CEventTable& e)
        : listing(l), folders(f), calendar(c), events(e) {}

    void ForEachDocument(const Visit& visit) const {
        std::vector<uint32_t> listed;
        listed.reserve(listing.documents.size() + listing.documentIds.size() + listing.designNotes.size());
        listing.ForEachDocument([&](const CListedNote& note) {
            listed.push_back(note.noteId);
            visit(DocumentRow(note));
        });
        // A note a run reported on that the listing does not hold still gets its row.
        for (const CListedNote& note : listing.designNotes) listed.push_back(note.noteId);
        std::sort(listed.begin(), listed.end());
        events.ForEachNoteId([&](uint32_t id) {
            if (!std::binary_search(listed.begin(), listed.end(), id))
                visit(DocumentRow({id, {}, {}, {}, "not among the documents the database lists"}));
        });
    }

    void ForEachDesignNote(const Visit& visit) const {
        for (const CListedNote& note : listing.designNotes) {
            CReportRow row;
            row.note = note;
            row.designNote = true;
            row.outcome = EOutcome::Skipped;
            row.reason = "design note";
            visit(row);
        }
    }

private:
    // The views and folders that list a note, in the listing's order (each
    // view's entries are sorted).
    std::vector<size_t> ViewsOf(uint32_t id) const {
        std::vector<size_t> out;
        for (size_t v = 0; v < listing.views.size(); ++v) {
            const std::vector<uint32_t>& in = listing.views[v].entries;
            if (std::binary_search(in.begin(), in.end(), id)) out.push_back(v);
        }
        return out;
    }

    CReportRow DocumentRow(const CListedNote& note) const {
        CReportRow row;
        row.note = note;
        const std::vector<size_t> in = ViewsOf(note.noteId);
        for (size_t v : in) row.notesFolders.push_back(listing.views[v].name);
        const std::vector<COutcome> found = events.EventsOf(note.noteId);
        if (found.empty())
            Unreached(row, in);
        else
            Resolve(row, found);
        if (row.itemKind.empty()) row.itemKind = KindOfForm(note.form);
        if (row.outcome != EOutcome::Skipped && !note.unreadable.empty()) AddReason(row.reason, note.unreadable);
        return row;
    }

    // Every save left an item in the PST: a mail one per Notes folder, any
    // other kind one in all (a later save of it replaces the item).
    static void Places(CReportRow& row, const std::vector<COutcome>& events) {
        std::set<std::string> seen;
        for (const COutcome& e : events) {
            if (!IsSaved(e.outcome)) continue;
            std::string key = e.itemKind == "mail" ? "mail " + std::to_string(e.folderNoteId) : e.itemKind;
            if (seen.insert(key).second) row.pstFolders.push_back(sys::Utf16ToUtf8(e.pstFolder));
        }
    }

    // The later event of a folder stands for the document there (a run
    // restarted at it did it again), except a skip: a document listed twice
    // keeps what became of it at its first place. A save over the item that
    // the same folder's earlier save left is that save done again, not a
    // merge with another folder's copy: the earlier event stands.
    static std::vector<const COutcome*> LastPerFolder(const std::vector<COutcome>& events) {
        std::vector<const COutcome*> kept;
        for (const COutcome& e : events) {
            auto same = std::find_if(kept.begin(), kept.end(),
                                     [&](const COutcome* k) { return k->folderNoteId == e.folderNoteId; });
            if (same == kept.end())
                kept.push_back(&e);
            else if (e.outcome != EOutcome::Skipped && !(e.outcome == EOutcome::Merged && IsSaved((*same)->outcome)))
                *same = &e;
        }
        return kept;
    }

    void Resolve(CReportRow& row, const std::vector<COutcome>& events) const {
        Places(row, events);
        std::vector<const COutcome*> kept = LastPerFolder(events);
        bool calendarRan = std::any_of(kept.begin(), kept.end(), [](const COutcome* e) {
            return e->folderNoteId == 0 && e->outcome != EOutcome::Deferred;
        });
        EOutcome worst = EOutcome::Deferred;
        for (const COutcome* e : kept) {
            if (!e->itemKind.empty()) row.itemKind = e->itemKind;
            EOutcome o = e->outcome == EOutcome::Deferred && !calendarRan ? EOutcome::NotConverted : e->outcome;
            if (e->outcome != EOutcome::Deferred || !calendarRan)
                if (Severity(o) > Severity(worst)) worst = o;
        }
        row.outcome = worst;
        for (const COutcome* e : kept) {
            if (e->outcome == EOutcome::Deferred && !calendarRan && worst == EOutcome::NotConverted)
                AddReason(row.reason, CalendarShortfall());
            else if (e->outcome == worst)
                AddReason(row.reason, sys::Utf16ToUtf8(e->reason));
        }
        bool merged = std::any_of(kept.begin(), kept.end(), [](const COutcome* e) { return e->outcome == EOutcome::Merged; });
        if (merged && (worst == EOutcome::Converted || worst == EOutcome::Incomplete))
            AddReason(row.reason, "merged with its copy from another folder");
    }

    std::string CalendarShortfall() const {
        switch (calendar.end) {
            case EPassEnd::Failed: return "the calendar entries could not be converted: " + calendar.reason;
            case EPassEnd::NotReached: return "the conversion ended before the calendar entries";
            case EPassEnd::Converted: break;
        }
        return "the calendar runs did not reach it";
    }

    // A document no run reported on: left out by choice when no selected
    // folder lists it, otherwise lost with its folder.
    void Unreached(CReportRow& row, const std::vector<size_t>& in) const {
        const CPassEnd* worst = nullptr;
        for (const CPassEnd& f : folders) {
            bool lists = std::any_of(in.begin(), in.end(), [&](size_t v) { return listing.views[v].noteId == f.noteId; });
            if (lists && (!worst || Rank(f.end) > Rank(worst->end))) worst = &f;
        }
        row.outcome = EOutcome::NotConverted;
        if (worst) {
            switch (worst->end) {
                case EPassEnd::Failed:
                    row.reason = "the folder " + worst->pstFolder + " could not be converted: " + worst->reason;
                    break;
                case EPassEnd::NotReached:
                    row.reason = "the conversion ended before the folder " + worst->pstFolder;
                    break;
                case EPassEnd::Converted:
                    row.reason = "listed in the folder " + worst->pstFolder + ", but no run reached it";
                    break;
            }
        } else if (const CPassEnd* unknown = FailedWithUnknownEntries()) {
            row.reason = "not reached; it may have been in the folder " + unknown->pstFolder +
                         ", which could not be converted: " + unknown->reason;
        } else if (!listing.viewsUnreadable.empty()) {
            row.reason = "the views and folders cannot be read: " + listing.viewsUnreadable;
        } else if (in.empty()) {
            row.reason = "in no folder or view";
        } else {
            bool onlyAll = std::all_of(in.begin(), in.end(), [&](size_t v) { return listing.views[v].name == "($All)"; });
            row.outcome = EOutcome::Skipped;
            row.reason = onlyAll ? "only in ($All), which is left out" : "not in a selected folder";
        }
    }

    // A folder that failed and whose entries the listing does not know (its
    // view cannot be read): any document no run reached may have been in it.
    const CPassEnd* FailedWithUnknownEntries() const {
        for (const CPassEnd& f : folders) {
            if (f.end != EPassEnd::Failed) continue;
            bool known = std::any_of(listing.views.begin(), listing.views.end(),
                                     [&](const CListedView& v) { return v.noteId == f.noteId; });
            if (!known) return &f;
        }
        return nullptr;
    }

    static int Rank(EPassEnd end) { return end == EPassEnd::Failed ? 2 : end == EPassEnd::NotReached ? 1 : 0; }

    const CDatabaseListing& listing;
    const std::vector<CPassEnd> folders;  // copies: few, and often temporaries
    const CPassEnd calendar;
    const CEventTable& events;
};

CReportRows::CReportRows(const CDatabaseListing& listing, const std::vector<CPassEnd>& folders,
                         const CPassEnd& calendar, const CEventTable& events)
    : impl(std::make_unique<CImpl>(listing, folders, calendar, events)) {}

CReportRows::~CReportRows() = default;

void CReportRows::ForEachDocument(const Visit& visit) const { impl->ForEachDocument(visit); }

void CReportRows::ForEachDesignNote(const Visit& visit) const { impl->ForEachDesignNote(visit); }

CDocumentReport MakeDocumentReport(const CDatabaseListing& listing, const std::vector<CPassEnd>& folders,
                                   const CPassEnd& calendar, const std::vector<COutcome>& events) {
    CEventTable table(events);
    CReportRows rows(listing, folders, calendar, table);
    CDocumentReport report;
    report.folders = folders;
    report.calendar = calendar;
    rows.ForEachDocument([&](const CReportRow& row) {
        report.counts.Add(row);
        report.rows.push_back(row);
    });
    rows.ForEachDesignNote([&](const CReportRow& row) { report.rows.push_back(row); });
    report.counts.AddPasses(folders, calendar);
    return report;
}

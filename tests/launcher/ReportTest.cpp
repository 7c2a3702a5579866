// The conversion report made from a database listing, the folders' ends and
// the outcome log: what each document's row says when its folders disagree,
// when a run redid it, when no run reached it; and the report's files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "launcher/ConversionReport.h"
#include "launcher/DocumentReport.h"
#include "launcher/ReportFiles.h"

namespace {

constexpr uint32_t inbox = 8250, work = 8254, all = 8258, sent = 8262;

CDatabaseListing Listing() {
    CDatabaseListing l;
    for (uint32_t id : {2304u, 2308u, 2312u, 2316u, 2320u, 2324u})
        l.documents.push_back({id, "UNID", id == 2312 ? "Task" : id == 2316 ? "Appointment" : "Memo", "s", {}});
    l.views = {{inbox, "($Inbox)", true, {2304, 2308, 2312, 2316}},
               {work, "Work", true, {2304, 2312}},
               {all, "($All)", false, {2304, 2308, 2312, 2316, 2320}},
               {sent, "($Sent)", false, {2324}}};
    return l;
}

std::vector<CPassEnd> Folders(EPassEnd workEnd = EPassEnd::Converted) {
    return {{inbox, "Inbox", EPassEnd::Converted, {}},
            {work, "Work", workEnd, workEnd == EPassEnd::Failed ? "view lost" : ""},
            {sent, "Sent Items", EPassEnd::Converted, {}}};
}

COutcome Event(uint32_t note, uint32_t folder, EOutcome o, std::string kind = "mail", std::u16string pst = u"",
               std::u16string reason = u"") {
    return {note, folder, o, std::move(kind), std::move(pst), std::move(reason)};
}

const CReportRow& Row(const CDocumentReport& r, uint32_t id) {
    for (const CReportRow& row : r.rows)
        if (row.note.noteId == id && !row.designNote) return row;
    static CReportRow none;
    ADD_FAILURE() << "no row for " << id;
    return none;
}

TEST(DocumentReport, EachDocumentGetsOneOutcomeFromWhatTheRunsSaid) {
    using E = EOutcome;
    struct Case {
        const char* what;
        std::vector<COutcome> events;
        EOutcome outcome;
        std::vector<std::string> pstFolders;
        const char* reason;  // part of the row's reason
    } cases[] = {
        {"a mail of two folders is an item in each",
         {Event(2304, inbox, E::Converted, "mail", u"Inbox"), Event(2304, work, E::Converted, "mail", u"Work")},
         E::Converted, {"Inbox", "Work"}, ""},
        {"a task of two folders is one item, merged the second time",
         {Event(2304, inbox, E::Converted, "task", u"Tasks"), Event(2304, work, E::Merged, "task", u"Tasks")},
         E::Converted, {"Tasks"}, "merged"},
        {"a run restarted at a document that failed the first time: the redo stands",
         {Event(2304, inbox, E::NotConverted, "mail", u"", u"boom"), Event(2304, inbox, E::Converted, "mail", u"Inbox")},
         E::Converted, {"Inbox"}, ""},
        {"saved by a run that was killed before it said so: saved over on the redo",
         {Event(2304, inbox, E::Merged, "mail", u"Inbox", u"saved over the copy made earlier")},
         E::Merged, {"Inbox"}, "saved over"},
        {"lost in one folder, converted in the other: the loss shows",
         {Event(2304, inbox, E::Converted, "mail", u"Inbox"), Event(2304, work, E::NotConverted, "mail", u"", u"bad")},
         E::NotConverted, {"Inbox"}, "bad"},
        {"incomplete wins over converted",
         {Event(2304, inbox, E::Incomplete, "mail", u"Inbox", u"an attachment"),
          Event(2304, work, E::Converted, "mail", u"Work")},
         E::Incomplete, {"Inbox", "Work"}, "an attachment"},
        {"a calendar entry deferred, then converted once and listed again",
         {Event(2316, inbox, E::Deferred, "calendar"), Event(2316, 0, E::Converted, "calendar", u"Calendar"),
          Event(2316, 0, E::Skipped, "calendar", u"", u"listed again")},
         E::Converted, {"Calendar"}, ""},
        {"a calendar entry deferred that no calendar run converted",
         {Event(2316, inbox, E::Deferred, "calendar")}, E::NotConverted, {}, "calendar runs did not reach it"},
        {"skipped in every folder",
         {Event(2308, inbox, E::Skipped, "", u"", u"created outside the date range")}, E::Skipped, {},
         "date range"},
    };
    for (const Case& c : cases) {
        CDocumentReport r = MakeDocumentReport(Listing(), Folders(), {0, "Calendar", EPassEnd::Converted, {}}, c.events);
        const CReportRow& row = Row(r, c.events.front().noteId);
        EXPECT_EQ(row.outcome, c.outcome) << c.what;
        EXPECT_EQ(row.pstFolders, c.pstFolders) << c.what;
        EXPECT_NE(row.reason.find(c.reason), std::string::npos) << c.what << ": " << row.reason;
    }
}

TEST(DocumentReport, DocumentsNoRunReachedAreLostWithTheirFolderOrSkippedByChoice) {
    struct Case {
        const char* what;
        uint32_t noteId;
        EPassEnd workEnd;
        EOutcome outcome;
        const char* reason;
    } cases[] = {
        {"only in ($All), which was not selected", 2320, EPassEnd::Converted, EOutcome::Skipped, "($All)"},
        {"in no view at all", 2324 + 4, EPassEnd::Converted, EOutcome::NotConverted, "in no folder"},
        {"in a folder that failed", 2304, EPassEnd::Failed, EOutcome::NotConverted, "view lost"},
        {"in a folder the conversion did not get to", 2304, EPassEnd::NotReached, EOutcome::NotConverted, "ended before"},
        {"in a converted folder that no run reported on", 2308, EPassEnd::Converted, EOutcome::NotConverted,
         "no run reached it"},
    };
    for (const Case& c : cases) {
        CDatabaseListing listing = Listing();
        listing.documents.push_back({2328, "UNID", "Memo", "in nothing", {}});
        CDocumentReport r = MakeDocumentReport(listing, Folders(c.workEnd), {}, {});
        const CReportRow& row = Row(r, c.noteId);
        EXPECT_EQ(row.outcome, c.outcome) << c.what;
        EXPECT_NE(row.reason.find(c.reason), std::string::npos) << c.what << ": " << row.reason;
    }
}

TEST(DocumentReport, CountsAreTheItemsOfThePstAndTheShortfall) {
    using E = EOutcome;
    std::vector<COutcome> events = {
        Event(2304, inbox, E::Converted, "mail", u"Inbox"), Event(2304, work, E::Converted, "mail", u"Work"),
        Event(2308, inbox, E::Incomplete, "mail", u"Inbox", u"x"), Event(2312, inbox, E::Converted, "task", u"Tasks"),
        Event(2312, work, E::Merged, "task", u"Tasks"), Event(2316, inbox, E::NotConverted, "calendar", u"", u"y"),
        Event(2324, sent, E::Converted, "mail", u"Sent Items"),
        // A note the listing does not hold still gets its row.
        Event(9000, sent, E::NotConverted, "", u"", u"gone"),
    };
    CDatabaseListing listing = Listing();
    listing.designNotes.push_back({100, "", "(form)", "Memo", {}});
    CDocumentReport r = MakeDocumentReport(listing, Folders(), {}, events);
    EXPECT_EQ(r.counts.documents, 7u);
    EXPECT_EQ(r.counts.itemsByKind, (std::map<std::string, uint64_t>{{"mail", 4}, {"task", 1}}));
    EXPECT_EQ(r.counts.byOutcome[E::NotConverted], 2u);
    EXPECT_EQ(r.counts.Shortfall(), 3u);
    EXPECT_EQ(Row(r, 9000).reason, "gone; not among the documents the database lists");

    // The files written in one pass over rows made one at a time hold what
    // the whole report gives.
    char dir[] = "/tmp/report-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string base = dir;
    CEventTable table(events);
    CReportRows rows(listing, Folders(), {}, table);
    CDocumentReport summary;
    summary.folders = Folders();
    ASSERT_TRUE(WriteReportFiles({base + "/r.csv", base + "/r.json", base + "/rows"}, rows, summary, "a.nsf", "a.pst"));
    EXPECT_EQ(summary.counts.documents, r.counts.documents);
    EXPECT_EQ(summary.counts.byOutcome, r.counts.byOutcome);
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read(base + "/r.csv"), ReportCsv(r));
    EXPECT_EQ(read(base + "/r.json"), ReportJson(r, "a.nsf", "a.pst"));
    EXPECT_FALSE(std::filesystem::exists(base + "/rows"));
    std::filesystem::remove_all(base);
}

TEST(OutcomeLog, ReadBackAsWrittenWithoutALineCutShortOrForeignLines) {
    COutcome a{2304, 8250, EOutcome::Incomplete, "mail", u"Projects\\2018", u"tab\there"};
    COutcome b{2308, 0, EOutcome::Skipped, "calendar", u"", u"listed again"};
    std::string text = OutcomeLine(a) + "not an event\n" + OutcomeLine(b) + OutcomeLine(a).substr(0, 20);
    std::vector<COutcome> events = ParseOutcomeLog(text);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].pstFolder, u"Projects\\2018");
    EXPECT_EQ(events[0].reason, u"tab here");
    EXPECT_EQ(events[0].outcome, EOutcome::Incomplete);
    EXPECT_EQ(events[1].noteId, 2308u);
    EXPECT_EQ(events[1].itemKind, "calendar");

    // The report reads the file a line at a time into its compact table and
    // gets the same events back, a note's events in file order.
    char path[] = "/tmp/outcomes-test-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string twice = OutcomeLine(b) + text;
    ASSERT_EQ(write(fd, twice.data(), twice.size()), ssize_t(twice.size()));
    close(fd);
    CEventTable table;
    ASSERT_TRUE(table.AddFile(path));
    std::remove(path);
    table.Index();
    EXPECT_EQ(table.Size(), 3u);
    std::vector<COutcome> ofA = table.EventsOf(2304), ofB = table.EventsOf(2308);
    ASSERT_EQ(ofA.size(), 1u);
    EXPECT_EQ(ofA[0].reason, u"tab here");
    EXPECT_EQ(ofA[0].pstFolder, u"Projects\\2018");
    EXPECT_EQ(ofA[0].folderNoteId, 8250u);
    ASSERT_EQ(ofB.size(), 2u);
    EXPECT_EQ(ofB[1].itemKind, "calendar");
    EXPECT_EQ(ofB[1].reason, u"listed again");
    std::vector<uint32_t> ids;
    table.ForEachNoteId([&](uint32_t id) { ids.push_back(id); });
    EXPECT_EQ(ids, (std::vector<uint32_t>{2304, 2308}));
}

TEST(ReportFiles, CsvQuotesAndDisarmsTextsAndNamesFilesAfterThePst) {
    CDocumentReport r;
    CReportRow row;
    row.note = {2304, "ABC", "Memo", "=HYPERLINK(\"x\"), \"quoted\"", {}};
    row.notesFolders = {"($Inbox)", "Work"};
    row.outcome = EOutcome::NotConverted;
    row.itemKind = "mail";
    row.reason = "line\nbreak";
    r.rows.push_back(row);
    EXPECT_EQ(ReportCsv(r),
              "noteId,unid,form,subject,notesFolders,outcome,pstFolders,itemKind,reason\r\n"
              "2304,ABC,Memo,\"'=HYPERLINK(\"\"x\"\"), \"\"quoted\"\"\",($Inbox); Work,not converted,,mail,"
              "\"line\nbreak\"\r\n");
    EXPECT_EQ(ReportPathFor("/out/mail (2).pst", "csv"), "/out/mail (2).report.csv");
    EXPECT_NE(ReportJson(r, "a.nsf", "a.pst").find("\"outcome\": \"not converted\""), std::string::npos);
}

TEST(ReportFiles, JsonWrittenRowByRowIsTheWholeDocumentsDump) {
    for (int rows : {0, 1, 3}) {
        CDocumentReport r;
        for (int i = 0; i < rows; ++i) {
            CReportRow row;
            row.note = {uint32_t(2304 + 4 * i), "ABC", "Memo", "subject \"" + std::to_string(i) + "\"\n", {}};
            row.designNote = i == 1;
            row.notesFolders = {"($Inbox)"};
            r.rows.push_back(row);
        }
        r.folders.push_back({8250, "Inbox", EPassEnd::Converted, {}});
        const std::string text = ReportJson(r, "a\n\t\"documents\": null.nsf", "a.pst");
        const nlohmann::json j = nlohmann::json::parse(text);
        EXPECT_EQ(j.dump(1, '\t') + "\n", text);
        EXPECT_EQ(j["documents"].size() + j["designNotes"].size(), size_t(rows));
        EXPECT_EQ(j["designNotes"].size(), rows > 1 ? 1u : 0u);
        EXPECT_EQ(j["database"], "a\n\t\"documents\": null.nsf");
    }
}

TEST(ConversionReport, RunLogProblemsCountedChunkByChunk) {
    // Marks next to each other and across every possible chunk border.
    const std::u16string log = u"\uFEFFa WARNING:x\r\nERROR:ERROR:\tWarning:\r\nERROR:y WARNING:\r\nok";
    std::string bytes;
    for (char16_t c : log) bytes += {char(c & 0xFF), char(c >> 8)};
    char dir[] = "/tmp/report-log-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/log.txt";
    std::ofstream(path, std::ios::binary) << bytes;
    for (size_t chunk : {1u, 2u, 3u, 5u, 9u, 16u, 17u, 1u << 20}) {
        uint64_t warnings = 0, errors = 0;
        ASSERT_TRUE(CountLogProblems(std::u16string(path.begin(), path.end()), warnings, errors, chunk));
        EXPECT_EQ(warnings, 3u) << chunk;
        EXPECT_EQ(errors, 3u) << chunk;
    }
    uint64_t warnings = 0, errors = 0;
    EXPECT_FALSE(CountLogProblems(u"/nonexistent/log.txt", warnings, errors));
    std::filesystem::remove_all(dir);
}

}  // namespace

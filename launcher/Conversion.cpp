#include "launcher/Conversion.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "launcher/AddressSources.h"
#include "launcher/ChildProcess.h"
#include "launcher/ConversionReport.h"
#include "launcher/ConversionStats.h"
#include "launcher/DatabaseListing.h"
#include "launcher/ReportFiles.h"
#include "platform/notes/NotesSource.h"
#include "platform/pst/PstWriter.h"
#include "platform/pst/StagingStore.h"
#include "platform/sys/Files.h"
#include "platform/sys/Process.h"
#include "platform/sys/TempPath.h"
#include "platform/sys/Text.h"
#include "worker/core/OutcomeLog.h"
#include "worker/core/RunState.h"

namespace fs = std::filesystem;

ProgramPaths FindPrograms(const std::string& selfPath) {
    fs::path dir = fs::path(selfPath).parent_path();
    auto pick = [&](const char* name, const char* built) {
        fs::path sibling = dir / name;
        if (access(sibling.c_str(), X_OK) == 0) return sibling.string();
        return std::string(built);
    };
    return {pick("nsfviewer", NSF2PST_VIEWER_PATH), pick("nsfsaver", NSF2PST_SAVER_PATH)};
}

namespace {
std::u16string PstFolderPath(const std::u16string& selectedPath) {
    // The store skips empty parts of a path; a path of nothing but empty
    // parts names no folder, so such a folder gets the name Notes shows.
    bool named = std::any_of(selectedPath.begin(), selectedPath.end(),
                             [](char16_t c) { return c != u'\\' && c != u' '; });
    return named ? selectedPath : u"(Untitled)";
}
}  // namespace

CConversion::CConversion(LauncherOptions o, ProgramPaths p)
    : options(std::move(o)), programs(std::move(p)), progress(stderr, !options.quiet, isatty(STDERR_FILENO) == 1) {}

void CConversion::Say(const std::string& text) {
    if (!options.quiet) progress.Message(text);
}

uint64_t CConversion::ItemsSaved() const {
    return pst::CStagingStore::CountMessages(pst::CStagingStore::PathForPst(sys::Utf16ToUtf8(workPst)));
}

void CConversion::Fail(const std::string& text) {
    if (failure.empty()) failure = text;
}

bool CConversion::CheckInput() {
    struct stat st;
    const std::string& db = options.databasePath;
    if (stat(db.c_str(), &st) != 0) return Fail("cannot read the database " + db + ": no such file"), false;
    if (!S_ISREG(st.st_mode)) return Fail("the database " + db + " is not a file"), false;
    if (access(db.c_str(), R_OK) != 0) return Fail("cannot read the database " + db + ": permission denied"), false;
    if (!UseOutputFolder(options.outputDir)) return false;
    // The viewer's Save as PST dialog starts in the output folder.
    std::error_code ec;
    options.settings.destinationFolder = sys::Utf8ToUtf16(fs::absolute(options.outputDir, ec).string());
    return true;
}

bool CConversion::UseOutputFolder(const std::string& folder) {
    struct stat out;
    if (stat(folder.c_str(), &out) != 0 || !S_ISDIR(out.st_mode))
        return Fail("the output folder " + folder + " does not exist"), false;
    if (access(folder.c_str(), W_OK) != 0) return Fail("cannot write into the output folder " + folder), false;
    pstPath = (fs::path(folder) / PstStem(options)).string() + ".pst";
    if (fs::exists(pstPath) && !options.overwrite)
        return Fail(pstPath + " exists already (use --overwrite to replace it)"), false;
    return true;
}

int CConversion::Run() {
    auto started = std::chrono::steady_clock::now();
    if (!CheckInput()) {
        std::fprintf(stderr, "nsf2pst: %s\n", failure.c_str());
        return 2;
    }
    std::string error;
    if (!LoadAddressSources(options, error)) {
        std::fprintf(stderr, "nsf2pst: %s\n", error.c_str());
        return 2;
    }
    if (!work.Create(options.settings, error)) {
        std::fprintf(stderr, "nsf2pst: %s\n", error.c_str());
        return 1;
    }
    if (options.keepWork) {
        work.Keep();
        std::fprintf(stderr, "Work directory: %s\n", sys::Utf16ToUtf8(work.Path()).c_str());
    }
    workPst = work.File(sys::Utf8ToUtf16(fs::path(pstPath).filename().string()));
    setenv("TMPDIR", TemporaryFolder().c_str(), 1);
    InstallStopHandler();
    std::vector<SelectionEntry> folders;
    bool ok = RunViewer(folders);
    for (const SelectionEntry& folder : folders)
        folderEnds.push_back({folder.noteId, sys::Utf16ToUtf8(PstFolderPath(folder.path)), EPassEnd::NotReached, {}});
    for (size_t i = 0; ok && i < folders.size() && !stopped; ++i) ok = ConvertFolder(i, folders.size(), folders[i]);
    if (ok && !stopped) ok = ConvertCalendar();
    if (!folders.empty()) progress.Finish(ItemsSaved());
    // What was converted is kept even when the conversion stopped or failed part-way.
    bool written = (ok || stopped || foldersDone > 0) && WritePst() && WriteReport();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (written) PrintSummary(seconds);
    stats.totalSeconds = seconds;
    stats.launcherPeakRssKiB = OwnPeakRssKiB();  // the report may have needed more than the PST
    if (!options.statsPath.empty() && !sys::WriteWholeFile(sys::Utf8ToUtf16(options.statsPath), FormatStatsJson(stats)))
        std::fprintf(stderr, "nsf2pst: cannot write %s\n", options.statsPath.c_str());
    return ExitStatus();
}

// A PST split at the size limit: where each part went, with its items.
void CConversion::PrintParts() const {
    if (writtenParts.size() < 2) return;
    std::fprintf(stdout, "  split into %zu PST files of at most %.1f MB:\n", writtenParts.size(),
                 double(options.splitSize ? options.splitSize : pst::kOutlookPstLimit) / 1e6);
    for (const pst::CPartStats& part : writtenParts)
        std::fprintf(stdout, "    %s (%.1f MB, %llu items)%s\n", part.path.c_str(), double(part.fileBytes) / 1e6,
                     static_cast<unsigned long long>(part.messages),
                     part.oversized ? ": one item larger than the limit, alone in this file" : "");
}

int CConversion::ExitStatus() {
    if (!writtenPst.empty() && writtenPst != pstPath)
        Fail(pstPath + " appeared while the conversion ran and was left as it is; this conversion's PST is " +
             writtenPst);
    for (size_t i = 1; i < writtenParts.size(); ++i) {
        std::string wanted = pst::PstPartPath(pstPath, int(i) + 1).string();
        if (writtenParts[i].path != wanted)
            Fail(wanted + " appeared while the conversion ran and was left as it is; this part of the PST is " +
                 writtenParts[i].path.string());
    }
    if (!failure.empty()) {
        std::fprintf(stderr, "nsf2pst: %s\n", failure.c_str());
        if (!options.keepWork) {
            work.Keep();
            std::fprintf(stderr, "The work directory with the run log is kept: %s\n",
                         sys::Utf16ToUtf8(work.Path()).c_str());
        }
        return 1;
    }
    if (stopped) {
        std::fprintf(stderr, "nsf2pst: stopped on request; the PST holds what was converted until then.\n");
        return 130;
    }
    const CReportCounts& counts = report.counts;
    if (counts.Shortfall() == 0 && counts.failedPasses == 0) return 0;
    std::string what = std::to_string(counts.Shortfall()) + " of " + std::to_string(counts.documents) +
                       " documents were not converted or are incomplete";
    if (counts.failedPasses > 0)
        what += ", " + std::to_string(counts.failedPasses) + (counts.failedPasses == 1 ? " folder" : " folders") +
                " failed";
    std::fprintf(stderr, "nsf2pst: %s; the report %s says which and why.\n", what.c_str(), reportPath.c_str());
    return 3;
}

namespace {
// The reason a database cannot be read, as the Notes stand-in finds it
// (damaged, locally encrypted, not a Notes database).
std::string WhyNotOpenedAt(const std::string& path) {
    try {
        notes::OpenNotesSource(path);
    } catch (const notes::CNsfError& error) {
        return std::string(": ") + error.what();
    }
    return {};
}
}  // namespace

// The viewer's and the worker's temporary files (each document's .eml, .ics
// or .vcf, detached attachments and images) live for one document. Creating
// and deleting them on a journaled disk costs about a quarter of a
// conversion, so they go to a private folder in memory when that has room
// for the largest document several times over (its stored bytes, base64 in
// the .eml and detached beside it); otherwise they go with the work
// directory.
std::string CConversion::TemporaryFolder() {
    std::error_code ec;
    const uintmax_t databaseBytes = fs::file_size(options.databasePath, ec);
    if (!ec) {
        const uint64_t needed = 3 * static_cast<uint64_t>(databaseBytes) + (256u << 20);
        std::u16string memory = sys::MemoryTempPath(needed);
        std::string error;
        if (!memory.empty() && scratch.CreateEmpty(memory, error)) return sys::Utf16ToUtf8(scratch.Path());
    }
    return sys::Utf16ToUtf8(work.Path());
}

std::string CConversion::WhyNotOpened() const { return WhyNotOpenedAt(options.databasePath); }

bool CConversion::RunViewer(std::vector<SelectionEntry>& folders) {
    bool gui = options.gui;
    std::string mode = gui ? "1" : "3";
    std::string line = options.databasePath + "/D /C " + mode + "/P " + sys::Utf16ToUtf8(workPst) + "/F" +
                       sys::Utf16ToUtf8(work.Path());
    Say("Reading the folders of " + options.databasePath);
    stats.viewer.Add(RunChild(programs.viewer, line, !gui, {}, options.quiet));
    auto selection = ReadSelection(work.File(u"Folderpth.txt"), gui ? EViewerMode::Full : EViewerMode::Batch);
    if (!selection) return Fail("the Notes database " + options.databasePath + " cannot be opened" + WhyNotOpened()), false;
    if (selection->status != SelectionExport) {
        stopped = true;
        Say("Nothing was chosen for export.");
        return false;
    }
    // The viewer may have changed the options (mode 1): the worker reads them
    // from config.txt. The PST goes where the Save as PST dialog said.
    if (gui && !selection->destinationFolder.empty() &&
        !UseOutputFolder(sys::Utf16ToUtf8(selection->destinationFolder)))
        return false;
    folders = std::move(selection->entries);
    Say("Folders to convert: " + std::to_string(folders.size()));
    return true;
}

std::string CConversion::WorkerLine(bool calendarMode) const {
    return options.databasePath + "/D /C " + (calendarMode ? "1" : "0") + "/P " + sys::Utf16ToUtf8(workPst) + "/F" +
           sys::Utf16ToUtf8(work.Path());
}

bool CConversion::ConvertFolder(size_t index, size_t total, const SelectionEntry& folder) {
    std::u16string path = PstFolderPath(folder.path);
    std::string name = sys::Utf16ToUtf8(path);
    std::string which = "Folder " + std::to_string(index + 1) + " of " + std::to_string(total);
    Say(which + ": " + name);
    progress.Phase(which + ", " + name);
    CPassEnd& pass = folderEnds[index];
    bool goOn = RunBatches(path, false, {folder.noteId, 0, path, 1}, pass);
    progress.EndPhase(ItemsSaved());
    if (pass.end == EPassEnd::Converted) ++foldersDone;
    if (pass.end == EPassEnd::Converted && folder.noteId == notes::kUnfiledFolderId) unfiledFolder = name;
    if (pass.end == EPassEnd::Failed && goOn) Say("  the folder " + name + " failed: " + pass.reason);
    return goOn;
}

bool CConversion::ConvertCalendar() {
    calendarEnd.pstFolder = "Calendar";
    std::vector<uint32_t> ids;
    ReadCalendarIds(work.File(u"cal.txt"), ids);
    if (ids.empty()) {
        calendarEnd.end = EPassEnd::Converted;
        return true;
    }
    Say("Calendar entries: " + std::to_string(ids.size()));
    progress.Phase("Calendar entries");
    bool goOn = RunBatches(u"calendar", true, {0, 0, u"", 1}, calendarEnd);
    progress.EndPhase(ItemsSaved());
    if (calendarEnd.end == EPassEnd::Failed && goOn) Say("  the calendar entries failed: " + calendarEnd.reason);
    return goOn;
}

bool CConversion::RunBatches(const std::u16string& what, bool calendarMode, const FolderRunRecord& first,
                             CPassEnd& pass) {
    const std::u16string settingPath = work.File(u"setting.txt");
    if (!WriteFolderRunRecord(settingPath, first)) return Fail("cannot write the folder run record"), false;
    // A pass that fails on its own (its folder cannot be read, no run gets
    // further) is reported, and the conversion goes on with the others.
    auto passFailed = [&](std::string reason) {
        pass.end = EPassEnd::Failed;
        pass.reason = std::move(reason);
        return true;
    };
    std::string name = sys::Utf16ToUtf8(what);
    int runsWithoutProgress = 0;
    uint32_t from = first.position;
    // The run after one that a signal ended saves each document before
    // reading the next: a mail waiting to be saved would otherwise still
    // hold the record when the worker ends again, and that mail would be
    // passed over instead of the document at fault.
    bool oneAtATime = false;
    while (true) {
        sys::DeleteFile(work.File(runStateFileName));
        if (oneAtATime) setenv(oneAtATimeVariable, "1", 1);
        else unsetenv(oneAtATimeVariable);
        ChildResult run = RunChild(programs.saver, WorkerLine(calendarMode), !options.gui,
                                   [this] {
                                       if (progress.Due()) progress.Update(ItemsSaved());
                                   },
                                   options.quiet);
        (calendarMode ? stats.calendar : stats.mail).Add(run);
        // The worker never ends with 127 itself: it could not be started, and
        // no folder after this one would fare better.
        if (run.status == 127 || (run.status == -1 && run.signal == 0))
            return Fail("cannot run the worker " + programs.saver), false;
        oneAtATime = run.signal != 0;
        RunState state = ReadRunState(work.Path());
        FolderRunRecord record;
        ReadFolderRunRecord(settingPath, record);
        if (state.state == ERunState::Complete) {
            pass.end = EPassEnd::Converted;
            return true;
        }
        if (state.state == ERunState::FolderFailed) return passFailed(state.reason);
        if (state.state == ERunState::Stopped || StopRequested()) {
            stopped = true;
            Say("Stopped in " + name + " at position " + std::to_string(record.position));
            return false;
        }
        if (state.state == ERunState::Failed)
            return Fail("the worker failed in " + name + ": " + state.reason + DiskSpaceHint()), false;
        // A restart, or a worker that ended without saying how (killed): go
        // on from the position the record holds.
        if (state.state == ERunState::Unknown)
            Say("The worker ended unexpectedly (" +
                (run.signal ? "signal " + std::to_string(run.signal) : "status " + std::to_string(run.status)) +
                ") in " + name +
                "; continuing at position " + std::to_string(record.position));
        bool progress = record.position > from;
        runsWithoutProgress = progress ? 0 : runsWithoutProgress + 1;
        // A document that makes the worker end twice (a crash, the kernel's
        // out-of-memory killer) costs only itself: it is reported and the
        // runs go on after it.
        if (runsWithoutProgress >= 2 && state.state == ERunState::Unknown && run.signal != 0 &&
            documentsPassedOver < kMaxDocumentsPassedOver) {
            PassOverDocument(calendarMode, record, run.signal);
            if (!WriteFolderRunRecord(settingPath, record)) return Fail("cannot write the folder run record"), false;
            runsWithoutProgress = 0;
            from = record.position;
            Say("  continuing " + name + " at position " + std::to_string(record.position));
            continue;
        }
        if (runsWithoutProgress >= 2) {
            std::string why = "no progress at position " + std::to_string(record.position) + " after two runs";
            if (std::string disk = DiskSpaceHint(); !disk.empty()) return Fail("in " + name + ": " + why + disk), false;
            return passFailed(why);
        }
        from = record.position;
        Say("  continuing " + name + " at position " + std::to_string(record.position));
    }
}

// Records the document at the record's position as not converted and moves
// the record past it.
void CConversion::PassOverDocument(bool calendarMode, FolderRunRecord& record, int signal) {
    ++documentsPassedOver;
    uint32_t noteId = 0;
    if (calendarMode) {
        std::vector<uint32_t> ids;
        ReadCalendarIds(work.File(u"cal.txt"), ids);
        if (record.position < ids.size()) noteId = ids[record.position];
    } else {
        try {
            auto view = notes::OpenNotesSource(options.databasePath)->ReadView(record.folderNoteId);
            if (view && record.position < view->entries.size()) noteId = view->entries[record.position].noteId;
        } catch (const notes::CNsfError&) {
        }
    }
    std::string why = "the worker ended (signal " + std::to_string(signal) + ") twice while converting it";
    Say("  passing over position " + std::to_string(record.position) +
        (noteId ? " (note " + std::to_string(noteId) + ")" : std::string()) + ": " + why);
    if (noteId) {
        COutcomeLog outcomes;
        if (outcomes.Open(work.Path()))
            outcomes.Record(COutcome{noteId, calendarMode ? 0 : record.folderNoteId, EOutcome::NotConverted, "",
                                     calendarMode ? u"" : record.path, sys::Utf8ToUtf16(why)});
    }
    ++record.position;
}

std::string CConversion::DiskSpaceHint() const {
    // A worker that cannot write its staging store, run log or records ends
    // without saying why: a full disk is the usual cause.
    struct statvfs fs {};
    if (statvfs(sys::Utf16ToUtf8(work.Path()).c_str(), &fs) != 0) return {};
    uint64_t freeBytes = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (freeBytes >= (4u << 20)) return {};
    return "; the disk of the work folder " + sys::Utf16ToUtf8(work.Path()) + " is full (" +
           std::to_string(freeBytes / 1024) + " kB free)";
}

bool CConversion::WritePst() {
    fs::path staging = pst::CStagingStore::PathForPst(sys::Utf16ToUtf8(workPst));
    if (!fs::exists(staging)) {
        // Nothing was converted: still give the user a PST with the default folders.
        auto store = pst::CStagingStore::Open(staging);
        if (!store) return Fail("cannot create the staging store"), false;
    }
    Say("Writing " + pstPath);
    auto started = std::chrono::steady_clock::now();
    pst::CWriteStats written;
    pst::CWriteOptions how;
    // The name was free when the conversion began; a file that took it
    // since (another conversion into the same folder) is not replaced.
    how.replaceExisting = options.overwrite;
    if (options.splitSize) how.splitSize = options.splitSize;
    std::string error = pst::WritePstFromStaging(staging, pstPath, &written, how);
    stats.pstSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    stats.pstBytes = written.fileBytes;
    stats.messages = written.messages;
    writtenByClass = written.messagesByClass;
    stats.launcherPeakRssKiB = OwnPeakRssKiB();
    if (!error.empty()) return Fail("cannot write " + pstPath + ": " + error), false;
    writtenPst = written.path.string();
    writtenParts = written.parts;
    // The writer's block and node lists are gone; the report starts afresh.
    sys::ReturnFreedMemory();
    return true;
}

bool CConversion::WriteReport() {
    CDatabaseListing listing;
    try {
        listing = ListDatabase(options.databasePath);
    } catch (const notes::CNsfError& error) {
        return Fail("the documents of " + options.databasePath + " cannot be listed for the report: " + error.what()),
               false;
    }
    CEventTable events;
    events.AddFile(sys::Utf16ToUtf8(work.File(u"outcomes.txt")));
    events.Index();
    // The rows are written as they are made rather than held: the report
    // keeps only the counts and how the passes ended.
    CReportRows rows(listing, folderEnds, calendarEnd, events);
    report = CDocumentReport{};
    report.folders = folderEnds;
    report.calendar = calendarEnd;
    reportPath = ReportPathFor(writtenPst, "csv");
    const CReportFilePaths paths{reportPath, ReportPathFor(writtenPst, "json"),
                                 sys::Utf16ToUtf8(work.File(u"report-documents.json"))};
    if (!WriteReportFiles(paths, rows, report, options.databasePath, writtenPst))
        return Fail("cannot write the report " + reportPath), false;
    return true;
}

namespace {
// How many documents the folder of documents in no Notes folder holds.
uint64_t UnfiledDocumentCount(const std::string& databasePath) {
    try {
        auto view = notes::OpenNotesSource(databasePath)->ReadView(notes::kUnfiledFolderId);
        return view ? view->entries.size() : 0;
    } catch (const notes::CNsfError&) {
        return 0;
    }
}
}  // namespace

void CConversion::PrintSummary(double seconds) {
    ConversionReport summary = MakeConversionReport(report.counts, work.LogPath(), writtenPst);
    summary.folders = foldersDone;
    summary.seconds = seconds;
    summary.reportPath = reportPath;
    for (const CPassEnd& pass : folderEnds)
        if (pass.end == EPassEnd::Failed) summary.failedFolders.push_back(pass.pstFolder + ": " + pass.reason);
    if (calendarEnd.end == EPassEnd::Failed) summary.failedFolders.push_back("calendar entries: " + calendarEnd.reason);
    if (!unfiledFolder.empty()) {
        summary.unfiledFolder = unfiledFolder;
        summary.unfiledDocuments = UnfiledDocumentCount(options.databasePath);
    }
    std::fprintf(stdout, "%s", FormatConversionReport(summary).c_str());
    PrintParts();
    // The report's counts and the items the PST writer wrote must agree.
    std::map<std::string, uint64_t> inPst;
    for (const auto& [messageClass, count] : writtenByClass) inPst[KindOfMessageClass(messageClass)] += count;
    std::erase_if(summary.itemsByKind, [](const auto& kind) { return kind.second == 0; });
    if (inPst != summary.itemsByKind)
        std::fprintf(stderr, "nsf2pst: warning: the report and the PST disagree on the number of items (%s)\n",
                     reportPath.c_str());
}

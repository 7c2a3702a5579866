#include "launcher/Conversion.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "launcher/AddressSources.h"
#include "launcher/ChildProcess.h"
#include "launcher/ConversionReport.h"
#include "launcher/ConversionStats.h"
#include "platform/notes/NotesSource.h"
#include "platform/pst/PstWriter.h"
#include "platform/pst/StagingStore.h"
#include "platform/sys/Files.h"
#include "platform/sys/Text.h"

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
    pstPath = (fs::path(folder) / fs::path(options.databasePath).stem()).string() + ".pst";
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
    // The viewer's and the worker's temporary files (detached attachments,
    // the calendar files the worker keeps) go with the work directory.
    setenv("TMPDIR", sys::Utf16ToUtf8(work.Path()).c_str(), 1);
    InstallStopHandler();
    std::vector<SelectionEntry> folders;
    bool ok = RunViewer(folders);
    for (size_t i = 0; ok && i < folders.size() && !stopped; ++i) ok = ConvertFolder(i, folders.size(), folders[i]);
    if (ok && !stopped) ok = ConvertCalendar();
    if (!folders.empty()) progress.Finish(ItemsSaved());
    // What was converted is kept even when the conversion stopped or failed part-way.
    bool written = (ok || stopped || foldersDone > 0) && WritePst();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (written) PrintSummary(seconds);
    stats.totalSeconds = seconds;
    if (!options.statsPath.empty() && !sys::WriteWholeFile(sys::Utf8ToUtf16(options.statsPath), FormatStatsJson(stats)))
        std::fprintf(stderr, "nsf2pst: cannot write %s\n", options.statsPath.c_str());
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
    return 0;
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
    std::string name = sys::Utf16ToUtf8(folder.path);
    std::string which = "Folder " + std::to_string(index + 1) + " of " + std::to_string(total);
    Say(which + ": " + name);
    progress.Phase(which + ", " + name);
    bool ok = RunBatches(folder.path, false, {folder.noteId, 0, folder.path, 1});
    if (ok) ++foldersDone;
    if (ok && folder.noteId == notes::kUnfiledFolderId) unfiledFolder = name;
    return ok;
}

bool CConversion::ConvertCalendar() {
    std::vector<uint32_t> ids;
    ReadCalendarIds(work.File(u"cal.txt"), ids);
    if (ids.empty()) return true;
    Say("Calendar entries: " + std::to_string(ids.size()));
    progress.Phase("Calendar entries");
    return RunBatches(u"calendar", true, {0, 0, u"", 1});
}

bool CConversion::RunBatches(const std::u16string& what, bool calendarMode, const FolderRunRecord& first) {
    const std::u16string settingPath = work.File(u"setting.txt");
    if (!WriteFolderRunRecord(settingPath, first)) return Fail("cannot write the folder run record"), false;
    std::string name = sys::Utf16ToUtf8(what);
    int runsWithoutProgress = 0;
    uint32_t from = first.position;
    while (true) {
        sys::DeleteFile(work.File(runStateFileName));
        ChildResult run = RunChild(programs.saver, WorkerLine(calendarMode), !options.gui,
                                   [this] { progress.Update(ItemsSaved()); }, options.quiet);
        (calendarMode ? stats.calendar : stats.mail).Add(run);
        RunState state = ReadRunState(work.Path());
        FolderRunRecord record;
        ReadFolderRunRecord(settingPath, record);
        if (state.state == ERunState::Complete) return true;
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
        if (runsWithoutProgress >= 2)
            return Fail("no progress in " + name + " at position " + std::to_string(record.position) +
                        " after two runs" + DiskSpaceHint()),
                   false;
        from = record.position;
        Say("  continuing " + name + " at position " + std::to_string(record.position));
    }
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
    std::string error = pst::WritePstFromStaging(staging, pstPath, &written);
    stats.pstSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    stats.pstBytes = written.fileBytes;
    stats.messages = written.messages;
    writtenByClass = written.messagesByClass;
    stats.launcherPeakRssKiB = OwnPeakRssKiB();
    if (!error.empty()) return Fail("cannot write " + pstPath + ": " + error), false;
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
    ConversionReport report = MakeConversionReport(writtenByClass, work.LogPath(), pstPath);
    report.folders = foldersDone;
    report.seconds = seconds;
    if (!unfiledFolder.empty()) {
        report.unfiledFolder = unfiledFolder;
        report.unfiledDocuments = UnfiledDocumentCount(options.databasePath);
    }
    std::fprintf(stdout, "%s", FormatConversionReport(report).c_str());
}

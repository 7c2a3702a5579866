#include "worker/core/MailFolderPass.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Files.h"
#include "platform/sys/Text.h"
#include "worker/core/ItemConversions.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/core/RunState.h"
#include "worker/core/SaveAhead.h"
#include "worker/core/WorkFiles.h"
#include "worker/notes/DateFilter.h"
#include "worker/notes/DateText.h"
#include "worker/store/StoreOperations.h"

namespace {

constexpr uint64_t batchLimit = 20000;
// A mail whose message file is larger than this is saved before the next
// document is read, so that two large mails are never held at once.
constexpr uint64_t saveAheadLimit = 8u << 20;

// The run ends before the position being converted: the save of the one
// before it was refused.
struct CRunEnded {};

bool OneAtATime() {
    const char* value = std::getenv(oneAtATimeVariable);
    return value && std::string_view(value) == "1";
}

// The state of one pass over a folder.
//
// Mails are imported and saved on the saving thread while the next
// positions are read and composed (see SaveAhead.h). What the restart
// protocol needs stays as it is: a position's record is written only once
// the saves before it are committed and their outcomes recorded, and before
// its own outcome or calendar ID is kept. A handed mail's save may be
// committed before its record (with the run of saves it belongs to); a
// restart at that position saves it again over the same item. While mails
// wait for the store, the saving thread writes their held log lines,
// records and outcomes in order, and the lines of the positions after them
// are held; so the log reads as if each document were converted after the
// one before had ended. Anything but a handed mail first waits until every
// save has ended (Settle).
class CMailFolderPass : private ISaveHandoff {
public:
    CMailFolderPass(CNsfConverter& c, const MailRunInput& in, const store::DispatchPtr& s)
        : converter(c), app(c.app), input(in), session(s), saveAhead(s) {}

    void Run() {
        try {
            Prepare();
            Loop();
            Finish();
        } catch (LNSTATUS status) {
            // A Notes error outside the per-document guard ends the pass
            // without the final record and without the summary; the run
            // reports the folder as failed.
            SettleAll();
            app.runLog.WriteRaw(NotesErrorText(status));
            ++app.errorCount;
            app.runLog.WriteRaw(u"\tERROR:while processing folder\r\n");
            app.folderFailure = sys::Utf16ToUtf8(NotesErrorText(status));
        }
    }

private:
    // What the pass knows of the document at the current position.
    struct CCurrent {
        LNNOTEID noteId = 0;
        bool opened = false;  // counted as found
        bool ended = false;   // its outcome is recorded
    };

    // The counters as a position found them, to undo what it counted when
    // the run ends before it.
    struct CCounts {
        uint64_t found, skipped, warnings, errors;
        CCounts operator-(const CCounts& o) const {
            return {found - o.found, skipped - o.skipped, warnings - o.warnings, errors - o.errors};
        }
        CCounts operator+(const CCounts& o) const {
            return {found + o.found, skipped + o.skipped, warnings + o.warnings, errors + o.errors};
        }
    };

    void Log(std::u16string_view line) { app.runLog.WriteLine(line); }
    void Raw(std::u16string_view text) { app.runLog.WriteRaw(text); }
    // A document lost for this run (the caller counts the error).
    void LogConversionError(const std::u16string& why) {
        Raw(why + u"\r\n");
        Raw(u"ERROR:Document cannot be converted\r\n");
    }

    void WriteRecord(uint32_t position, uint8_t status) {
        if (!WriteFolderRunRecord(app.settingPath, {input.folderNoteId, position, input.folderPath, status}))
            Log(u"setting file cannot be created");
    }

    void Record(COutcome event) {
        Settle();
        RecordSettled(std::move(event));
    }

    void RecordSettled(COutcome event) {
        event.folderNoteId = input.folderNoteId;
        app.outcomes.Record(event);
    }

    // Makes the current position's record true: ends every save before it,
    // writes the lines held for this position after those saves' lines and
    // writes the record. Throws CRunEnded when one of those saves was
    // refused; the position then never began (its lines and counts are
    // dropped).
    void Settle() {
        if (settled) return;
        settled = true;
        std::string held = app.runLog.Unhold();
        if (saveAhead.Busy()) {
            // The earlier saves' outcomes are counted as if this position
            // had not begun; what this one counted so far comes back on top.
            const CCounts mine = Counts() - atStart;
            SetCounts(atStart);
            EndSaves();
            SetCounts(Counts() + mine);
        }
        app.runLog.WriteHeld(held);
        WriteRecord(position, 1);
    }

    // Waits for every mail handed over and takes over what their ends
    // counted. When the store refused one, the positions handed after it
    // never began: what they counted and the lines held since are dropped,
    // and CRunEnded ends the run.
    void EndSaves() {
        if (!saveAhead.Busy()) return;
        const CSaveAhead::CDrained drained = saveAhead.Drain();
        const CCounts base = drained.ended < handedAtStart.size() ? handedAtStart[drained.ended] : Counts();
        SetCounts(base + std::exchange(countedBySaves, CCounts{}));
        handedAtStart.clear();
        if (!drained.stopped) return;
        app.runLog.Unhold();
        throw CRunEnded{};
    }

    // When the pass stops: settles the position it stopped at and ends the
    // saves still running.
    void SettleAll() {
        try {
            Settle();
            EndSaves();
        } catch (const CRunEnded&) {
            return;
        }
        app.runLog.WriteHeld(app.runLog.Unhold());
    }

    // Hands a mail to the saving thread. Its position's held lines and
    // record go with it when the position is not settled yet; from here the
    // saving thread writes the log until the saves are ended.
    void Hand(CHandedMail mail) override {
        if (!settled && saveAhead.Stopped()) Settle();  // throws: an earlier save was refused
        std::error_code ec;
        const uintmax_t bytes = std::filesystem::file_size(sys::ToFsPath(*handedFile), ec);
        CSaveAhead::CJob job;
        job.item = std::move(mail.item);
        job.sourceKey = std::move(mail.sourceKey);
        job.importAndPuts = std::move(mail.importAndPuts);
        // The import reads the message file: it is deleted after it.
        if (job.importAndPuts) job.messageFile = std::exchange(*handedFile, {});
        const uint64_t jobBytes = ec ? 0 : bytes;
        job.bytes = jobBytes;
        const bool writesRecord = !settled;
        job.begin = [this, writesRecord, at = position, held = settled ? std::string() : app.runLog.Unhold()] {
            app.runLog.WriteHeld(held);
            if (writesRecord) WriteRecord(at, 1);
        };
        job.end = [this, current = handed, problems = std::exchange(converter.documentProblems, {})](
                      storeops::CSaveResult& saved, std::exception_ptr importFailure) {
            return EndOfSave(current, problems, saved, importFailure);
        };
        settled = true;
        app.runLog.Hold();
        handedAtStart.push_back(atStart);
        saveAhead.Start(std::move(job));
        if (jobBytes > saveAheadLimit || oneAtATime) EndSaves();
    }

    // How a handed mail ended, on the saving thread: its outcome, and its
    // counts into countedBySaves. False when the store refused it.
    bool EndOfSave(const CCurrent& current, const std::vector<std::u16string>& problems,
                   storeops::CSaveResult& saved, std::exception_ptr importFailure) {
        CCounts& counts = countedBySaves;
        if (importFailure) {
            // Lost for this run, as any document that cannot be converted.
            std::u16string why = ExceptionText(importFailure);
            ++counts.skipped;
            RecordSettled({current.noteId, 0, EOutcome::NotConverted, {}, {}, why});
            LogConversionError(why);
            ++counts.errors;
            return true;
        }
        if (!saved.failure.empty()) {
            ReportStoreFailure(app, saved.failure, counts.errors);
            ++counts.skipped;
            RecordSettled({current.noteId, 0, EOutcome::NotConverted, "mail", {}, sys::Utf8ToUtf16(app.storeFailure)});
            return false;
        }
        RecordSettled(SavedEvent(current, "mail", input.folderPath, problems, saved.savedOver));
        if (saved.savedOver) ++counts.skipped;
        return true;
    }

    static COutcome SavedEvent(const CCurrent& current, const char* kind, const std::u16string& pstFolder,
                               const std::vector<std::u16string>& problems, bool savedOver) {
        COutcome event = SavedOutcome(problems, savedOver);
        event.noteId = current.noteId;
        event.itemKind = kind;
        event.pstFolder = pstFolder;
        return event;
    }

    CCounts Counts() const { return {found, skipped, app.warningCount, app.errorCount}; }
    void SetCounts(const CCounts& c) {
        found = c.found;
        skipped = c.skipped;
        app.warningCount = c.warnings;
        app.errorCount = c.errors;
    }

    void Prepare() {
        if (converter.tempDir.empty()) converter.tempDir = MakeWorkerTempDir();
        inAllView = input.folderPath.find(u"($All)") != std::u16string::npos;
        // Calendar IDs accumulate over every mail run of a conversion: each
        // run continues after the IDs recorded before it.
        if (!calendarIds.Open(app.calPath, true)) Log(u"calentry file cannot be open");
        Log(u"Dumping folder path: " + input.folderPath);
        target = storeops::Items(storeops::FolderByPath(session, input.folderPath));
        tasks = storeops::Items(storeops::DefaultFolder(session, storeops::FolderTasks));
        contacts = storeops::Items(storeops::DefaultFolder(session, storeops::FolderContacts));
        distLists = storeops::Items(storeops::DefaultFolder(session, storeops::FolderDistLists));
        LNSTATUS status = converter.database.GetViewFolder(input.folderNoteId, &view);
        if (status != 0) Raw(u"Folder view cannot be fetch with noteid \r\n");
        if (LNSTATUS open = view.Open(0x10001); open != 0 && (open = view.Open(0)) != 0) {
            Raw(u"Folder view cannot be open \r\n");
            if (status == 0) status = open;
        }
        // A view that cannot be had is no empty folder: its entry count is
        // a Notes error, which ends the pass.
        if (status != 0) throw status;
        count = static_cast<uint32_t>(view.GetEntryCount());
        converter.window->SendRange(0, count);
        converter.window->SendPosition(0);
        Log(u"Total number of emails: " + Decimal(count));
    }

    void Loop() {
        for (uint32_t i = input.startIndex; i < count; ++i) {
            position = i;
            atStart = Counts();
            settled = false;
            if (saveAhead.Busy())
                app.runLog.Hold();
            else
                Settle();
            // Finish settles a position the run ends at.
            if (RunEndsHere(app, ++batchCount, batchLimit, stopped)) return;
            if (i % 10 == 0) converter.window->SendPosition(i);
            if (!ConvertPosition(i)) return;
        }
    }

    // One position of the view; false ends the run (for a restart, or as
    // failed when the store refused an item).
    bool ConvertPosition(uint32_t i) {
        Raw(u"Email number: " + Decimal(i) + u" \r\n");
        LNDocument doc;
        std::u16string tempPath;
        CCurrent current;
        bool goOn = true;
        converter.documentProblems.clear();
        try {
            LNVFEntry entry = view[static_cast<LNINT>(i)];
            if (entry.IsNull()) return true;
            current.noteId = entry.GetNoteID();
            bool isRead = !entry.IsUnread();
            if (LNSTATUS status = entry.GetDocument(&doc); status != 0) {
                Raw(NotesErrorText(status));
                NotConverted(current, NotesErrorText(status));
                return true;
            }
            LNSTATUS openStatus = doc.Open(0);
            if (openStatus == 263) {
                app.restartNeeded = 1;
                return false;
            }
            if (!doc.IsOpen())
                NotOpened(current, openStatus);
            else
                goOn = ConvertOpenDocument(i, doc, isRead, tempPath, current);
        } catch (const CRunEnded&) {
            goOn = false;
        } catch (...) {
            // The document is lost for this run: say so and count it.
            try {
                std::u16string why = ExceptionText(std::current_exception());
                if (current.noteId != 0 && !current.ended) {
                    if (current.opened) ++skipped;
                    NotConverted(current, why);
                }
                LogConversionError(why);
                ++app.errorCount;
            } catch (const CRunEnded&) {
                goOn = false;
            }
        }
        if (!tempPath.empty()) sys::DeleteFile(tempPath);
        if (doc.IsOpen()) doc.Close();
        return goOn;
    }

    void NotOpened(CCurrent& current, LNSTATUS openStatus) {
        Raw(NotesErrorText(openStatus) + u"\r\n");
        ++app.warningCount;
        Raw(u"WARNING:Document cannot be opened\r\n");
        ++skipped;
        Raw(u"\r\n");
        NotConverted(current, NotesErrorText(openStatus));
    }

    void NotConverted(CCurrent& current, std::u16string reason) {
        current.ended = true;
        Record({current.noteId, 0, EOutcome::NotConverted, {}, {}, std::move(reason)});
    }

    void Skipped(CCurrent& current, std::u16string reason) {
        current.ended = true;
        ++skipped;
        Record({current.noteId, 0, EOutcome::Skipped, {}, {}, std::move(reason)});
    }

    bool ConvertOpenDocument(uint32_t i, LNDocument& doc, bool isRead, std::u16string& tempPath,
                             CCurrent& current) {
        ++found;
        current.opened = true;
        std::u16string form = FromNotesTextOf(doc.GetFormName());
        LNNOTEID noteId = doc.GetNoteID();
        current.noteId = noteId;
        Raw(u"\r\nItem ID:\t" + Decimal(noteId));
        Raw(u"\r\n");
        Raw(u"Item Type:\t" + form + u"\r\n");
        bool accepted = app.settings.dateRanges.empty() ||
                        InDateRanges(app.settings.dateRanges, ToOleTimestamp(doc.GetCreated()));
        doc.Close();
        if (!accepted) {
            Skipped(current, u"created outside the date range");
            return true;
        }
        CItemTarget where{converter, i, noteId, isRead, tempPath, input.folderNoteId};
        const EFormKind kind = FormKindOf(form);
        // Only a mail's save runs ahead; every other kind finds the store idle.
        if (kind != EFormKind::Mail) Settle();
        switch (kind) {
            case EFormKind::Mail:
                where.handoff = this;
                handed = current;
                handedFile = &tempPath;
                return Ended(current, "mail", input.folderPath, ConvertMail(where, target),
                             converter.documentProblems);
            case EFormKind::Task:
                return Ended(current, "task", u"Tasks", ConvertTask(where, tasks), converter.documentProblems);
            case EFormKind::Contact:
                return Ended(current, "contact", u"Contacts", ConvertContact(where, contacts),
                             converter.documentProblems);
            case EFormKind::DistList:
                return Ended(current, "group", u"Contacts", ConvertDistList(where, distLists),
                             converter.documentProblems);
            case EFormKind::Calendar:
                NoteCalendarEntry(current);
                return true;
            case EFormKind::Unknown:
                ++app.errorCount;
                Raw(u"ERROR:Item Type not found.Entry cannot be dump in Database\r\n");
                Skipped(current, u"form \"" + form + u"\" is not converted");
                Raw(u"\r\n");
                return true;
        }
        return true;
    }

    void NoteCalendarEntry(CCurrent& current) {
        Settle();
        current.ended = true;
        if (inAllView) {
            Record({current.noteId, 0, EOutcome::Skipped, "calendar", {},
                    u"calendar entries are taken from the folders that list them, not from ($All)"});
        } else if (calendarIds.IsOpen() && calendarIds.Append(current.noteId)) {
            Record({current.noteId, 0, EOutcome::Deferred, "calendar", {}, {}});
        } else {
            Record({current.noteId, 0, EOutcome::NotConverted, "calendar", {}, u"the calendar list cannot be written"});
        }
    }

    // Records how the item ended and keeps the folder summary true: an item
    // saved over an earlier copy or not saved at all is no dumped item, and
    // a document left to the next run was not found by this one.
    bool Ended(CCurrent& current, const char* kind, const std::u16string& pstFolder, EItemEnd end,
               const std::vector<std::u16string>& problems) {
        current.ended = true;
        switch (end) {
            case EItemEnd::Handed:
                return true;
            case EItemEnd::Saved:
            case EItemEnd::SavedOver: {
                Record(SavedEvent(current, kind, pstFolder, problems, end == EItemEnd::SavedOver));
                if (end == EItemEnd::SavedOver) ++skipped;
                return true;
            }
            case EItemEnd::NoFolder:
                ++skipped;
                Record({current.noteId, 0, EOutcome::NotConverted, kind, {}, u"the PST has no folder for it"});
                return true;
            case EItemEnd::Restart:
                --found;
                return false;
            case EItemEnd::Refused:
                ++skipped;
                Record({current.noteId, 0, EOutcome::NotConverted, kind, {},
                        sys::Utf8ToUtf16(app.storeFailure)});
                return false;
        }
        return true;
    }

    void Finish() {
        SettleAll();
        if (!view.IsNull() && view.IsOpen()) view.Close();
        if (app.restartNeeded == 0 || stopped) WriteRecord(0, stopped ? 0 : 1);
        target = tasks = contacts = distLists = nullptr;
        WriteFolderSummary(app.runLog, {found, skipped, app.warningCount, app.errorCount}, sys::LocalNow());
    }

    CNsfConverter& converter;
    CsavingprocessApp& app;
    const MailRunInput& input;
    store::DispatchPtr session;
    store::DispatchPtr target, tasks, contacts, distLists;
    CCalendarIdWriter calendarIds;
    LNViewFolder view;
    uint32_t count = 0;
    uint64_t found = 0, skipped = 0, batchCount = 0;
    bool stopped = false;
    bool inAllView = false;
    const bool oneAtATime = OneAtATime();
    // The position being converted, whether its record is written, and
    // the counters as it found them.
    uint32_t position = 0;
    bool settled = true;
    CCounts atStart{};
    // The mail being converted (for Hand).
    CCurrent handed;
    std::u16string* handedFile = nullptr;
    // The counters as each position handed since the last drain found
    // them, and what the ends of their saves counted (on the saving thread).
    std::deque<CCounts> handedAtStart;
    CCounts countedBySaves{};
    // Last: its thread ends before anything its jobs use goes.
    CSaveAhead saveAhead;
};

}  // namespace

void RunFolder(CNsfConverter& converter, const MailRunInput& input, const store::DispatchPtr& session) {
    CsavingprocessApp& app = converter.app;
    if (input.folderPath.find(u"($All)") != std::u16string::npos && app.settings.includeAllView == 0) return;
    app.runLog.WriteRaw(u"\r\n " + std::u16string(76, u'-') + u"\r\n");
    app.runLog.WriteLine(u"Dumping Folder :\t " + input.folderPath);
    converter.window->SendStatusText(u"Dumping Folder data " + input.folderPath);
    CMailFolderPass(converter, input, session).Run();
}

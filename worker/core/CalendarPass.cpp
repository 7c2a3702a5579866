#include "worker/core/CalendarPass.h"

#include <unordered_set>
#include <vector>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "worker/core/ItemConversions.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/core/WorkFiles.h"
#include "worker/notes/DateFilter.h"
#include "worker/notes/DateText.h"
#include "worker/store/StoreOperations.h"
#include "worker/writers/CalendarRecord.h"
#include "worker/writers/CalendarWriter.h"

using store::CVariant;
using storeops::Put;
using storeops::PutOnce;

namespace {

constexpr uint64_t calendarBatchLimit = 100;

class CCalendarPass {
public:
    CCalendarPass(CNsfConverter& c, const store::DispatchPtr& s) : converter(c), app(c.app), session(s) {}

    void Run() {
        FolderRunRecord record;
        if (ReadFolderRunRecord(app.settingPath, record)) {
            startIndex = record.position;
            path = record.path;
        }
        if (!ReadCalendarIds(app.calPath, ids)) return;
        converter.window->SendStatusText(u"Saving Calendar Entries");
        converter.window->Send([&] {
            converter.window->SetRange(0, static_cast<int32_t>(ids.size()));
        });
        calendar = storeops::Items(storeops::DefaultFolder(session, storeops::FolderCalendar));
        Loop();
        app.runLog.WriteLine(u"Calendar entries saved. ");
        calendar = nullptr;
        if (app.restartNeeded == 0 || stopped) {
            uint32_t lastId = ids.empty() ? 0 : ids.back();
            WriteRecord(lastId, 0, stopped ? 0 : 1);
        }
    }

private:
    void Raw(std::u16string_view text) { app.runLog.WriteRaw(text); }

    void WriteRecord(uint32_t noteId, uint32_t position, uint8_t status) {
        if (!WriteFolderRunRecord(app.settingPath, {noteId, position, path, status}))
            app.runLog.WriteLine(u"setting file cannot be open");
    }

    void Loop() {
        for (uint32_t i = startIndex; i < ids.size(); ++i) {
            converter.window->Send([&] { converter.window->SetPosition(static_cast<int32_t>(i)); });
            uint32_t noteId = ids[i];
            WriteRecord(noteId, i, 1);
            if (RunEndsHere(app, ++batchCount, calendarBatchLimit, stopped)) return;
            // A calendar document reached through several folders is listed
            // more than once: it becomes one appointment, at its first place.
            if (SeenBefore(i)) {
                Record(noteId, EOutcome::Skipped, u"listed again; converted at its first place in the list");
                continue;
            }
            if (ConvertEntry(noteId) == 0) {
                app.restartNeeded = 1;
                return;
            }
        }
    }

    bool SeenBefore(uint32_t i) {
        if (earlier.empty() && i > 0) earlier.insert(ids.begin(), ids.begin() + i);
        bool seen = !earlier.insert(ids[i]).second;
        return seen;
    }

    int ConvertEntry(uint32_t noteId);
    int ConvertOpenEntry(uint32_t noteId, LNDocument& doc);
    void Record(uint32_t noteId, EOutcome outcome, std::u16string reason = {}) {
        ended = true;
        app.outcomes.Record({noteId, 0, outcome, "calendar", {}, std::move(reason)});
    }
    void RecordSaved(uint32_t noteId, bool savedOver) {
        COutcome event = SavedOutcome(converter.documentProblems, savedOver);
        event.noteId = noteId;
        event.itemKind = "calendar";
        event.pstFolder = u"Calendar";
        ended = true;
        app.outcomes.Record(event);
    }
    void PutAppointmentProperties(const store::DispatchPtr& item, const CalendarRecord& r);

    CNsfConverter& converter;
    CsavingprocessApp& app;
    store::DispatchPtr session;
    store::DispatchPtr calendar;
    std::vector<uint32_t> ids;
    std::unordered_set<uint32_t> earlier;
    uint32_t startIndex = 0;
    std::u16string path;
    uint64_t batchCount = 0;
    bool stopped = false;
    bool ended = false;  // the current entry's outcome is recorded
};

int CCalendarPass::ConvertEntry(uint32_t noteId) {
    if (converter.tempDir.empty()) converter.tempDir = MakeWorkerTempDir();
    converter.documentProblems.clear();
    ended = false;
    int result = 1;
    LNDocument doc;
    try {
        if (LNSTATUS status = converter.database.GetDocument(noteId, &doc); status != 0) {
            Raw(u"Warning:Document cannot be opened\r\n");
            Record(noteId, EOutcome::NotConverted, NotesErrorText(status));
            return 1;
        }
        LNSTATUS openStatus = doc.Open(0);
        if (openStatus == 263) result = 0;
        if (!doc.IsOpen()) {
            ++app.warningCount;
            Raw(u"WARNING:Document cannot be opened\r\n");
            Raw(u"\r\n");
            // An entry left to the next run gets its outcome there.
            if (result != 0) Record(noteId, EOutcome::NotConverted, NotesErrorText(openStatus));
            return result;
        }
        int converted = ConvertOpenEntry(noteId, doc);
        if (converted == 0) result = 0;
    } catch (LNSTATUS status) {
        Raw(NotesErrorText(status));
        ++app.errorCount;
        Raw(u"\tERROR:while processing folder\r\n");
        if (!ended) Record(noteId, EOutcome::NotConverted, NotesErrorText(status));
    } catch (...) {
        // The entry is lost for this run: say so and count it.
        ++app.errorCount;
        Raw(u"ERROR:Calendar entry cannot be converted\r\n");
        if (!ended) Record(noteId, EOutcome::NotConverted, ExceptionText(std::current_exception()));
    }
    if (doc.IsOpen()) doc.Close();
    return result;
}

// Steps of an entry whose document is open; 0 ends the run for a restart at it.
int CCalendarPass::ConvertOpenEntry(uint32_t noteId, LNDocument& doc) {
    std::u16string form = FromNotesTextOf(doc.GetFormName());
    Raw(u"\r\nItem ID:\t" + Decimal(doc.GetNoteID()));
    Raw(u"\r\n");
    Raw(u"Item Type:\t" + form + u"\r\n");
    Raw(u"\r\n");
    bool accepted = app.settings.dateRanges.empty() ||
                    InDateRanges(app.settings.dateRanges, ToOleTimestamp(doc.GetCreated()));
    doc.Close();
    Raw(u"\r\n");
    Raw(u"doc is closed1");
    if (!accepted) {
        Record(noteId, EOutcome::Skipped, u"created outside the date range");
        return 1;
    }
    if (FormKindOf(form) != EFormKind::Calendar) {
        ++app.errorCount;
        Raw(u"ERROR:Item Type is not calendar type.Entry cannot be dump in Database\r\n");
        Raw(u"\r\n");
        Record(noteId, EOutcome::NotConverted, u"form \"" + form + u"\" is not a calendar form");
        return 1;
    }
    Raw(u"\r\n");
    Raw(u"creating appointment");
    CalendarRecord record;
    ReadCalendarEntry(converter, noteId, record);
    record.isRead = 1;
    if (!calendar) {
        Record(noteId, EOutcome::NotConverted, u"the PST has no calendar folder");
        return 1;
    }
    Raw(u"\r\n");
    Raw(u"session found");
    store::DispatchPtr item = storeops::AddItem(calendar, u"IPM.Appointment");
    if (!item) {
        Raw(u"Rdomail not found.");
        Raw(u"\r\n");
        return 0;
    }
    try {
        PutAppointmentProperties(item, record);
    } catch (...) {
        Raw(u"Calendar entry is not save in pst file, unknown format.");
        Raw(u"\r\n");
        converter.documentProblems.push_back(u"some appointment properties could not be set");
    }
    std::u16string icsPath = converter.tempDir + Decimal(noteId) + u"t.ics";
    WriteCalendarFile(converter, record, icsPath, noteId);
    storeops::Import(item, icsPath, storeops::ImportICalendar);
    Raw(u"\r\n");
    Raw(u"save app");
    if (!record.categories.empty()) PutOnce(item, 0xd, CVariant(record.categories));
    // Out of note handles while reading or writing: the entry is
    // incomplete, so it is left unsaved for the next run.
    if (LNNoteHandlesExhausted()) return 0;
    storeops::CSaveResult saved = storeops::SaveFrom(item, u"calendar note " + Decimal(noteId));
    if (!saved.failure.empty()) {
        ReportStoreFailure(app, saved.failure, app.errorCount);
        Record(noteId, EOutcome::NotConverted, sys::Utf8ToUtf16(app.storeFailure));
        return 0;
    }
    RecordSaved(noteId, saved.savedOver);
    return 1;
}

void CCalendarPass::PutAppointmentProperties(const store::DispatchPtr& item, const CalendarRecord& r) {
    auto putText = [&](int32_t dispid, const std::u16string& text) {
        if (!text.empty()) Put(item, dispid, CVariant(text));
    };
    auto putDate = [&](int32_t dispid, const std::u16string& text, bool once) {
        auto date = StoreDate(text);
        if (!date) return;
        once ? PutOnce(item, dispid, CVariant(*date)) : Put(item, dispid, CVariant(*date));
    };
    if (r.importance == 0) PutOnce(item, 0x1b, CVariant(int32_t{0}));
    Put(item, 0x34, CVariant(r.organizer));
    PutOnce(item, 0x3a, CVariant(r.organizer));
    putText(0x40, r.sendTo);
    putText(0xe, r.copyTo);
    putText(9, r.blindCopyTo);
    putText(0x60040049, r.location);
    if (!r.summary.empty()) PutOnce(item, 0, CVariant(r.summary));
    if (r.descriptionIsHtml == 1)
        Put(item, 0x1a, CVariant(r.description));
    else
        putText(0xb, r.description);
    putText(0x6004002a, r.optionalAttendees);
    putText(0x6004003b, r.requiredAttendees);
    PutOnce(item, 0x2d, CVariant(r.alarmEnabled == 1));
    Put(item, 0x6004002f, CVariant(int32_t{r.alarmOffsetMinutes}));
    putDate(0x29, r.createdText.empty() ? r.lastModifiedText : r.createdText, true);
    putDate(0x60040042, r.startText, false);
    putDate(0x6004000a, r.endText, false);
    Put(item, 0x60040046, CVariant(storeops::TimeZoneFromText(session, r.startTimeZone)));
    Put(item, 0x6004000e, CVariant(storeops::TimeZoneFromText(session, r.endTimeZone)));
    // Every appointment of one meeting or one series shares its identity.
    if (r.isMeeting || r.IsSeries()) putText(storeops::DispMeetingUid, r.uid);
    if (r.isMeeting) Put(item, storeops::DispMeetingOwnerChairs, CVariant(r.ownerIsChair == 1));
}

}  // namespace

void RunCalendar(CNsfConverter& converter, const store::DispatchPtr& session) {
    CCalendarPass(converter, session).Run();
}

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/notes/ItemCodec.h"
#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "worker/core/NsfConverter.h"
#include "worker/core/PassSupport.h"
#include "worker/notes/DateText.h"
#include "worker/notes/NotesText.h"
#include "worker/writers/CalendarDays.h"
#include "worker/writers/CalendarWriter.h"
#include "worker/writers/CalendarZone.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/RecordReading.h"

namespace {

// A date text in Greenwich time; empty for a value the entry does not have.
std::u16string GreenwichText(const LNDatetime& value) {
    return value.IsNull() ? std::u16string() : FormatDateText(value, true);
}

// The form's start field gives start and end; the time-zone fields give
// the items of their names.
void ReadFormFields(const LNCalendarEntry& entry, CalendarRecord& r) {
    LNForm form;
    if (const LNSTATUS status = entry.GetFormNote(&form)) throw status;
    if (const LNSTATUS status = form.Open()) throw status;
    std::vector<LNFormField> fields;
    if (const LNSTATUS status = form.GetFormFields(&fields, LNTYPE_FORM_FIELD)) throw status;
    for (const LNFormField& field : fields) {
        const std::u16string name = FromNotesText(field.GetName());
        if (field.GetType() == LNFORMFIELDTYPE_DATETIME && (name == u"StartDate" || name == u"tmpStartDate")) {
            const LNDatetimeRange range = entry.GetDatetimeRange();
            r.startText = GreenwichText(range.GetBegin());
            r.endText = GreenwichText(range.GetEnd());
        } else if (name == u"StartTimeZone" && entry.HasItem("StartTimeZone")) {
            r.startTimeZone = ItemText(entry, "StartTimeZone");
        } else if (name == u"EndTimeZone" && entry.HasItem("EndTimeZone")) {
            r.endTimeZone = ItemText(entry, "EndTimeZone");
        }
    }
    form.Close();
}

// Every value of a time item; none when the note has no such item.
std::vector<LNDatetime> TimesOf(const LNNote& note, const char* name) {
    std::vector<LNDatetime> values;
    LNDatetimes times;
    if (note.GetItem(name, &times) != LNNOERROR) return values;
    for (LNINT i = 0; i < times.GetCount(); ++i) values.push_back(times[i]);
    return values;
}

// The value's date and time in its own zone, in seconds since 1970 as if
// that were Greenwich time.
int64_t OwnWallClock(const LNDatetime& value) {
    LNINT month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    value.GetDate(&month, &day, &year);
    value.GetTime(&hour, &minute, &second);
    if (month < 1 || month > 12 || day < 1 || day > 31) return 0;
    return calendar_days::DayOf(year, month, day) * calendar_days::secondsPerDay + hour * 3600 + minute * 60 + second;
}

int64_t GreenwichSeconds(LNDatetime value) {
    if (value.HasTime()) value.AdjustTimeZone(0);
    return OwnWallClock(value);
}

// The wall clock of an all-day value: a date without time is that date;
// a time is read in the entry's zone, else in the value's own zone.
int64_t AllDayWallClock(const LNDatetime& value, const std::optional<CCalendarZone>& zone) {
    if (value.HasTime() && zone) return zone->WallClock(GreenwichSeconds(value));
    return OwnWallClock(value);
}

// Whole days from the start's day to the end's, the end day included
// unless the end is the midnight that closes the day before.
CalendarOccurrence WholeDays(const LNDatetime& start, const LNDatetime& end, const LNDatetime& original,
                             const std::optional<CCalendarZone>& zone) {
    using calendar_days::FloorDiv, calendar_days::secondsPerDay;
    const int64_t first = FloorDiv(AllDayWallClock(start, zone), secondsPerDay);
    const int64_t endClock = AllDayWallClock(end, zone);
    int64_t after = FloorDiv(endClock, secondsPerDay);
    if (!(end.HasTime() && endClock % secondsPerDay == 0 && after > first)) ++after;
    after = std::max(after, first + 1);
    const int64_t originalDay = FloorDiv(AllDayWallClock(original, zone), secondsPerDay);
    return {first * secondsPerDay, after * secondsPerDay, originalDay * secondsPerDay};
}

constexpr int32_t reminderType = 4;

// One occurrence per "StartDateTime" value, with the "EndDateTime" value of
// the same place (a missing one keeps the first one's duration) and the
// "RepeatInstanceDates" value the instance had before it was moved.
// An entry without "StartDateTime" lists its instances in "CalendarDateTime".
void ReadOccurrences(const LNCalendarEntry& entry, CalendarRecord& r) {
    std::vector<LNDatetime> starts = TimesOf(entry, "StartDateTime");
    if (starts.empty()) starts = TimesOf(entry, "CalendarDateTime");
    const std::vector<LNDatetime> ends = r.entryType == reminderType ? starts : TimesOf(entry, "EndDateTime");
    std::vector<LNDatetime> originals = TimesOf(entry, "RepeatInstanceDates");
    if (originals.size() != starts.size()) originals = starts;
    const std::optional<CCalendarZone> zone = CCalendarZone::FromNotesText(r.seriesTimeZone);
    for (size_t i = 0; i < starts.size(); ++i) {
        if (starts[i].IsNull() || !starts[i].HasDate()) continue;
        if (r.allDay) {
            r.occurrences.push_back(WholeDays(starts[i], i < ends.size() ? ends[i] : starts[i], originals[i], zone));
            continue;
        }
        const int64_t start = GreenwichSeconds(starts[i]);
        int64_t end = i < ends.size() ? GreenwichSeconds(ends[i]) : start;
        if (i >= ends.size() && !ends.empty() && !r.occurrences.empty())
            end = start + r.occurrences.front().end - r.occurrences.front().start;
        r.occurrences.push_back({start, std::max(start, end), GreenwichSeconds(originals[i])});
    }
}

int32_t IntegerItem(const LNNote& note, const char* name) {
    LNNumbers numbers;
    if (note.GetItem(name, &numbers) == LNNOERROR && numbers.GetCount() > 0) return static_cast<int32_t>(numbers[0]);
    return static_cast<int32_t>(std::strtol(sys::Utf16ToUtf8(ItemText(note, name)).c_str(), nullptr, 10));
}

// The repeat rule Notes was given, and the occurrences it made.
void ReadSeries(const LNCalendarEntry& entry, CalendarRecord& r) {
    r.entryType = entry.GetEntryType();
    r.allDay = r.entryType == 1 || r.entryType == 2;
    r.seriesTimeZone = ItemText(entry, "StartTimeZone");
    r.repeatUnit = ItemText(entry, "RepeatUnit");
    r.repeatInterval = std::max(0, IntegerItem(entry, "RepeatInterval"));
    // A reminder is an instant: it ends when it starts.
    if (r.entryType == reminderType) r.endText = r.startText;
    ReadOccurrences(entry, r);
}

// A Notes name without its component labels, in lower case:
// "CN=Jane Doe/O=Acme" and "jane doe/acme" are the same person.
std::u16string NameKey(const std::u16string& name) {
    std::u16string key;
    size_t begin = 0;
    while (begin <= name.size()) {
        const size_t slash = std::min(name.find(u'/', begin), name.size());
        std::u16string part = name.substr(begin, slash - begin);
        const size_t eq = part.find(u'=');
        if (eq != std::u16string::npos && eq <= 2) part = part.substr(eq + 1);
        key += (key.empty() ? u"" : u"/") + part;
        begin = slash + 1;
    }
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return key;
}

// The entry is for the person its "$BusyName" names (whose busy time it
// fills: the mailbox owner); the meeting is theirs when they are its
// "Chair", or when it names no chair. Without "$BusyName" a notice is a
// received invitation and an appointment the owner's own.
bool OwnerChairs(const LNCalendarEntry& entry, const std::u16string& form) {
    const std::u16string chair = ItemText(entry, "Chair");
    const std::u16string owner = ItemText(entry, "$BusyName");
    if (chair.empty()) return true;
    if (!owner.empty()) return NameKey(owner) == NameKey(chair);
    return form != u"Notice" && form != u"(ReplyNotice)";
}

// The identity every copy of a meeting shares, and whose meeting it is.
void ReadIdentity(const LNCalendarEntry& entry, CalendarRecord& r) {
    const std::u16string form = FromNotesText(entry.GetFormName());
    r.uid = ItemText(entry, "ApptUNID");
    if (r.uid.find_first_not_of(u" ") == std::u16string::npos) r.uid = sys::Utf8ToUtf16(notes::UnidText(entry.GetUniversalID()));
    r.isMeeting = r.entryType == 3 || form == u"Notice" || form == u"(ReplyNotice)";
    r.ownerIsChair = r.isMeeting && OwnerChairs(entry, form);
}

void ReadEntryItems(CNsfConverter& context, LNCalendarEntry& entry, CalendarRecord& r) {
    if (entry.IsOpen()) {
        ReadFormFields(entry, r);
        ReadSeries(entry, r);
        ReadIdentity(entry, r);
    }
    DecryptWhenAsked(context, entry);
    if (entry.GetIsAlarmEnabled()) {
        r.alarmEnabled = 1;
        r.alarmOffsetMinutes = entry.GetAlarmOffsetMinutes();
    }
    r.summary = FromNotesText(entry.GetBriefDescription());
    r.description = FromNotesText(entry.GetDetailedDescription());
    r.optionalAttendees = FromNotesText(entry.GetOptionalAttendees().GetText());
    r.requiredAttendees = FromNotesText(entry.GetRequiredAttendees().GetText());
}

void ReadMessageItems(CNsfConverter& context, LNMailMessage& message, CalendarRecord& r) {
    DecryptWhenAsked(context, message);
    if (r.description.empty()) r.description = ItemText(message, "Body");
    if (r.description.empty() && message.HasItem("Body")) {
        ReadBodyByType(context, message, r.description, r.descriptionIsHtml);
    }
    r.importance = message.GetMailImportance();
    r.createdText = FormatDateText(message.GetCreated(), false);
    r.lastModifiedText = FormatDateText(message.GetLastModified(), false);
    ReadAddresses(context, message, AddressTexts{r.organizer, r.sendTo, r.copyTo, r.blindCopyTo});
    r.categories = FromNotesText(message.GetCategories().GetText());
    if (message.HasItem("Location")) r.location = ItemText(message, "Location");
    r.attachmentNames = AttachmentNamesOf(message);
}

void ReadEntry(CNsfConverter& context, LNNOTEID noteId, CalendarRecord& r) {
    LNDocument document;
    if (context.database.GetDocument(noteId, &document) != LNNOERROR) return;
    document.Open(LNNOTEOPENFLAGS_DEFAULT);
    if (!document.IsOpen()) return;
    LNCalendarEntry entry;
    entry = document;
    LNMailMessage message;
    message = document;
    document.Close();
    entry.Open(LNNOTEOPENFLAGS_DEFAULT);
    ReadEntryItems(context, entry, r);
    entry.Close();
    if (const LNSTATUS status = message.Open(LNNOTEOPENFLAGS_DEFAULT)) throw status;
    ReadMessageItems(context, message, r);
    message.Close();
}

}  // namespace

void ReadCalendarEntry(CNsfConverter& context, LNNOTEID noteId, CalendarRecord& record) {
    record.Reset();
    try {
        ReadEntry(context, noteId, record);
    } catch (LNSTATUS status) {
        context.app.runLog.WriteRaw(NotesErrorText(status));
        context.app.runLog.WriteRaw(u"\r\n");
        ReportLoss(context, u"reading stopped early: " + NotesErrorText(status));
    } catch (...) {
        // Anything else ends the reading; the record keeps what was read.
        WarnLoss(context, u"Reading of this document stopped", u"reading stopped early");
    }
}

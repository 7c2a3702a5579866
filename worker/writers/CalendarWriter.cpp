#include "worker/writers/CalendarWriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/LNNotes.h"
#include "platform/sys/Text.h"
#include "worker/core/NsfConverter.h"
#include "worker/mime/MimeCodecs.h"
#include "worker/notes/CToken.h"
#include "worker/notes/CleanName.h"
#include "worker/writers/Attachments.h"
#include "worker/writers/CalendarDays.h"
#include "worker/writers/CalendarRecurrence.h"
#include "worker/writers/CalendarZone.h"
#include "worker/writers/ContactLineFile.h"
#include "worker/writers/DocLinks.h"
#include "worker/writers/DocumentLosses.h"
#include "worker/writers/ReopenDocument.h"
#include "worker/writers/TempFiles.h"

namespace {

constexpr char greenwichZone[] = "Greenwich Mean Time";

std::vector<std::u16string> Tokens(std::u16string_view text, std::u16string_view separator, size_t most) {
    std::vector<std::u16string> tokens;
    CToken token(text);
    token.SetSeparator(separator);
    while (tokens.size() < most && token.MoreTokens()) tokens.push_back(token.NextToken());
    return tokens;
}

std::u16string TwoDigits(std::u16string part) {
    return part.size() <= 1 ? u"0" + part : part;
}

// How the times of a series or of an all-day entry are written: whole
// days as dates, other times on the wall clock of the series' zone.
struct CTimeStyle {
    bool dates = false;
    std::string tzid;
    std::string Value(int64_t seconds) const {
        using namespace calendar_days;
        return dates ? ";VALUE=DATE:" + DateText(FloorDiv(seconds, secondsPerDay))
                     : ";TZID=\"" + tzid + "\":" + DateTimeText(seconds);
    }
};

// The occurrences of a series in the zone it is written in.
struct CSeries {
    CCalendarZone zone;
    CTimeStyle style;
    CRecurrencePlan plan;
};

CSeries SeriesOf(const CalendarRecord& r) {
    CSeries series;
    if (auto zone = CCalendarZone::FromNotesText(r.seriesTimeZone)) series.zone = *zone;
    series.style = {r.allDay == 1, series.zone.Tzid()};
    std::vector<CalendarOccurrence> wall = r.occurrences;
    if (!r.allDay) {
        for (CalendarOccurrence& o : wall)
            o = {series.zone.WallClock(o.start), series.zone.WallClock(o.end), series.zone.WallClock(o.originalStart)};
    }
    series.plan = PlanRecurrence(std::move(wall), r.repeatUnit, r.repeatInterval);
    return series;
}

void WriteSeriesTimes(CLineFile& out, const CSeries& series) {
    const CRecurrencePlan& plan = series.plan;
    out.Line("DTEND" + series.style.Value(plan.end));
    out.Line("DTSTART" + series.style.Value(plan.start));
    if (!plan.rule.empty()) out.Line("RRULE:" + plan.rule);
    for (int64_t start : plan.exceptionDates) out.Line("EXDATE" + series.style.Value(start));
    for (int64_t start : plan.extraDates) out.Line("RDATE" + series.style.Value(start));
}

// Start and end of a single entry: an all-day entry's days as dates, any
// other entry in Greenwich time, which it says. An entry whose form has no
// start field has neither.
void WriteSingleTimes(CLineFile& out, const CalendarRecord& r) {
    if (r.allDay && !r.occurrences.empty() && !r.startText.empty()) {
        const CTimeStyle dates{true, ""};
        out.Line("DTEND" + dates.Value(r.occurrences.front().end));
        out.Line("DTSTART" + dates.Value(r.occurrences.front().start));
        return;
    }
    const std::string zone = std::string("TZID=\"") + greenwichZone + "\":";
    if (!r.endText.empty()) out.AnsiLine("DTEND;" + zone, ICalendarTime(r.endText));
    if (!r.startText.empty()) out.AnsiLine("DTSTART;" + zone, ICalendarTime(r.startText));
}

void WriteTimes(CLineFile& out, const CalendarRecord& r, const CSeries* series) {
    if (!r.createdText.empty()) out.AnsiLine("CREATED:", ICalendarTime(r.createdText));
    if (series)
        WriteSeriesTimes(out, *series);
    else
        WriteSingleTimes(out, r);
    if (!r.lastModifiedText.empty()) out.AnsiLine("LAST-MOD:", ICalendarTime(r.lastModifiedText));
    if (series) out.AnsiLine("UID:", r.uid);
}

// A moved or changed occurrence: an event of its own for the instance its
// original start names.
void WriteOverride(CLineFile& out, const CalendarRecord& r, const CSeries& series, const CRecurrenceOverride& o) {
    out.Line("BEGIN:VEVENT");
    out.AnsiLine("UID:", r.uid);
    out.Line("RECURRENCE-ID" + series.style.Value(o.originalStart));
    out.Line("DTEND" + series.style.Value(o.end));
    out.Line("DTSTART" + series.style.Value(o.start));
    if (!r.summary.empty()) out.Utf8Line("SUMMARY;CHARSET=utf-8:", r.summary);
    if (!r.location.empty()) out.Utf8Line("LOCATION;CHARSET=utf-8:", r.location);
    out.Line("END:VEVENT");
}

void WritePeople(CNsfConverter& context, CLineFile& out, const CalendarRecord& r) {
    if (!r.summary.empty()) out.Utf8Line("SUMMARY;CHARSET=utf-8:", r.summary);
    if (!r.organizer.empty()) out.AnsiLine("ORGANIZER;CN=", u"\"" + r.organizer + u"\"");
    if (!r.requiredAttendees.empty()) out.AnsiLine("ATTENDEE;CN=", u"\"" + r.requiredAttendees + u"\"");
    const std::u16string organizer = r.organizer.empty() ? r.organizer : r.organizer + u" ";
    context.app.runLog.WriteLine(u"Item Name:\t" + organizer + r.summary);
}

void WriteAttachLine(CLineFile& out, std::u16string_view fileName, std::string_view bytes) {
    out.Bytes("ATTACH;ENCODING=BASE64;VALUE=BINARY;X-FILENAME=\"" + sys::Utf16ToAnsi(fileName) + "\":");
    out.Bytes(Base64Unwrapped(bytes));
    out.Bytes("\r\n");
}

// Link file n: written, read back into an ATTACH line, deleted.
void AttachLinkFile(CNsfConverter& context, CLineFile& out, const LNDocumentLink& link, int n) {
    const std::optional<std::u16string> path = WriteLinkFile(link, n);
    const std::u16string name = LinkFileName(n);
    const CTempFileGuard removeLater(path.value_or(std::u16string()));
    sys::CBytes bytes;
    if (!path || !ReadBackFile(*path, bytes)) {
        ReportLoss(context, u"document link " + name + u" not converted");
        return;
    }
    context.app.runLog.WriteRaw(name + u",");
    WriteAttachLine(out, name, bytes.View());
}

void WriteLinks(CNsfConverter& context, CLineFile& out, LNNOTEID noteId) {
    LNDocument document;
    LNMailMessage mail;
    OpenMailAgain(context, noteId, document, mail);
    if (mail.HasLinks() && mail.HasItem("$Links")) {
        context.app.runLog.WriteRaw(u"Link Documents :\t");
        LNRichText body;
        LNRTCursor cursor;
        if (mail.GetItem("Body", &body) == LNNOERROR && body.GetCursor(&cursor) == LNNOERROR) {
            LNDocumentLink link;
            int n = 1;
            for (LNSTATUS status = cursor.GotoFirst(LNRTTYPE_DOCUMENT_LINK, &link); status == LNNOERROR;
                 status = cursor.GotoNext(LNRTTYPE_DOCUMENT_LINK, &link)) {
                AttachLinkFile(context, out, link, n++);
            }
        }
        context.app.runLog.WriteRaw(u"\r\n");
    }
    mail.Close();
    document.Close();
}

void AttachDetached(CNsfConverter& context, CLineFile& out, const DetachedAttachment& detached) {
    sys::CBytes bytes;
    if (detached.status != LNNOERROR || detached.path.empty() || !ReadBackFile(detached.path, bytes)) {
        ReportAttachmentLoss(context, detached);
        return;
    }
    context.app.runLog.WriteRaw(detached.cleanedName + u",");
    WriteAttachLine(out, CleanPartName(detached.cleanedName), bytes.View());
}

void WriteAttachments(CNsfConverter& context, CLineFile& out, LNNOTEID noteId) {
    ForEachDetachedAttachment(context, noteId,
                              [&](const DetachedAttachment& detached) { AttachDetached(context, out, detached); });
}

// Line feeds become the two characters "\n"; carriage returns stay.
std::u16string EscapeLineFeeds(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\n')
            out += u"\\n";
        else
            out += c;
    }
    return out;
}

std::u16string CommaList(std::u16string text) {
    for (char16_t& c : text) {
        if (c == u';') c = u',';
    }
    return text;
}

void WriteDetails(CLineFile& out, const CalendarRecord& r) {
    if (!r.description.empty()) out.Utf8Line("DESCRIPTION;CHARSET=utf-8:", EscapeLineFeeds(r.description));
    if (!r.location.empty()) out.Utf8Line("LOCATION;CHARSET=utf-8:", r.location);
    if (!r.categories.empty())
        out.AnsiLine("CATEGORIES:", CommaList(r.categories));
    else
        out.Line("CATEGORIES:NONE");
    out.Line("X-MICROSOFT-CDO-IMPORTANCE:" + std::to_string(r.importance));
    if (r.alarmEnabled) {
        out.Line("BEGIN:VALARM");
        if (r.alarmOffsetMinutes != 0) out.Line("TRIGGER:-PT" + std::to_string(r.alarmOffsetMinutes) + "M");
        out.Line("ACTION:DISPLAY");
        out.Line("DESCRIPTION:Reminder");
        out.Line("END:VALARM");
    }
}

// A series in a zone of its own defines that zone; every other entry
// keeps the block that names Greenwich time.
void WriteCalendarStart(CLineFile& out, const CalendarRecord& r, const CSeries* series) {
    out.Line("BEGIN:VCALENDAR");
    if (series && !r.allDay) {
        for (const std::string& line : series->zone.VTimezoneLines()) out.Line(line);
        return;
    }
    out.Line("BEGIN:VTIMEZONE");
    if (!r.startTimeZone.empty()) out.Line(std::string("TZID:") + greenwichZone);
    out.Line("END:VTIMEZONE");
}

void WriteEvent(CNsfConverter& context, CLineFile& out, const CalendarRecord& r, LNNOTEID noteId) {
    const std::optional<CSeries> series = r.IsSeries() ? std::optional(SeriesOf(r)) : std::nullopt;
    const CSeries* seriesOrNull = series ? &*series : nullptr;
    WriteCalendarStart(out, r, seriesOrNull);
    out.Line("BEGIN:VEVENT");
    WriteTimes(out, r, seriesOrNull);
    WritePeople(context, out, r);
    if (context.app.settings.saveDocLinks == 1) WriteLinks(context, out, noteId);
    if (!r.attachmentNames.empty()) WriteAttachments(context, out, noteId);
    WriteDetails(out, r);
    out.Line("END:VEVENT");
    if (series) {
        for (const CRecurrenceOverride& o : series->plan.overrides) WriteOverride(out, r, *series, o);
    }
    out.Line("END:VCALENDAR");
}

}  // namespace

std::u16string ICalendarTime(std::u16string_view dateText) {
    const size_t blank = dateText.find(u' ');
    if (blank == std::u16string_view::npos) return u"T";
    std::vector<std::u16string> date = Tokens(dateText.substr(0, blank), u"/", 3);
    const std::vector<std::u16string> time = Tokens(dateText.substr(blank + 1), u":", SIZE_MAX);
    for (std::u16string& part : date) part = TwoDigits(part);
    date.resize(3);
    std::u16string result = date[2] + date[0] + date[1] + u"T";
    for (const std::u16string& part : time) result += TwoDigits(part);
    return result;
}

int WriteCalendarFile(CNsfConverter& context, const CalendarRecord& record, const std::u16string& path,
                      LNNOTEID noteId) {
    CLineFile out;
    if (!out.Create(path)) {
        ++context.app.errorCount;
        context.app.runLog.WriteRaw(u"ERROR:Invalid Path. Calendar Entry cannot be dump. \r\n");
        ReportLoss(context, u"the calendar file cannot be written");
        return 0;
    }
    try {
        WriteEvent(context, out, record, noteId);
        out.Close();
        return 1;
    } catch (...) {
        out.Close();
        ++context.app.errorCount;
        context.app.runLog.WriteRaw(u"ERROR:Calendar Entry is Not Dump \r\n");
        ReportLoss(context, u"the calendar file cannot be written");
        return 0;
    }
}

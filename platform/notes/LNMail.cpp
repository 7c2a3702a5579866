#include "platform/notes/LNMail.h"

#include <cstdlib>

#include "platform/notes/NotesState.h"
#include "platform/notes/TimeDate.h"

namespace {
LNText TextItem(const LNNote& note, const char* name) {
    LNText text;
    note.GetItem(name, &text);
    return text;
}

// First value of a text or number item as text ("" when absent).
std::string FirstValue(const LNNote& note, const char* name) {
    LNItem item;
    if (note.GetItem(name, &item)) return "";
    auto raw = item.GetRawValue();
    if (auto text = notes::DecodeTextValues(raw)) return text->empty() ? "" : text->front();
    if (auto numbers = notes::DecodeNumbers(raw)) {
        if (numbers->empty()) return "";
        return std::to_string(static_cast<long long>(numbers->front()));
    }
    return "";
}

LNDatetime FirstTime(const LNNote& note, const char* name) {
    LNDatetimes times;
    if (note.GetItem(name, &times) || times.GetCount() == 0) return LNDatetime();
    return times[0];
}
}  // namespace

LNMailMessage& LNMailMessage::operator=(const LNDocument& doc) {
    LNDocument::operator=(doc);
    return *this;
}

LNText LNMailMessage::GetSubject() const { Loaded(); return TextItem(*this, "Subject"); }
LNText LNMailMessage::GetSender() const { Loaded(); return TextItem(*this, "From"); }

LNText LNMailMessage::GetRecipients(LNINT kind) const {
    Loaded();
    static const char* const names[] = {"SendTo", "CopyTo", "BlindCopyTo"};
    if (kind < 0 || kind > 2) throw static_cast<LNSTATUS>(ERR_BAD_PARAM);
    return TextItem(*this, names[kind]);
}

LNDatetime LNMailMessage::GetDateSent() const { Loaded(); return FirstTime(*this, "PostedDate"); }

LNINT LNMailMessage::GetMailImportance() const {
    Loaded();
    std::string v = FirstValue(*this, "Importance");
    return v == "1" ? 2 : v == "3" ? 0 : 1;
}

LNRichText LNMailMessage::GetBody() const {
    Loaded();
    LNRichText body;
    LNItem item;
    if (GetItem("Body", &item) == LNNOERROR) {
        WORD t = item.GetDataType();
        if (t == TYPE_COMPOSITE || t == TYPE_MIME_PART || t == TYPE_TEXT || t == TYPE_TEXT_LIST) GetItem("Body", &body);
    }
    return body;
}

LNCalendarEntry& LNCalendarEntry::operator=(const LNDocument& doc) {
    LNDocument::operator=(doc);
    return *this;
}

LNDatetimeRange LNCalendarEntry::GetDatetimeRange() const {
    Loaded();
    LNDatetime start = FirstTime(*this, "StartDateTime");
    LNDatetime end = FirstTime(*this, "EndDateTime");
    LNDatetimes range;
    if (start.IsNull() && GetItem("StartDateTime", &range) == LNNOERROR && range.GetRangeCount() > 0)
        return range.GetRange(0);
    return LNDatetimeRange(start, end);
}

bool LNCalendarEntry::IsRepeating() const { Loaded(); return FirstValue(*this, "Repeats") == "1"; }
bool LNCalendarEntry::GetIsPrivate() const { Loaded(); return FirstValue(*this, "OrgConfidential") == "1"; }
bool LNCalendarEntry::GetIsAlarmEnabled() const { Loaded(); return FirstValue(*this, "$Alarm") == "1"; }

LNINT LNCalendarEntry::GetAlarmOffsetMinutes() const {
    Loaded();
    return static_cast<LNINT>(std::strtol(FirstValue(*this, "$AlarmOffset").c_str(), nullptr, 10));
}

LNDatetime LNCalendarEntry::GetAlarmDatetime() const {
    LNDatetime start = GetDatetimeRange().GetBegin();
    if (start.IsNull() || !start.HasDate() || !start.HasTime()) return start;
    TIMEDATE td = start.GetTIMEDATE();
    long long offset = static_cast<long long>(GetAlarmOffsetMinutes()) * 6000;
    long long t = static_cast<long long>(td.Innards[0]) + offset;
    long long day = td.Innards[1] & 0x00FFFFFF;
    while (t < 0) { t += 8640000; --day; }
    while (t >= 8640000) { t -= 8640000; ++day; }
    td.Innards[0] = static_cast<DWORD>(t);
    td.Innards[1] = (td.Innards[1] & 0xFF000000u) | static_cast<DWORD>(day);
    return LNDatetime(td);
}

LNString LNCalendarEntry::GetAlarmDescription() const { Loaded(); return LNString(FirstValue(*this, "$AlarmDescription")); }

LNINT LNCalendarEntry::GetEntryType() const {
    Loaded();
    return static_cast<LNINT>(std::strtol(FirstValue(*this, "AppointmentType").c_str(), nullptr, 10));
}

LNString LNCalendarEntry::GetBriefDescription() const { Loaded(); return TextItem(*this, "Subject").GetText(); }

LNString LNCalendarEntry::GetDetailedDescription() const {
    Loaded();
    LNItem item;
    if (GetItem("Body", &item)) return LNString();
    WORD t = item.GetDataType();
    if (t != TYPE_COMPOSITE && t != TYPE_MIME_PART && t != TYPE_TEXT && t != TYPE_TEXT_LIST) return LNString();
    LNRichText body;
    if (LNSTATUS s = GetItem("Body", &body)) throw s;
    return body.GetText();
}

LNText LNCalendarEntry::GetRequiredAttendees() const { Loaded(); return TextItem(*this, "RequiredAttendees"); }
LNText LNCalendarEntry::GetOptionalAttendees() const { Loaded(); return TextItem(*this, "OptionalAttendees"); }

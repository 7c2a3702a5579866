// iCalendar import into an appointment: one VEVENT with start and end (any
// TZID without rules is read as Greenwich time), summary, organizer and
// attendees given only as CN parameters, description with "\n" escapes,
// location, categories ("NONE" for none), importance, the alarm and
// attachments carried as base64 ATTACH lines.
#include <cstdlib>

#include "platform/store/Addresses.h"
#include "platform/store/Attachments.h"
#include "platform/store/ContentLines.h"
#include "platform/store/DispatchArgs.h"
#include "platform/store/ItemCommon.h"
#include "platform/store/ItemModel.h"
#include "platform/store/MapiTags.h"
#include "platform/store/StoreText.h"
#include "platform/sys/Text.h"

namespace store {
namespace {

// YYYYMMDD, YYYYMMDDTHHMMSS or YYYYMMDDTHHMMSSZ.
bool ParseICalTime(const std::string& text, int fields[6]) {
    std::string t = TrimAscii(text);
    if (!t.empty() && (t.back() == 'Z' || t.back() == 'z')) t.pop_back();
    auto digits = [&](size_t pos, size_t n, int& out) {
        if (pos + n > t.size()) return false;
        out = 0;
        for (size_t k = pos; k < pos + n; ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            out = out * 10 + (t[k] - '0');
        }
        return true;
    };
    for (int k = 3; k < 6; ++k) fields[k] = 0;
    if (!digits(0, 4, fields[0]) || !digits(4, 2, fields[1]) || !digits(6, 2, fields[2])) return false;
    if (t.size() == 8) return true;
    if (t.size() < 15 || (t[8] != 'T' && t[8] != 't')) return false;
    return digits(9, 2, fields[3]) && digits(11, 2, fields[4]) && digits(13, 2, fields[5]) && t.size() == 15;
}

bool ICalTimeAsUtc(const std::string& text, CFileTime& out) {
    int f[6];
    return ParseICalTime(text, f) && MakeUtcFileTime(f[0], f[1], f[2], f[3], f[4], f[5], out);
}

// A time written in the host's local time (creation and modification times).
bool ICalTimeFromLocal(const std::string& text, CFileTime& out) {
    int f[6];
    if (!ParseICalTime(text, f)) return false;
    CFileTime asUtc;
    if (!MakeUtcFileTime(f[0], f[1], f[2], f[3], f[4], f[5], asUtc)) return false;
    double ole = static_cast<double>(asUtc.value) / 864000000000.0 - 109205.0;
    out = OleDateFromLocal(ole);
    return true;
}

// "-PT15M", "-PT-15M" (a doubled sign), "PT1H30M", "-P1D": minutes before the start.
std::optional<int32_t> TriggerMinutes(const std::string& text) {
    std::string t = TrimAscii(text);
    int64_t total = 0, number = 0;
    bool inNumber = false, sawP = false;
    for (char c : t) {
        if (c == '+' || c == '-' || c == 'T' || c == 't') continue;
        if (c == 'P' || c == 'p') { sawP = true; continue; }
        if (c >= '0' && c <= '9') {
            number = number * 10 + (c - '0');
            if (number > 10000000) return std::nullopt;
            inNumber = true;
            continue;
        }
        if (!inNumber) return std::nullopt;
        switch (c) {
        case 'W': case 'w': total += number * 7 * 24 * 60; break;
        case 'D': case 'd': total += number * 24 * 60; break;
        case 'H': case 'h': total += number * 60; break;
        case 'M': case 'm': total += number; break;
        case 'S': case 's': total += number / 60; break;
        default: return std::nullopt;
        }
        number = 0;
        inNumber = false;
    }
    if (!sawP || inNumber) return std::nullopt;
    return static_cast<int32_t>(std::min<int64_t>(total, 0x7FFFFFFF));
}

std::u16string UnescapeText(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            char16_t next = text[i + 1];
            if (next == u'n' || next == u'N') {
                if (out.empty() || out.back() != u'\r') out.push_back(u'\r');
                out.push_back(u'\n');
                ++i;
                continue;
            }
            if (next == u',' || next == u';' || next == u'\\') {
                out.push_back(next);
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// Parameter values are in the line's CHARSET, else in the system code page.
std::u16string ParamText(const CContentLine& line, const std::string& name) {
    std::string charset = line.Param("CHARSET");
    return charset.empty() ? sys::AnsiToUtf16(line.Param(name)) : FromCharset(line.Param(name), charset);
}

struct CEventState {
    bool inEvent = false, inAlarm = false, sawEvent = false, eventEnded = false;
    bool alarm = false;
    std::optional<int32_t> trigger;
};

void ApplyEventLine(CMessageData& data, const CContentLine& line) {
    CPropertyBag& p = data.props;
    const std::string& n = line.name;
    CFileTime t;
    if (n == "DTSTART") {
        if (ICalTimeAsUtc(line.value, t)) SetAppointmentStart(p, t);
    } else if (n == "DTEND") {
        if (ICalTimeAsUtc(line.value, t)) SetAppointmentEnd(p, t);
    } else if (n == "CREATED") {
        if (ICalTimeFromLocal(line.value, t)) p.Set(tagCreationTime, t);
    } else if (n == "LAST-MOD" || n == "LAST-MODIFIED") {
        if (ICalTimeFromLocal(line.value, t)) p.Set(tagLastModificationTime, t);
    } else if (n == "SUMMARY") {
        SetSubject(p, UnescapeText(DecodeValue(line)));
    } else if (n == "ORGANIZER") {
        std::u16string name = ParamText(line, "CN");
        if (name.empty() && !line.value.empty()) name = DecodeValue(line);
        if (!Trim(name).empty()) {
            auto list = ParseAddressList(name);
            CAddress a = list.empty() ? ParseAddress(name) : list.front();
            SetSender(p, a);
            SetSentRepresenting(p, a);
        }
    } else if (n == "ATTENDEE") {
        std::u16string names = ParamText(line, "CN");
        if (names.empty() && !line.value.empty()) names = DecodeValue(line);
        auto list = ParseAddressList(names);
        if (!list.empty()) {
            SetRecipients(data, 1, list);
            std::vector<std::u16string> shown;
            for (const auto& a : list) shown.push_back(a.name);
            p.SetNamed(Appointment(0x823B, ptString), Join(shown, u"; "));
        }
    } else if (n == "DESCRIPTION") {
        std::u16string text = UnescapeText(DecodeValue(line));
        // An HTML body set before the import stays; the file carries the same description.
        if (!p.Has(tagHtml)) SetPlainBody(p, text);
    } else if (n == "LOCATION") {
        std::u16string text = UnescapeText(DecodeValue(line));
        if (!text.empty()) p.SetNamed(Appointment(0x8208, ptString), text);
    } else if (n == "CATEGORIES") {
        std::u16string text = DecodeValue(line);
        if (Trim(text) != u"NONE") SetCategories(p, text);
    } else if (n == "X-MICROSOFT-CDO-IMPORTANCE") {
        std::string v = TrimAscii(line.value);
        if (v == "0" || v == "1" || v == "2") p.Set(tagImportance, int32_t(v[0] - '0'));
    } else if (n == "ATTACH") {
        auto bytes = DecodeBase64(line.value);
        if (!bytes) ThrowDispatch(hrFail, "an attachment of the calendar file is not base64");
        std::u16string name = ParamText(line, "X-FILENAME");
        data.attachments.push_back(MakeAttachment(name, line.Param("FMTTYPE").empty() ? u"" : FromUtf8(line.Param("FMTTYPE")), std::move(*bytes)));
    }
}

}  // namespace

void ImportICalendar(CMessageData& data, const std::string& bytes) {
    std::vector<CContentLine> lines = ParseContentLines(bytes);
    if (lines.empty() || lines.front().name != "BEGIN" || !EqualNoCase(FromUtf8(TrimAscii(lines.front().value)), u"VCALENDAR"))
        ThrowDispatch(hrFail, "not an iCalendar file");
    CEventState state;
    bool calendarEnded = false;
    for (size_t i = 1; i < lines.size() && !calendarEnded; ++i) {
        const CContentLine& line = lines[i];
        std::string value = TrimAscii(line.value);
        for (char& c : value) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        if (line.name == "BEGIN" && value == "VEVENT") {
            if (state.sawEvent) continue;  // one event per file
            state.inEvent = state.sawEvent = true;
        } else if (line.name == "END" && value == "VEVENT" && state.inEvent) {
            state.inEvent = false;
            state.eventEnded = true;
        } else if (line.name == "BEGIN" && value == "VALARM" && state.inEvent) {
            state.inAlarm = state.alarm = true;
        } else if (line.name == "END" && value == "VALARM") {
            state.inAlarm = false;
        } else if (line.name == "END" && value == "VCALENDAR") {
            calendarEnded = true;
        } else if (state.inAlarm) {
            if (line.name == "TRIGGER") state.trigger = TriggerMinutes(line.value);
        } else if (state.inEvent) {
            ApplyEventLine(data, line);
        }
    }
    if (!state.eventEnded || !calendarEnded) ThrowDispatch(hrFail, "the calendar file is incomplete");
    if (state.alarm) {
        data.props.SetNamed(Common(0x8503, ptBoolean), true);
        if (state.trigger) data.props.SetNamed(Common(0x8501, ptInt32), *state.trigger);
        else if (!data.props.GetNamed(Common(0x8501, ptInt32))) data.props.SetNamed(Common(0x8501, ptInt32), int32_t(0));
    }
}

}  // namespace store

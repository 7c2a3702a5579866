#include "platform/store/RecurrencePattern.h"

#include <algorithm>

#include "platform/store/CivilTime.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

constexpr uint32_t weekdayMask = 0x3E;  // Monday to Friday

uint32_t MaskOf(const std::vector<CWeekdayNum>& days) {
    uint32_t mask = 0;
    for (const auto& d : days) mask |= 1u << d.weekday;
    return mask;
}

bool AllPlain(const std::vector<CWeekdayNum>& days) {
    return std::all_of(days.begin(), days.end(), [](const CWeekdayNum& d) { return d.ordinal == 0; });
}

std::optional<uint32_t> NthOf(int ordinal) {
    if (ordinal >= 1 && ordinal <= 4) return static_cast<uint32_t>(ordinal);
    if (ordinal == -1) return 5u;
    return std::nullopt;
}

// The n-th weekday part of a monthly or yearly rule: "2TU", or "MO,TU,...;BYSETPOS=-1".
bool ReadNth(const CRecurrenceRule& rule, CRecurrencePattern& p) {
    if (!rule.byMonthDay.empty() || rule.byDay.empty()) return false;
    std::optional<uint32_t> nth;
    if (rule.byDay.size() == 1 && rule.byDay[0].ordinal != 0 && rule.bySetPos.empty()) nth = NthOf(rule.byDay[0].ordinal);
    else if (AllPlain(rule.byDay) && rule.bySetPos.size() == 1) nth = NthOf(rule.bySetPos[0]);
    if (!nth) return false;
    p.type = EPatternType::MonthNth;
    p.dayMask = MaskOf(rule.byDay);
    p.nth = *nth;
    return true;
}

// The day-of-month part: one BYMONTHDAY (-1 is the last day), or the first start's day.
bool ReadMonthDay(const CRecurrenceRule& rule, const CCivilDate& first, CRecurrencePattern& p) {
    if (!rule.byDay.empty() || !rule.bySetPos.empty() || rule.byMonthDay.size() > 1) return false;
    int day = rule.byMonthDay.empty() ? first.day : rule.byMonthDay[0];
    if (day == -1) day = 31;
    if (day < 1) return false;
    p.type = EPatternType::Month;
    p.dayOfMonth = static_cast<uint32_t>(day);
    return true;
}

bool Daily(const CRecurrenceRule& rule, CRecurrencePattern& p) {
    if (!rule.byMonth.empty() || !rule.byMonthDay.empty() || !rule.bySetPos.empty()) return false;
    p.frequency = recurDaily;
    if (rule.byDay.empty()) {
        p.type = EPatternType::Day;
        p.period = 1440u * static_cast<uint32_t>(rule.interval);
        return true;
    }
    // "Every weekday" is a daily series over a week pattern.
    if (rule.interval != 1 || MaskOf(rule.byDay) != weekdayMask) return false;
    p.type = EPatternType::Week;
    p.period = 1;
    p.dayMask = weekdayMask;
    return true;
}

}  // namespace

std::optional<CRecurrencePattern> PatternForRule(const CRecurrenceRule& rule, int64_t firstStart) {
    CRecurrencePattern p;
    int64_t firstDay = firstStart / minutesPerDay;
    CCivilDate first = CivilFromDays(firstDay);
    p.firstDayOfWeek = static_cast<uint32_t>(rule.weekStart);
    p.startDate = static_cast<uint32_t>(firstDay * minutesPerDay);
    bool mapped = false;
    switch (rule.frequency) {
    case ERecurFrequency::Daily: mapped = Daily(rule, p); break;
    case ERecurFrequency::Weekly:
        if (!rule.byMonth.empty() || !rule.byMonthDay.empty() || !rule.bySetPos.empty() || !AllPlain(rule.byDay)) break;
        p.frequency = recurWeekly;
        p.type = EPatternType::Week;
        p.period = static_cast<uint32_t>(rule.interval);
        p.dayMask = rule.byDay.empty() ? 1u << Weekday(firstDay) : MaskOf(rule.byDay);
        mapped = true;
        break;
    case ERecurFrequency::Monthly:
        if (!rule.byMonth.empty()) break;
        p.frequency = recurMonthly;
        p.period = static_cast<uint32_t>(rule.interval);
        mapped = ReadNth(rule, p) || ReadMonthDay(rule, first, p);
        break;
    case ERecurFrequency::Yearly:
        if (rule.byMonth.size() > 1 || (rule.byMonth.size() == 1 && rule.byMonth[0] != first.month)) break;
        p.period = 12u * static_cast<uint32_t>(rule.interval);
        if (ReadNth(rule, p)) {
            if (rule.byMonth.empty()) break;  // an n-th weekday of the year is no Outlook pattern
            p.frequency = rule.interval == 1 ? recurYearly : recurMonthly;
            mapped = true;
        } else {
            p.frequency = recurYearly;
            mapped = ReadMonthDay(rule, first, p);
        }
        break;
    }
    if (!mapped) return std::nullopt;
    return p;
}

namespace {

// The instance day of a monthly pattern in the month of `monthStart`, if any.
std::optional<int64_t> MonthInstance(const CRecurrencePattern& p, int64_t monthStart) {
    CCivilDate c = CivilFromDays(monthStart);
    int length = DaysInMonth(c.year, c.month);
    if (p.type == EPatternType::Month) return monthStart + std::min<int>(static_cast<int>(p.dayOfMonth), length) - 1;
    std::vector<int64_t> matching;
    for (int64_t d = monthStart; d < monthStart + length; ++d)
        if (p.dayMask & (1u << Weekday(d))) matching.push_back(d);
    if (matching.empty()) return std::nullopt;
    if (p.nth == 5) return matching.back();
    if (p.nth >= 1 && p.nth <= matching.size()) return matching[p.nth - 1];
    return std::nullopt;
}

}  // namespace

std::vector<int64_t> PatternDays(const CRecurrencePattern& p, int64_t lastDay, size_t most) {
    std::vector<int64_t> days;
    int64_t startDay = p.startDate / minutesPerDay;
    auto add = [&](int64_t day) {
        if (day < startDay || day > lastDay || days.size() >= most) return false;
        days.push_back(day);
        return true;
    };
    if (p.period == 0) return days;
    switch (p.type) {
    case EPatternType::Day:
        for (int64_t day = startDay; day <= lastDay && days.size() < most; day += std::max<int64_t>(1, p.period / minutesPerDay))
            add(day);
        break;
    case EPatternType::Week: {
        if ((p.dayMask & 0x7F) == 0) break;
        int64_t week = startDay - (Weekday(startDay) - static_cast<int>(p.firstDayOfWeek) + 7) % 7;
        for (; week <= lastDay && days.size() < most; week += 7 * int64_t(p.period))
            for (int64_t d = week; d < week + 7; ++d)
                if (p.dayMask & (1u << Weekday(d))) add(d);
        break;
    }
    case EPatternType::Month:
    case EPatternType::MonthNth:
        for (int64_t index = MonthIndex(startDay); DaysOfMonthIndex(index) <= lastDay && days.size() < most;
             index += p.period)
            if (auto day = MonthInstance(p, DaysOfMonthIndex(index))) add(*day);
        break;
    }
    return days;
}

uint32_t FirstDateTime(const CRecurrencePattern& p) {
    int64_t startDay = p.startDate / minutesPerDay;
    switch (p.type) {
    case EPatternType::Day: return p.period ? p.startDate % p.period : 0;
    case EPatternType::Week: {
        int64_t week = startDay - (Weekday(startDay) - static_cast<int>(p.firstDayOfWeek) + 7) % 7;
        return static_cast<uint32_t>((week * minutesPerDay) % (minutesPerWeek * std::max<uint32_t>(p.period, 1)));
    }
    case EPatternType::Month:
    case EPatternType::MonthNth: {
        int64_t months = MonthIndex(startDay) % std::max<uint32_t>(p.period, 1);
        return static_cast<uint32_t>(DaysOfMonthIndex(months) * minutesPerDay);
    }
    }
    return 0;
}

namespace {

void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
uint32_t Minutes(int64_t m) { return static_cast<uint32_t>(m); }

// The 8-bit form of a text in the exception list; the full text follows in the extended part.
std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

constexpr uint16_t aroSubject = 0x0001, aroLocation = 0x0010, aroExceptionalBody = 0x0200;

void PutException(std::string& out, const CExceptionInfo& e) {
    Put32(out, Minutes(e.start));
    Put32(out, Minutes(e.end));
    Put32(out, Minutes(e.originalStart));
    uint16_t flags = (e.subject ? aroSubject : 0) | (e.location ? aroLocation : 0) | (e.changedBody ? aroExceptionalBody : 0);
    Put16(out, flags);
    for (const auto* text : {&e.subject, &e.location}) {
        if (!*text) continue;
        std::string narrow = Narrow(**text);
        Put16(out, static_cast<uint32_t>(narrow.size() + 1));
        Put16(out, static_cast<uint32_t>(narrow.size()));
        out += narrow;
    }
}

void PutExtendedException(std::string& out, const CExceptionInfo& e) {
    Put32(out, 4);  // the change highlight: its size and value
    Put32(out, 0);
    Put32(out, 0);  // reserved block
    if (!e.subject && !e.location) return;
    Put32(out, Minutes(e.start));
    Put32(out, Minutes(e.end));
    Put32(out, Minutes(e.originalStart));
    for (const auto* text : {&e.subject, &e.location}) {
        if (!*text) continue;
        Put16(out, static_cast<uint32_t>((*text)->size()));
        for (char16_t c : **text) Put16(out, c);
    }
    Put32(out, 0);  // reserved block
}

}  // namespace

std::string AppointmentRecurrenceBlob(const CRecurrencePattern& p) {
    std::string out;
    Put16(out, 0x3004);
    Put16(out, 0x3004);
    Put16(out, p.frequency);
    Put16(out, static_cast<uint16_t>(p.type));
    Put16(out, 0);  // Gregorian calendar
    Put32(out, FirstDateTime(p));
    Put32(out, p.period);
    Put32(out, 0);  // sliding: tasks only
    if (p.type == EPatternType::Week || p.type == EPatternType::MonthNth) Put32(out, p.dayMask);
    if (p.type == EPatternType::Month) Put32(out, p.dayOfMonth);
    if (p.type == EPatternType::MonthNth) Put32(out, p.nth);
    Put32(out, p.endType);
    Put32(out, p.occurrenceCount);
    Put32(out, p.firstDayOfWeek);
    Put32(out, static_cast<uint32_t>(p.deletedDates.size()));
    for (uint32_t d : p.deletedDates) Put32(out, d);
    Put32(out, static_cast<uint32_t>(p.modifiedDates.size()));
    for (uint32_t d : p.modifiedDates) Put32(out, d);
    Put32(out, p.startDate);
    Put32(out, p.endDate);
    Put32(out, 0x3006);
    Put32(out, 0x3009);
    Put32(out, p.startTimeOffset);
    Put32(out, p.endTimeOffset);
    Put16(out, static_cast<uint32_t>(p.exceptions.size()));
    for (const auto& e : p.exceptions) PutException(out, e);
    Put32(out, 0);  // reserved block
    for (const auto& e : p.exceptions) PutExtendedException(out, e);
    Put32(out, 0);  // reserved block
    return out;
}

int32_t RecurrenceType(const CRecurrencePattern& p) {
    switch (p.frequency) {
    case recurDaily: return 1;
    case recurWeekly: return 2;
    case recurMonthly: return 3;
    case recurYearly: return 4;
    default: return 0;
    }
}

namespace {

const char* const dayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const monthNames[12] = {"January", "February", "March", "April", "May", "June",
                                    "July", "August", "September", "October", "November", "December"};
const char* const nthNames[6] = {"", "first", "second", "third", "fourth", "last"};

std::string DayList(uint32_t mask) {
    std::vector<std::string> names;
    for (int d = 0; d < 7; ++d)
        if (mask & (1u << d)) names.push_back(dayNames[d]);
    std::string out;
    for (size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return out;
}

std::string DateText(uint32_t minutes) {
    CCivilDate d = CivilFromDays(minutes / minutesPerDay);
    return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" + std::to_string(d.year);
}

std::string ClockText(uint32_t minutes) {
    uint32_t m = minutes % minutesPerDay, hour = m / 60;
    char buf[16];
    snprintf(buf, sizeof buf, "%u:%02u %s", hour % 12 == 0 ? 12 : hour % 12, m % 60, hour < 12 ? "AM" : "PM");
    return buf;
}

std::string Every(uint32_t n, const char* unit) {
    return n == 1 ? std::string("every ") + unit : "every " + std::to_string(n) + " " + unit + "s";
}

std::string PatternWords(const CRecurrencePattern& p) {
    std::string month = monthNames[CivilFromDays(p.startDate / minutesPerDay).month - 1];
    bool yearly = p.period % 12 == 0 && p.frequency == recurYearly;
    switch (p.type) {
    case EPatternType::Day: return Every(std::max<uint32_t>(1, p.period / minutesPerDay), "day");
    case EPatternType::Week:
        if (p.frequency == recurDaily) return "every weekday";
        return Every(p.period, "week") + " on " + DayList(p.dayMask);
    case EPatternType::Month:
        if (yearly) return Every(p.period / 12, "year") + " on " + month + " " + std::to_string(p.dayOfMonth);
        return "day " + std::to_string(p.dayOfMonth) + " of " + Every(p.period, "month");
    case EPatternType::MonthNth: {
        std::string which = std::string("the ") + nthNames[std::min<uint32_t>(p.nth, 5)] + " " + DayList(p.dayMask);
        if (yearly) return which + " of " + month + " " + Every(p.period / 12, "year");
        return which + " of " + Every(p.period, "month");
    }
    }
    return {};
}

}  // namespace

std::u16string DescribeRecurrence(const CRecurrencePattern& p) {
    std::string text = PatternWords(p) + " effective " + DateText(p.startDate);
    if (p.endType != endNever) text += " until " + DateText(p.endDate);
    if (p.endTimeOffset - p.startTimeOffset != minutesPerDay || p.startTimeOffset != 0)
        text += " from " + ClockText(p.startTimeOffset) + " to " + ClockText(p.endTimeOffset);
    return Widen(text);
}

}  // namespace store

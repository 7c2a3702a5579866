#include "platform/store/RecurrenceRule.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "platform/store/CivilTime.h"
#include "platform/store/StoreText.h"

namespace store {
namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

std::optional<int> Number(std::string_view text, int lowest, int highest) {
    std::string t = TrimAscii(text);
    int v = 0;
    const char* first = t.data() + (!t.empty() && t[0] == '+' ? 1 : 0);
    auto [end, error] = std::from_chars(first, t.data() + t.size(), v);
    if (t.empty() || error != std::errc() || end != t.data() + t.size() || v < lowest || v > highest) return std::nullopt;
    return v;
}

std::vector<std::string> Pieces(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string piece;
    while (std::getline(in, piece, separator)) out.push_back(piece);
    return out;
}

int WeekdayOf(std::string_view code) {
    static const char* const names[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    for (int i = 0; i < 7; ++i)
        if (code == names[i]) return i;
    return -1;
}

std::optional<CWeekdayNum> ReadWeekday(const std::string& text) {
    std::string t = TrimAscii(text);
    if (t.size() < 2) return std::nullopt;
    CWeekdayNum w;
    w.weekday = WeekdayOf(std::string_view(t).substr(t.size() - 2));
    if (w.weekday < 0) return std::nullopt;
    if (t.size() > 2) {
        auto n = Number(std::string_view(t).substr(0, t.size() - 2), -53, 53);
        if (!n || *n == 0) return std::nullopt;
        w.ordinal = *n;
    }
    return w;
}

bool ReadNumbers(const std::string& value, int lowest, int highest, std::vector<int>& out) {
    for (const auto& piece : Pieces(value, ',')) {
        auto n = Number(piece, lowest, highest);
        if (!n || *n == 0) return false;
        out.push_back(*n);
    }
    return !out.empty();
}

bool ReadPart(CRecurrenceRule& rule, const std::string& key, const std::string& value, bool& sawFrequency) {
    if (key == "FREQ") {
        static const std::pair<const char*, ERecurFrequency> names[] = {{"DAILY", ERecurFrequency::Daily},
            {"WEEKLY", ERecurFrequency::Weekly}, {"MONTHLY", ERecurFrequency::Monthly}, {"YEARLY", ERecurFrequency::Yearly}};
        for (const auto& [name, f] : names)
            if (value == name) rule.frequency = f, sawFrequency = true;
        return sawFrequency;
    }
    if (key == "INTERVAL") {
        auto n = Number(value, 1, 999);
        if (n) rule.interval = *n;
        return n.has_value();
    }
    if (key == "COUNT") {
        rule.count = Number(value, 1, 999999);
        return rule.count.has_value();
    }
    if (key == "UNTIL") return !(rule.until = TrimAscii(value)).empty();
    if (key == "BYDAY") {
        for (const auto& piece : Pieces(value, ',')) {
            auto w = ReadWeekday(piece);
            if (!w) return false;
            rule.byDay.push_back(*w);
        }
        return !rule.byDay.empty();
    }
    if (key == "BYMONTHDAY") return ReadNumbers(value, -31, 31, rule.byMonthDay);
    if (key == "BYMONTH") return ReadNumbers(value, 1, 12, rule.byMonth);
    if (key == "BYSETPOS") return ReadNumbers(value, -366, 366, rule.bySetPos);
    if (key == "WKST") return (rule.weekStart = WeekdayOf(TrimAscii(value))) >= 0;
    if (key == "BYHOUR") return (rule.byHour = Number(value, 0, 23)).has_value();
    if (key == "BYMINUTE") return (rule.byMinute = Number(value, 0, 59)).has_value();
    if (key == "BYSECOND") return TrimAscii(value) == "0";
    return key.rfind("X-", 0) == 0;  // extensions change nothing of the dates
}

// The days of one month that the rule's day parts select, in order.
std::vector<int64_t> MonthDays(const CRecurrenceRule& rule, int year, int month, int defaultDay) {
    int64_t first = DaysFromCivil(year, month, 1);
    int length = DaysInMonth(year, month);
    std::vector<int64_t> byMonthDay, byDay;
    for (int v : rule.byMonthDay) {
        int d = v > 0 ? v : length + v + 1;
        if (d >= 1 && d <= length) byMonthDay.push_back(first + d - 1);
    }
    for (const auto& w : rule.byDay) {
        std::vector<int64_t> matching;
        for (int64_t d = first + (w.weekday - Weekday(first) + 7) % 7; d < first + length; d += 7) matching.push_back(d);
        if (w.ordinal == 0) byDay.insert(byDay.end(), matching.begin(), matching.end());
        else if (w.ordinal > 0 && w.ordinal <= int(matching.size())) byDay.push_back(matching[w.ordinal - 1]);
        else if (w.ordinal < 0 && -w.ordinal <= int(matching.size())) byDay.push_back(matching[matching.size() + w.ordinal]);
    }
    std::vector<int64_t> days;
    if (!rule.byMonthDay.empty() && !rule.byDay.empty()) {
        for (int64_t d : byMonthDay)
            if (std::find(byDay.begin(), byDay.end(), d) != byDay.end()) days.push_back(d);
    } else if (!rule.byMonthDay.empty()) {
        days = byMonthDay;
    } else if (!rule.byDay.empty()) {
        days = byDay;
    } else if (defaultDay <= length) {
        days.push_back(first + defaultDay - 1);
    }
    return days;
}

// The weekdays of a year that BYDAY selects when no month is named (ordinals count in the year).
std::vector<int64_t> YearWeekdays(const CRecurrenceRule& rule, int year) {
    int64_t first = DaysFromCivil(year, 1, 1), end = DaysFromCivil(year + 1, 1, 1);
    std::vector<int64_t> days;
    for (const auto& w : rule.byDay) {
        std::vector<int64_t> matching;
        for (int64_t d = first + (w.weekday - Weekday(first) + 7) % 7; d < end; d += 7) matching.push_back(d);
        if (w.ordinal == 0) days.insert(days.end(), matching.begin(), matching.end());
        else if (w.ordinal > 0 && w.ordinal <= int(matching.size())) days.push_back(matching[w.ordinal - 1]);
        else if (w.ordinal < 0 && -w.ordinal <= int(matching.size())) days.push_back(matching[matching.size() + w.ordinal]);
    }
    return days;
}

bool InList(const std::vector<int>& list, int v) { return list.empty() || std::find(list.begin(), list.end(), v) != list.end(); }

bool DayPasses(const CRecurrenceRule& rule, int64_t day) {
    CCivilDate c = CivilFromDays(day);
    if (!InList(rule.byMonth, c.month)) return false;
    if (!rule.byMonthDay.empty()) {
        int length = DaysInMonth(c.year, c.month);
        bool hit = false;
        for (int v : rule.byMonthDay) hit = hit || (v > 0 ? v : length + v + 1) == c.day;
        if (!hit) return false;
    }
    if (!rule.byDay.empty()) {
        bool hit = false;
        for (const auto& w : rule.byDay) hit = hit || w.weekday == Weekday(day);
        if (!hit) return false;
    }
    return true;
}

// The candidate days of the k-th period after the first one.
std::vector<int64_t> PeriodDays(const CRecurrenceRule& rule, int64_t firstDay, int64_t k) {
    CCivilDate start = CivilFromDays(firstDay);
    std::vector<int64_t> days;
    switch (rule.frequency) {
    case ERecurFrequency::Daily: {
        int64_t day = firstDay + k * rule.interval;
        if (DayPasses(rule, day)) days.push_back(day);
        break;
    }
    case ERecurFrequency::Weekly: {
        int64_t weekStart = firstDay - (Weekday(firstDay) - rule.weekStart + 7) % 7 + 7 * k * rule.interval;
        for (int64_t d = weekStart; d < weekStart + 7; ++d) {
            bool wanted = rule.byDay.empty() ? Weekday(d) == Weekday(firstDay) : false;
            for (const auto& w : rule.byDay) wanted = wanted || w.weekday == Weekday(d);
            if (wanted && InList(rule.byMonth, CivilFromDays(d).month)) days.push_back(d);
        }
        break;
    }
    case ERecurFrequency::Monthly: {
        int64_t index = MonthIndex(firstDay) + k * rule.interval;
        CCivilDate m = CivilFromDays(DaysOfMonthIndex(index));
        if (InList(rule.byMonth, m.month)) days = MonthDays(rule, m.year, m.month, start.day);
        break;
    }
    case ERecurFrequency::Yearly: {
        int year = static_cast<int>(start.year + k * rule.interval);
        if (year > 9999) break;
        if (!rule.byMonth.empty()) {
            for (int month : rule.byMonth) {
                auto more = MonthDays(rule, year, month, start.day);
                days.insert(days.end(), more.begin(), more.end());
            }
        } else if (!rule.byDay.empty() && rule.byMonthDay.empty()) {
            days = YearWeekdays(rule, year);
        } else if (!rule.byMonthDay.empty()) {
            for (int month = 1; month <= 12; ++month) {
                auto more = MonthDays(rule, year, month, start.day);
                days.insert(days.end(), more.begin(), more.end());
            }
        } else if (start.day <= DaysInMonth(year, start.month)) {
            days.push_back(DaysFromCivil(year, start.month, start.day));
        }
        break;
    }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    if (rule.bySetPos.empty()) return days;
    std::vector<int64_t> picked;
    for (int pos : rule.bySetPos) {
        if (pos > 0 && pos <= int(days.size())) picked.push_back(days[pos - 1]);
        if (pos < 0 && -pos <= int(days.size())) picked.push_back(days[days.size() + pos]);
    }
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    return picked;
}

// The shortest period in days and how far before the first day a period can
// begin, so that the periods are known to have passed the end.
struct CPeriodReach {
    int64_t shortest, lead;
};
CPeriodReach ReachOf(ERecurFrequency f) {
    switch (f) {
    case ERecurFrequency::Daily: return {1, 0};
    case ERecurFrequency::Weekly: return {7, 7};
    case ERecurFrequency::Monthly: return {28, 31};
    case ERecurFrequency::Yearly: return {365, 366};
    }
    return {1, 0};
}

}  // namespace

std::optional<CRecurrenceRule> ParseRecurrenceRule(std::string_view text) {
    CRecurrenceRule rule;
    bool sawFrequency = false;
    for (const auto& part : Pieces(std::string(text), ';')) {
        if (TrimAscii(part).empty()) continue;
        size_t eq = part.find('=');
        if (eq == std::string::npos) return std::nullopt;
        if (!ReadPart(rule, Upper(TrimAscii(part.substr(0, eq))), Upper(part.substr(eq + 1)), sawFrequency))
            return std::nullopt;
    }
    if (!sawFrequency) return std::nullopt;
    if (rule.frequency != ERecurFrequency::Monthly && rule.frequency != ERecurFrequency::Yearly)
        for (const auto& w : rule.byDay)
            if (w.ordinal != 0) return std::nullopt;
    return rule;
}

std::vector<int64_t> ExpandRule(const CRecurrenceRule& rule, int64_t firstStart, int64_t lastStart, size_t most) {
    std::vector<int64_t> starts;
    if (most == 0 || firstStart > lastStart) return starts;
    starts.push_back(firstStart);
    int64_t firstDay = firstStart / minutesPerDay;
    int64_t timeOfDay = firstStart - firstDay * minutesPerDay;
    if (rule.byHour || rule.byMinute)
        timeOfDay = (rule.byHour ? *rule.byHour : timeOfDay / 60) * 60 + (rule.byMinute ? *rule.byMinute : timeOfDay % 60);
    size_t wanted = rule.count ? std::min<size_t>(most, static_cast<size_t>(*rule.count)) : most;
    int64_t lastDay = lastStart / minutesPerDay;
    CPeriodReach reach = ReachOf(rule.frequency);
    constexpr int64_t mostPeriods = 400000;  // a rule that selects no day still ends
    for (int64_t k = 0; k < mostPeriods && starts.size() < wanted; ++k) {
        if (firstDay + k * reach.shortest * rule.interval - reach.lead > lastDay + 1) break;
        for (int64_t day : PeriodDays(rule, firstDay, k)) {
            int64_t start = day * minutesPerDay + timeOfDay;
            if (start <= firstStart) continue;
            if (start > lastStart) return starts;
            starts.push_back(start);
            if (starts.size() >= wanted) return starts;
        }
    }
    return starts;
}

}  // namespace store

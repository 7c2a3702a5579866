#include "worker/writers/CalendarRecurrence.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <set>

#include "worker/writers/CalendarDays.h"

using namespace calendar_days;

namespace {

const char* const weekdayCodes[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// A rule with the days it gives from the first occurrence to the last.
struct CCandidate {
    std::u16string unit;
    std::string frequency;  // "DAILY" ...
    int interval = 1;
    std::string byParts;    // ";BYDAY=MO" ...
    std::vector<int64_t> days;
};

// The days a rule may give before it is too loose to fit.
struct CLimit {
    size_t most;
    bool Exceeded(const std::vector<int64_t>& days) const { return days.size() > most; }
};

// The largest step that reaches every index from the first; Notes' own
// interval when it divides that step.
int StepOf(const std::vector<int64_t>& indexes, int stated) {
    int64_t step = 0;
    for (int64_t index : indexes) step = std::gcd(step, index - indexes.front());
    if (step == 0) step = 1;
    if (stated > 0 && step % stated == 0) step = stated;
    return static_cast<int>(std::min<int64_t>(step, 1000000));
}

template <typename F>
std::vector<int64_t> Indexes(const std::vector<int64_t>& days, F index) {
    std::vector<int64_t> out;
    for (int64_t day : days) out.push_back(index(day));
    return out;
}

template <typename F>
bool AllSame(const std::vector<int64_t>& days, F value) {
    return std::all_of(days.begin(), days.end(), [&](int64_t day) { return value(day) == value(days.front()); });
}

std::optional<CCandidate> Daily(const std::vector<int64_t>& days, int stated, CLimit limit) {
    CCandidate c{u"D", "DAILY", StepOf(days, stated), "", {}};
    for (int64_t day = days.front(); day <= days.back(); day += c.interval) {
        c.days.push_back(day);
        if (limit.Exceeded(c.days)) return std::nullopt;
    }
    return c;
}

int64_t WeekIndex(int64_t day) { return FloorDiv(day + 3, 7); }  // weeks begin on Monday

std::optional<CCandidate> Weekly(const std::vector<int64_t>& days, int stated, CLimit limit) {
    std::set<int> weekdays;  // from Monday: 0 Monday ... 6 Sunday
    for (int64_t day : days) weekdays.insert((Weekday(day) + 6) % 7);
    CCandidate c{u"W", "WEEKLY", StepOf(Indexes(days, WeekIndex), stated), ";BYDAY=", {}};
    for (int weekday : weekdays) c.byParts += std::string(c.byParts.back() == '=' ? "" : ",") + weekdayCodes[(weekday + 1) % 7];
    for (int64_t week = WeekIndex(days.front()); week <= WeekIndex(days.back()); week += c.interval) {
        for (int weekday : weekdays) {
            const int64_t day = week * 7 - 3 + weekday;
            if (day < days.front() || day > days.back()) continue;
            c.days.push_back(day);
            if (limit.Exceeded(c.days)) return std::nullopt;
        }
    }
    return c;
}

// The days a monthly or yearly rule gives: dayIn(year, month) for every
// step-th month from the first occurrence's to the last's.
template <typename F>
bool Months(CCandidate& c, const std::vector<int64_t>& days, int monthsPerStep, CLimit limit, F dayIn) {
    for (int64_t month = MonthIndex(days.front()); month <= MonthIndex(days.back()); month += int64_t{monthsPerStep} * c.interval) {
        const std::optional<int64_t> day = dayIn(static_cast<int>(FloorDiv(month, 12)), static_cast<int>(month - FloorDiv(month, 12) * 12) + 1);
        if (!day) continue;
        c.days.push_back(*day);
        if (limit.Exceeded(c.days)) return false;
    }
    return true;
}

std::optional<CCandidate> MonthlyByDate(const std::vector<int64_t>& days, int stated, CLimit limit) {
    if (!AllSame(days, DayOfMonth)) return std::nullopt;
    const int dayOfMonth = DayOfMonth(days.front());
    CCandidate c{u"MD", "MONTHLY", StepOf(Indexes(days, MonthIndex), stated), ";BYMONTHDAY=" + std::to_string(dayOfMonth), {}};
    const bool fits = Months(c, days, 1, limit, [&](int year, int month) -> std::optional<int64_t> {
        if (dayOfMonth > DaysInMonth(year, month)) return std::nullopt;
        return DayOf(year, month, dayOfMonth);
    });
    return fits ? std::optional(c) : std::nullopt;
}

int WeekOfMonth(int64_t day) { return (DayOfMonth(day) - 1) / 7 + 1; }
bool LastOfMonth(int64_t day) { return DayOfMonth(day) + 7 > DaysInMonth(YearOf(day), MonthOf(day)); }

std::optional<CCandidate> MonthlyByPosition(const std::vector<int64_t>& days, int stated, CLimit limit) {
    if (!AllSame(days, Weekday)) return std::nullopt;
    int position = 0;
    if (AllSame(days, WeekOfMonth) && WeekOfMonth(days.front()) <= 4)
        position = WeekOfMonth(days.front());
    else if (std::all_of(days.begin(), days.end(), LastOfMonth))
        position = -1;
    else
        return std::nullopt;
    const int weekday = Weekday(days.front());
    CCandidate c{u"MP", "MONTHLY", StepOf(Indexes(days, MonthIndex), stated),
                 ";BYDAY=" + std::to_string(position) + weekdayCodes[weekday], {}};
    const bool fits = Months(c, days, 1, limit, [&](int year, int month) { return NthWeekday(year, month, weekday, position); });
    return fits ? std::optional(c) : std::nullopt;
}

std::optional<CCandidate> Yearly(const std::vector<int64_t>& days, int stated, CLimit limit) {
    if (!AllSame(days, MonthOf) || !AllSame(days, DayOfMonth)) return std::nullopt;
    const int month = MonthOf(days.front()), dayOfMonth = DayOfMonth(days.front());
    CCandidate c{u"Y", "YEARLY", StepOf(Indexes(days, YearOf), stated),
                 ";BYMONTH=" + std::to_string(month) + ";BYMONTHDAY=" + std::to_string(dayOfMonth), {}};
    const bool fits = Months(c, days, 12, limit, [&](int year, int) -> std::optional<int64_t> {
        if (dayOfMonth > DaysInMonth(year, month)) return std::nullopt;
        return DayOf(year, month, dayOfMonth);
    });
    return fits ? std::optional(c) : std::nullopt;
}

size_t Exclusions(const CCandidate& c, const std::vector<int64_t>& days) {
    return std::includes(c.days.begin(), c.days.end(), days.begin(), days.end()) ? c.days.size() - days.size()
                                                                                  : SIZE_MAX;
}

std::optional<CCandidate> ChooseRule(const std::vector<int64_t>& days, std::u16string_view unit, int interval) {
    if (days.size() < 2) return std::nullopt;
    const bool custom = unit == u"C";
    const CLimit limit{custom ? days.size() : 2 * days.size() - 1};
    using Generator = std::optional<CCandidate> (*)(const std::vector<int64_t>&, int, CLimit);
    const std::pair<std::u16string_view, Generator> generators[] = {
        {u"Y", Yearly}, {u"MD", MonthlyByDate}, {u"MP", MonthlyByPosition}, {u"W", Weekly}, {u"D", Daily}};
    std::optional<CCandidate> best;
    size_t fewest = SIZE_MAX;
    auto consider = [&](std::u16string_view name, Generator generate) {
        std::optional<CCandidate> c = generate(days, name == unit ? interval : 0, limit);
        if (!c) return;
        const size_t exclusions = Exclusions(*c, days);
        if (exclusions < fewest) {
            fewest = exclusions;
            best = std::move(c);
        }
    };
    for (const auto& [name, generate] : generators)
        if (name == unit) consider(name, generate);
    for (const auto& [name, generate] : generators)
        if (name != unit) consider(name, generate);
    return best;
}

}  // namespace

CRecurrencePlan PlanRecurrence(std::vector<CalendarOccurrence> occurrences, std::u16string_view unit, int interval) {
    CRecurrencePlan plan;
    if (occurrences.empty()) return plan;
    std::stable_sort(occurrences.begin(), occurrences.end(),
                     [](const auto& a, const auto& b) { return a.originalStart < b.originalStart; });
    occurrences.erase(std::unique(occurrences.begin(), occurrences.end(),
                                  [](const auto& a, const auto& b) { return a.originalStart == b.originalStart; }),
                      occurrences.end());
    const auto unmoved = std::find_if(occurrences.begin(), occurrences.end(),
                                      [](const auto& o) { return o.start == o.originalStart; });
    const CalendarOccurrence& model = unmoved != occurrences.end() ? *unmoved : occurrences.front();
    const int64_t duration = model.end - model.start;
    plan.start = occurrences.front().originalStart;
    plan.end = plan.start + duration;

    const int64_t timeOfDay = plan.start - FloorDiv(plan.start, secondsPerDay) * secondsPerDay;
    std::vector<int64_t> days;
    for (const CalendarOccurrence& o : occurrences) {
        if (o.start != o.originalStart || o.end - o.start != duration)
            plan.overrides.push_back({o.originalStart, o.start, o.end});
        if (o.originalStart - FloorDiv(o.originalStart, secondsPerDay) * secondsPerDay == timeOfDay)
            days.push_back(FloorDiv(o.originalStart, secondsPerDay));
        else
            plan.extraDates.push_back(o.originalStart);
    }
    const std::optional<CCandidate> rule = ChooseRule(days, unit, interval);
    if (rule) {
        plan.rule = "FREQ=" + rule->frequency + ";COUNT=" + std::to_string(rule->days.size()) +
                    ";INTERVAL=" + std::to_string(rule->interval) + rule->byParts;
        std::vector<int64_t> missing;
        std::set_difference(rule->days.begin(), rule->days.end(), days.begin(), days.end(), std::back_inserter(missing));
        for (int64_t day : missing) plan.exceptionDates.push_back(day * secondsPerDay + timeOfDay);
    } else {
        for (size_t i = 1; i < days.size(); ++i) plan.extraDates.push_back(days[i] * secondsPerDay + timeOfDay);
    }
    std::sort(plan.extraDates.begin(), plan.extraDates.end());
    return plan;
}

#include "platform/store/AppointmentSeries.h"

#include <algorithm>
#include <set>

#include "platform/store/CivilTime.h"

namespace store {
namespace {

constexpr size_t mostInstances = 5000;
constexpr int64_t unboundedReach = 100LL * 366 * minutesPerDay;

int64_t DayOf(int64_t minutes) { return minutes / minutesPerDay; }

class CSeriesPlanner {
public:
    explicit CSeriesPlanner(const CSeriesInput& in) : input(in), length(std::max<int64_t>(0, in.end - in.start)) {}

    CSeriesPlan Plan() {
        ruleStarts = RuleStarts();
        if (input.rule) TryPattern();
        if (!plan.pattern) PlanSingles();
        std::sort(plan.singles.begin(), plan.singles.end(),
                  [](const CInstance& a, const CInstance& b) { return a.start < b.start; });
        return std::move(plan);
    }

private:
    bool Bounded() const { return input.ruleEnd || (input.rule && input.rule->count); }

    // Every start the event names: its rule's and its extra dates, in order.
    std::vector<int64_t> RuleStarts() const {
        std::vector<int64_t> starts{input.start};
        if (input.rule) {
            int64_t last = input.ruleEnd.value_or(input.start + unboundedReach);
            starts = ExpandRule(*input.rule, input.start, last, Bounded() ? mostInstances : mostSingleInstances);
        }
        starts.insert(starts.end(), input.extraStarts.begin(), input.extraStarts.end());
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        return starts;
    }

    bool Excluded(int64_t start) const {
        return std::count(input.excludedStarts.begin(), input.excludedStarts.end(), start) ||
               std::count(input.excludedDays.begin(), input.excludedDays.end(), DayOf(start));
    }

    static bool Matches(const CInstanceChange& c, int64_t start) {
        return c.originalIsDay ? DayOf(c.originalStart) == DayOf(start) : c.originalStart == start;
    }

    CInstance Plain(int64_t start) const { return CInstance{start, start + length, start, nullptr}; }
    static CInstance Changed(const CInstanceChange& c, int64_t originalStart) {
        return CInstance{c.start, c.end, originalStart, &c};
    }

    // A changed instance stays in the series when it keeps between its neighbours.
    static bool MoveAllowed(const std::vector<int64_t>& starts, size_t i, int64_t newStart) {
        int64_t day = DayOf(newStart);
        if (day == DayOf(starts[i])) return true;
        return (i == 0 || day > DayOf(starts[i - 1])) && (i + 1 == starts.size() || day < DayOf(starts[i + 1]));
    }

    void TryPattern() {
        auto pattern = PatternForRule(*input.rule, input.start);
        if (!pattern) return;
        int64_t timeOfDay = input.start - DayOf(input.start) * minutesPerDay;
        std::vector<int64_t> outlook;
        for (int64_t day : PatternDays(*pattern, DayOf(ruleStarts.back()), mostInstances))
            outlook.push_back(day * minutesPerDay + timeOfDay);
        if (outlook.empty() || outlook.front() != input.start) return;
        std::set<int64_t> named(ruleStarts.begin(), ruleStarts.end()), kept(outlook.begin(), outlook.end());
        std::vector<int64_t> extra;  // instances the pattern adds: deleted from it
        for (int64_t s : outlook)
            if (!named.count(s)) extra.push_back(s);
        if (!extra.empty() && !Bounded()) return;  // an endless series would need endless deletions
        plan.pattern = std::move(pattern);
        std::set<uint32_t> deleted;
        for (int64_t s : extra) deleted.insert(static_cast<uint32_t>(DayOf(s) * minutesPerDay));
        for (int64_t s : outlook)
            if (Excluded(s)) deleted.insert(static_cast<uint32_t>(DayOf(s) * minutesPerDay));
        std::vector<int64_t> outside;  // named instances the pattern misses: items of their own
        for (int64_t s : ruleStarts)
            if (!kept.count(s) && !Excluded(s)) outside.push_back(s);
        PlaceChanges(outlook, outside, deleted);
        SetRange(outlook, extra.empty());
        plan.pattern->deletedDates.assign(deleted.begin(), deleted.end());
    }

    void PlaceChanges(const std::vector<int64_t>& outlook, const std::vector<int64_t>& outside, std::set<uint32_t>& deleted) {
        std::vector<const CInstanceChange*> pending;
        for (const auto& c : input.changes) pending.push_back(&c);
        for (size_t i = 0; i < outlook.size(); ++i) {
            auto it = std::find_if(pending.begin(), pending.end(), [&](auto* c) { return Matches(*c, outlook[i]); });
            if (it == pending.end()) continue;
            const CInstanceChange& c = **it;
            pending.erase(it);
            if (Excluded(outlook[i])) continue;
            uint32_t midnight = static_cast<uint32_t>(DayOf(outlook[i]) * minutesPerDay);
            deleted.insert(midnight);
            if (MoveAllowed(outlook, i, c.start)) plan.exceptions.push_back(Changed(c, outlook[i]));
            else plan.singles.push_back(Changed(c, outlook[i]));
        }
        AddSingles(outside, pending);
    }

    // Instances of their own, each replaced by its change where one names it;
    // changes of instances that are named nowhere still arrive.
    void AddSingles(const std::vector<int64_t>& starts, std::vector<const CInstanceChange*>& pending) {
        for (int64_t s : starts) {
            auto it = std::find_if(pending.begin(), pending.end(), [&](auto* c) { return Matches(*c, s); });
            if (it == pending.end()) {
                plan.singles.push_back(Plain(s));
                continue;
            }
            plan.singles.push_back(Changed(**it, s));
            pending.erase(it);
        }
        for (const auto* c : pending) plan.singles.push_back(Changed(*c, c->originalStart));
    }

    void SetRange(const std::vector<int64_t>& outlook, bool exact) {
        CRecurrencePattern& p = *plan.pattern;
        int64_t timeOfDay = input.start - DayOf(input.start) * minutesPerDay;
        p.startTimeOffset = static_cast<uint32_t>(timeOfDay);
        p.endTimeOffset = static_cast<uint32_t>(timeOfDay + length);
        if (Bounded()) {
            bool byCount = input.rule->count && exact && outlook.size() == size_t(*input.rule->count);
            p.endType = byCount ? endAfterCount : endAfterDate;
            p.occurrenceCount = static_cast<uint32_t>(outlook.size());
            p.endDate = static_cast<uint32_t>(DayOf(outlook.back()) * minutesPerDay);
        }
        std::set<uint32_t> moved;
        for (const auto& e : plan.exceptions) {
            moved.insert(static_cast<uint32_t>(DayOf(e.start) * minutesPerDay));
            CExceptionInfo info;
            info.start = e.start;
            info.end = e.end;
            info.originalStart = e.originalStart;
            info.subject = e.change->subject;
            info.location = e.change->location;
            info.changedBody = e.change->body.has_value();
            p.exceptions.push_back(std::move(info));
        }
        p.modifiedDates.assign(moved.begin(), moved.end());
    }

    void PlanSingles() {
        std::vector<int64_t> starts;
        for (int64_t s : ruleStarts)
            if (!Excluded(s)) starts.push_back(s);
        if (starts.empty() && input.changes.empty()) starts.push_back(input.start);
        std::vector<const CInstanceChange*> pending;
        for (const auto& c : input.changes) pending.push_back(&c);
        AddSingles(starts, pending);
    }

    const CSeriesInput& input;
    int64_t length;
    std::vector<int64_t> ruleStarts;
    CSeriesPlan plan;
};

}  // namespace

CSeriesPlan PlanSeries(const CSeriesInput& input) { return CSeriesPlanner(input).Plan(); }

}  // namespace store

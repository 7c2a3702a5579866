#include "worker/notes/DateFilter.h"

#include <cmath>

namespace {

// OLE dates before 1899-12-30 count the days backwards but the time of day
// forwards (-1.25 is 29 Dec 1899, 06:00), so they are compared on a linear
// scale.
double Linear(double oleDate)
{
    if (oleDate >= 0) {
        return oleDate;
    }
    const double day = std::ceil(oleDate);
    return day - (oleDate - day);
}

bool IsValid(double value, int32_t status)
{
    return status == DateValid && std::isfinite(value);
}

bool Encloses(const DateRange& range, double t)
{
    const bool startValid = IsValid(range.start, range.startStatus);
    const bool endValid = IsValid(range.end, range.endStatus);
    const double at = Linear(t);
    if (startValid && endValid && Linear(range.start) < at && at < Linear(range.end)) {
        return true;
    }
    return (startValid && range.start == t) || (endValid && range.end == t);
}

}  // namespace

bool InDateRanges(const std::vector<DateRange>& dateRanges, const OleTimestamp& t)
{
    if (dateRanges.empty()) {
        return true;
    }
    for (const DateRange& range : dateRanges) {
        if (!IsValid(t.value, t.status)) {
            return false;
        }
        if (Encloses(range, t.value)) {
            return true;
        }
    }
    return false;
}

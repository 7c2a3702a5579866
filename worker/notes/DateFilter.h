// The document filter of both conversion runs: a document is converted when
// the export settings carry no date ranges, or when its creation time lies
// in one of them, both bounds included. A time that is not a valid
// date-time is rejected as soon as there is any range, and a bound that is
// not valid never encloses anything.
#pragma once
#include <cstdint>
#include <vector>

#include "worker/core/ExportSettings.h"

// A point in time as an OLE Automation date with its validity (EDateStatus).
struct OleTimestamp {
    double value = 0;
    int32_t status = DateValid;
};

bool InDateRanges(const std::vector<DateRange>& dateRanges, const OleTimestamp& t);

// The date text every document reader stores: month, day, year, hour,
// minute and second as "%d/%d/%d %d:%d:%d" without leading zeros (for
// example 2/5/2018 9:7:30), hundredths dropped. Also the creation time of a
// document as the OLE timestamp the date filter compares.
#pragma once
#include <string>

#include "platform/notes/LNItem.h"
#include "worker/notes/DateFilter.h"

// toGreenwich: move the value to zone 0 first (calendar start and end);
// otherwise the parts are those of the value's own zone.
std::u16string FormatDateText(const LNDatetime& value, bool toGreenwich);

// The value's own date and time parts as an OLE date. A value without date
// is null; one whose parts do not make a calendar date is invalid.
OleTimestamp ToOleTimestamp(const LNDatetime& value);

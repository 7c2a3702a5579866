// TIMEDATE arithmetic: Julian days, zone bits, broken-down parts in a
// value's own zone, the Notes date text and ISO 8601 text for descriptions.
#pragma once
#include <optional>
#include <string>

#include "platform/notes/NotesTypes.h"

namespace notes {

struct CTimeParts {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, hundredth = 0;
    bool hasDate = false, hasTime = false;
    int zoneMinutesEast = 0;   // standard offset of the zone
    bool dst = false;          // the zone observes daylight saving (offset + 60 min)
};

long JulianDay(int year, int month, int day);
void FromJulianDay(long jd, int* year, int* month, int* day);

// Encodes wall-clock parts given in their own zone.
std::optional<TIMEDATE> EncodeTime(const CTimeParts& parts);
// Decodes into the value's own zone.
CTimeParts DecodeTime(const TIMEDATE& td);
// Moves a value to another zone (the instant stays the same).
TIMEDATE WithZone(const TIMEDATE& td, int zoneMinutesEast, bool dst);
bool IsNullTime(const TIMEDATE& td);

// "MM/DD/YYYY HH:MM:SS", "MM/DD/YYYY" or "HH:MM:SS".
std::string NotesTimeText(const TIMEDATE& td);

// ISO 8601: "2013-03-05T14:07:09+01:00" (fraction and Z allowed), a date
// "2013-03-05", a time "14:07:09". With dst the offset includes the
// daylight-saving hour. Nothing when invalid.
std::optional<TIMEDATE> ParseIsoTime(const std::string& text, bool dst);
std::string IsoTimeText(const TIMEDATE& td);

}  // namespace notes

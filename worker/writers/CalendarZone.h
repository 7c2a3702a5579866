// The zone a repeating calendar entry is written in, read from the Notes
// zone text of its "StartTimeZone" item, for example
// "Z=-1$DO=1$DL=3 -1 1 10 -1 1$ZX=11$ZN=W. Europe": Z the standard offset in
// hours west of Greenwich (-5.5, -530 or -3005 for half hours), DO=1 when
// daylight saving is observed, DL its rule as start month, week (1..4, -1
// the last) and weekday (1 Sunday .. 7 Saturday) followed by the same for
// its end, ZN the zone's name. The text does not say at which hour the
// clocks change: daylight saving (one hour) begins at 2:00 standard time
// and ends at 3:00 daylight time.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END

class CCalendarZone {
public:
    // Greenwich time, without daylight saving, named "Greenwich Mean Time".
    CCalendarZone();
    // Nothing for a text without a readable offset.
    static std::optional<CCalendarZone> FromNotesText(std::u16string_view text);

    // The wall-clock time, in seconds since 1970 as if it were Greenwich
    // time, at a Greenwich instant.
    int64_t WallClock(int64_t utcSeconds) const;
    // The zone's TZID: the Notes name followed by " Standard Time" (as
    // Windows names zones: "W. Europe Standard Time"), "UTC+05:30" for a
    // zone without a name.
    const std::string& Tzid() const { return tzid; }
    // BEGIN:VTIMEZONE to END:VTIMEZONE: a STANDARD observance and, with
    // daylight saving, a DAYLIGHT one, each with its yearly rule from its
    // first onset in 1601.
    std::vector<std::string> VTimezoneLines() const;

private:
    struct CChange {  // Notes' numbering: month 1..12, week 1..4 or -1, weekday 1..7
        int month = 0, week = 0, weekday = 0;
    };
    static std::optional<CChange> ReadChange(int month, int week, int weekday);
    void MakeIcuZone();
    std::vector<std::string> Observance(const char* kind, const CChange& change, int hour, int fromMinutes,
                                        int toMinutes) const;

    int standardMinutesEast = 0;
    bool daylight = false;
    CChange daylightStart, daylightEnd;
    std::string tzid = "Greenwich Mean Time";
    std::shared_ptr<const icu::TimeZone> zone;
};
